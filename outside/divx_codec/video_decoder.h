#pragma once

// Decoding of the drivers' own streams back to B, G, R rows (for checks and previews).

#include <cstdint>
#include <memory>
#include <string>

namespace divx_codec {

class VideoDecoder {
public:
    VideoDecoder();
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    bool begin(bool msmpeg4, int width, int height, std::string& error);
    // Decodes one frame into width × height × 3 bytes of top-down B, G, R rows.
    bool decode(const uint8_t* data, size_t size, uint8_t* bgr, std::string& error);
    void end();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace divx_codec
