#pragma once

// Where a RIFF WAVE file keeps its format and its audio, found by walking its chunks: the "fmt " and
// "data" chunks anywhere in the "WAVE" form, whatever other chunks (LIST/INFO, JUNK, fact, ...) come
// before, between or after them. Nothing in a chunk's data is ever taken for a chunk id.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace platform::mmio {

inline constexpr uint16_t WaveTagPcm = 1;
inline constexpr uint16_t WaveTagExtensible = 0xFFFE;

struct WaveLayout {
    int64_t formatOffset = 0;    // file offset of the "fmt " chunk's first data byte
    std::vector<uint8_t> format; // the "fmt " chunk's data (at most its first 64 bytes)
    int64_t dataOffset = 0;      // file offset of the first audio byte
    // The audio bytes: the smaller of the "data" chunk's size field and what the file holds, or
    // everything up to the end of the "WAVE" form when the field is 0 (as streaming writers leave it).
    int64_t dataBytes = 0;
    int64_t fileSize = 0;

    uint16_t formatTag() const; // the sub-format's tag for WAVE_FORMAT_EXTENSIBLE; 0 when too short
    uint16_t channels() const;
    uint32_t sampleRate() const;
    uint16_t blockAlign() const;
    uint16_t bitsPerSample() const;
};

// Nothing when the file cannot be read or is not a "WAVE" form holding a "fmt " and a "data" chunk.
std::optional<WaveLayout> readWaveLayout(std::string_view path);

} // namespace platform::mmio
