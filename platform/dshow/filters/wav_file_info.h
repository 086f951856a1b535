#pragma once

// Where the samples of a WAV file are: its format ("fmt ") and the place of its "data" chunk. Every size
// is held to the file's real length, so a damaged or cut header never points outside the file.

#include "platform/dshow/filters/audio_format.h"

#include <cstdint>
#include <optional>
#include <string>

namespace platform::dshow::filters {

struct WavFileInfo {
    WaveFormat format;
    int64_t dataOffset = 0;
    int64_t dataSize = 0;
};

// Nothing when the file cannot be read or is not a RIFF WAVE file with a format and a data chunk.
std::optional<WavFileInfo> readWavFileInfo(const std::string& path);

} // namespace platform::dshow::filters
