#pragma once

// What a test learns of a converter's AVI through FFmpeg's libavformat (an independent reader), and
// its pictures decoded back for comparison with the generated source.

#include "tests/support/vobgen_video.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kes::test {

struct AviFacts {
    bool opened = false;
    std::string fourcc;
    int width = 0, height = 0;
    int rateNum = 0, rateDen = 0;
    int64_t packets = 0;
    std::vector<int64_t> keyFrames; // packet numbers
    int64_t payloadBytes = 0;
    uint32_t headerFrames = 0; // the main header's frame count (byte offset 48)
    int aspectNum = 0;         // pixel aspect as ffprobe reports it (0/1: none stored)
    int aspectDen = 1;
    double kbps() const; // payload bit rate in kbit/s of 1000 bits
};

AviFacts probeAvi(const std::filesystem::path& path);

// The AVI's pictures decoded to planar 4:2:0.
std::vector<TestPicture> decodeAvi(const std::filesystem::path& path);

// Each of the AVI's pictures decoded in turn; gives how many error messages the decoder wrote.
int forEachPicture(const std::filesystem::path& path, const std::function<void(const TestPicture&)>& take);

// The number every frame of the AVI carries (numbered_picture.h; -1 for none), and the decoder's
// error messages.
struct NumberedFrames {
    std::vector<int> numbers;
    int decoderErrors = 0;
};
NumberedFrames readFrameNumbers(const std::filesystem::path& path);

// Luma PSNR of b against a (same size), in dB.
double lumaPsnr(const TestPicture& a, const TestPicture& b);

} // namespace kes::test
