#pragma once

// One compression run through libavcodec: MPEG-4 part 2 or MS-MPEG-4 v3, one packet per frame, with
// the colour conversion of the input and the two-pass log.

#include "outside/divx_codec/codec_settings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace divx_codec {

enum class PixelLayout { RGB24, YV12, YUY2 };

struct FrameSpec {
    int width = 0;
    int height = 0;
    uint32_t rateNum = 25;
    uint32_t rateDen = 1;
    PixelLayout layout = PixelLayout::YV12;
    int64_t frameCount = 0;
    uint32_t aspectNum = 0; // pixel aspect; 0/0 unknown
    uint32_t aspectDen = 0;
};

struct Planes {
    const uint8_t* data[3] = {nullptr, nullptr, nullptr};
    int stride[3] = {0, 0, 0};
};

class VideoEncoder {
public:
    VideoEncoder();
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    bool begin(const FrameSpec& spec, const EncoderParams& params, std::string& error);
    // Compresses one frame; the packet stays valid until the next call.
    bool compress(const Planes& planes, std::vector<uint8_t>& packet, bool& keyFrame, std::string& error);
    // Ends the run and writes the first pass's log.
    bool end(std::string& error);
    bool running() const { return running_; }
    // The largest packet the run may give (for the stream header's buffer size).
    uint32_t maxPacketSize() const;

private:
    struct State;
    bool openCodec(const FrameSpec& spec, const EncoderParams& params, std::string& error);
    bool convert(const Planes& planes, std::string& error);
    bool receive(std::vector<uint8_t>& packet, bool& keyFrame, std::string& error);

    std::unique_ptr<State> state_;
    bool running_ = false;
};

// The pixel aspect as an MPEG-4 stream stores it: reduced to terms of at most 255; 0/0 for square or
// unknown pixels, which store nothing.
struct PixelAspect {
    int num = 0;
    int den = 0;
};
PixelAspect storedPixelAspect(uint32_t num, uint32_t den);

// Vertical [1 2 1] blend of one plane in place: the two fields of an interlaced picture mixed.
void blendFields(uint8_t* plane, int stride, int width, int height);

} // namespace divx_codec
