#pragma once

// The instant on a title's clock at which a rip's sound must begin: the first picture the converter
// writes, so that the WAV and the video start together. The converter's own rule decides it; a set
// whose video does not decode falls back on the parser's origin (its first picture's stamp, else the
// earliest stamp).

#include "outside/dvd_audio/substream_reader.h"

#include "platform/dshow/filters/byte_source.h"

#include <cstdint>
#include <optional>
#include <string>

namespace outside::dvd_audio {

// 90 kHz, on the clock of the reader's time stamps; set is what the reader reads.
int64_t titleOrigin(platform::dshow::filters::ByteSource& set, const SubStreamReader& reader);
// The same for a title whose first VOB file is named; nothing when it cannot be read as a program
// stream.
std::optional<int64_t> titleOrigin(const std::string& firstVob);

} // namespace outside::dvd_audio
