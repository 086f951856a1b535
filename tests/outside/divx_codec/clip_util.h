#pragma once

// Helpers of the codec tests: a synthetic moving picture, a whole clip through a compressor, the clip
// written as an AVI through our writer, and what FFmpeg's libavformat and libavcodec find in it.

#include "platform/vfw/video_compressor.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kes::test {

// Planar 4:2:0 picture i of a width × height clip: a panning texture with a moving bright square and a
// scene change every sceneEvery frames (0: none).
struct Yuv420 {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> y, u, v;
};
Yuv420 syntheticPicture(int i, int width, int height, int sceneEvery = 0);

// The same picture as B, G, R rows and as packed Y U Y V.
std::vector<uint8_t> toBgr24(const Yuv420& picture);
std::vector<uint8_t> toYuy2(const Yuv420& picture);

struct EncodedClip {
    std::vector<platform::vfw::CompressedFrame> frames;
    platform::vfw::BITMAPINFOHEADER format;
    std::string error; // empty when every step worked
};

// Compresses frames pictures at 25 fps in the given colour format.
// aspectNum / aspectDen: the pixel aspect handed to the compressor (0/0 unknown).
EncodedClip encodeClip(platform::vfw::VideoCompressor& compressor, int frames, int width, int height,
                       platform::vfw::InputFormat format = platform::vfw::InputFormat::YV12,
                       int sceneEvery = 0, uint32_t aspectNum = 0, uint32_t aspectDen = 0);

// Writes the clip as a video-only AVI at 25 fps; false on failure.
bool writeClipAvi(const std::string& path, const EncodedClip& clip, uint32_t handler);

// What libavformat and libavcodec read from an AVI's first video stream.
struct ProbedClip {
    bool opened = false;
    std::string codecName;
    uint32_t codecTag = 0;
    int width = 0;
    int height = 0;
    int packets = 0;
    int64_t bytes = 0;
    std::vector<int> keyFrames; // packet numbers flagged as key frames
    int decoded = 0;
    int decodeErrors = 0;
    int errorMessages = 0;    // messages libavformat and libavcodec logged as errors while reading
    std::string firstMessage; // the first of them
    int aspectNum = 0;        // pixel aspect as the decoder reads it from the stream, 0/1 when none
    int aspectDen = 1;
    double psnrLuma = 0; // against the synthetic pictures, when asked
};
ProbedClip probeAvi(const std::string& path, int sceneEvery = -1);

// Bit rate of the clip's frames in kbit/s (1000 bits) at 25 fps.
double clipKbps(const EncodedClip& clip);

} // namespace kes::test
