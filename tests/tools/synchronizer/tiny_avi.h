#pragma once

// Small AVI files built byte by byte for the tool tests: one video stream of raw frames and optionally
// one PCM audio stream, with an idx1 index, laid out as a muxer lays them out.

#include <cstdint>
#include <string>
#include <vector>

namespace kes::test {

struct TinyAviSpec {
    int32_t width = 4;
    int32_t height = 2;
    uint32_t videoScale = 1;
    uint32_t videoRate = 25;
    uint32_t videoStart = 0;
    std::vector<std::string> frames{"abcdefgh"}; // one chunk per frame
    std::vector<bool> keyFrames;                 // missing entries are key frames
    bool withAudio = true;
    uint32_t audioScale = 4; // block align: 16-bit stereo
    uint32_t audioRate = 192000;
    int32_t audioStart = 0;
    std::string audioData = std::string(16, '\0');
};

// The file's bytes. The video stream header's "vids" stands at VideoTypeOffset and the audio one's
// "auds" at AudioTypeOffset.
std::string tinyAvi(const TinyAviSpec& spec);

inline constexpr int64_t VideoTypeOffset = 108;
inline constexpr int64_t AudioTypeOffset = 232;

} // namespace kes::test
