#pragma once

// Reading the source WAV: its format from the "fmt " chunk (found by id) and where its audio lies.

#include "platform/acm/wave_format.h"
#include "platform/mmio/riff_file.h"

#include <optional>
#include <string>

namespace tools::audio_converter {

inline constexpr platform::mmio::FourCC FOURCC_WAVE = platform::mmio::makeFourCC("WAVE");
inline constexpr platform::mmio::FourCC FOURCC_FMT = platform::mmio::makeFourCC("fmt ");
inline constexpr platform::mmio::FourCC FOURCC_DATA = platform::mmio::makeFourCC("data");

// Descends into the "WAVE" RIFF chunk. Returns 0 or an MMIOERR_ code.
int descendWave(platform::mmio::RiffFile& file, platform::mmio::ChunkInfo& riff);

// Finds "fmt " inside riff and reads min(size, 30) bytes of it, the rest zero. The position is left
// after the chunk. 0 or an MMIOERR_ code.
int readFormatChunk(platform::mmio::RiffFile& file, const platform::mmio::ChunkInfo& riff,
                    platform::acm::WaveFormat& format);

// The audio bytes of a "data" chunk: the smaller of its size field and the bytes present, or all the
// bytes present up to the end of the RIFF chunk when the field is 0.
int64_t dataBytes(const platform::mmio::ChunkInfo& data, const platform::mmio::ChunkInfo& riff,
                  int64_t fileSize);

// The format of a WAV file, or nothing when it has none.
std::optional<platform::acm::WaveFormat> readSourceFormat(const std::string& path);

// "PCM; 44100Hz; Stereo;" and the like.
std::string sourceFormatText(const platform::acm::WaveFormat& format);

} // namespace tools::audio_converter
