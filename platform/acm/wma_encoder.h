#pragma once

// The WMA version 2 driver over FFmpeg's wmav2 encoder. Every packet is exactly the target's
// nBlockAlign bytes: the encoder's bit rate is derived from nBlockAlign (the encoder rounds its packet
// size down, so the rate is rounded up), and each packet's size is checked.

#include "platform/acm/acm_stream.h"

#include <memory>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVAudioFifo;

namespace platform::acm {

class Resampler;

// Samples per frame of the encoder at a sample rate (512, 1024 or 2048).
int wmaFrameLength(uint32_t sampleRate);
// The encoder bit rate whose packets hold exactly blockAlign bytes.
int64_t wmaBitRateFor(uint32_t blockAlign, uint32_t sampleRate);

class WmaEncoder : public AcmStream {
public:
    static bool accepts(const WaveFormat& source, const WaveFormat& target);
    // Null when the encoder cannot make the target (too low a bit rate, say).
    static std::unique_ptr<AcmStream> create(const WaveFormat& source, const WaveFormat& target);
    ~WmaEncoder() override;

protected:
    bool consume(const uint8_t* data, uint32_t bytes) override;
    bool flush() override;
    uint32_t sourceBytesFor(uint32_t destinationBytes) const override;

private:
    WmaEncoder(const WaveFormat& source, const WaveFormat& target);
    bool open();
    bool encodeFrames(bool padLast);
    bool encode(const AVFrame* frame);

    std::unique_ptr<Resampler> resampler_;
    AVCodecContext* codec_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVAudioFifo* fifo_ = nullptr;
    std::vector<float> planes_;
    int frameLength_ = 0;
    int64_t nextPts_ = 0;
    bool anyInput_ = false;
};

} // namespace platform::acm
