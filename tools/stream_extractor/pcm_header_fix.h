#pragma once

// After a PCM stream has been written to a WAV file: its header is made to say plain PCM (format tag
// 1) with the block alignment of its frames (4 bytes for 16-bit stereo). The two fields are patched
// in place, and only in a file that has the canonical RIFF/WAVE/"fmt " start.

#include <cstdint>
#include <string>

namespace tools::stream_extractor {

inline constexpr int64_t kFormatTagField = 20;
inline constexpr int64_t kChannelsField = 22;
inline constexpr int64_t kBlockAlignField = 32;
inline constexpr int64_t kBitsPerSampleField = 34;

enum class PcmHeaderStatus {
    Patched,
    NotAWav,     // missing, too short, or not the canonical header: nothing was written
    WriteFailed, // the patch could not be written
};

PcmHeaderStatus setPcmHeader(const std::string& path);

} // namespace tools::stream_extractor
