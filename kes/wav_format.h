#pragma once

// The sample rate of a WAV file, found by walking its RIFF chunks to the "fmt " chunk. Window-free.

#include <cstdint>
#include <optional>
#include <string_view>

namespace kes {

// Nothing when the file cannot be read, is no RIFF "WAVE" file or has no "fmt " chunk long enough to
// hold the rate.
std::optional<uint32_t> wavSampleRate(std::string_view path);

} // namespace kes
