#pragma once

// Sources the codecs do not take as they are: PCM of 24 or 32 bits or of more than two channels,
// floating-point samples, and the extensible header (tag 0xFFFE) around any of these or around plain
// 16-bit PCM. Their samples are turned into 16-bit PCM (mono stays mono, more than two channels are
// mixed down to stereo) at the same rate before the chosen path converts them.

#include "tools/audio_converter/conversion_pipeline.h"

#include "platform/acm/wave_format.h"

#include <memory>
#include <optional>

namespace tools::audio_converter {

// The 16-bit PCM the source is turned into; nothing when the source goes to the codecs as it is, or is
// no PCM this step reads.
std::optional<platform::acm::WaveFormat> normalizedSource(const platform::acm::WaveFormat& source);

// Puts the sample conversion in front of a pipeline opened for normalizedSource(source). Null when the
// conversion cannot be set up.
std::unique_ptr<Pipeline> normalizingPipeline(const platform::acm::WaveFormat& source,
                                              std::unique_ptr<Pipeline> inner);

} // namespace tools::audio_converter
