#include "platform/acm/wma_encoder.h"

#include "platform/acm/resampler.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>

namespace platform::acm {

namespace {

constexpr int BitsPerByte = 8;
constexpr uint32_t FrameBits512Max = 16000;  // rates up to here use 512-sample frames
constexpr uint32_t FrameBits1024Max = 22050; // then 1024 up to here, 2048 above
constexpr int FrameLength512 = 512;
constexpr int FrameLength1024 = 1024;
constexpr int FrameLength2048 = 2048;
constexpr uint32_t MaxWmaRate = 48000;

} // namespace

int wmaFrameLength(uint32_t sampleRate) {
    if (sampleRate <= FrameBits512Max)
        return FrameLength512;
    if (sampleRate <= FrameBits1024Max)
        return FrameLength1024;
    return FrameLength2048;
}

int64_t wmaBitRateFor(uint32_t blockAlign, uint32_t sampleRate) {
    const int64_t frame = wmaFrameLength(sampleRate);
    const int64_t numerator = static_cast<int64_t>(blockAlign) * sampleRate * BitsPerByte;
    return (numerator + frame - 1) / frame;
}

bool WmaEncoder::accepts(const WaveFormat& source, const WaveFormat& target) {
    return isUsablePcm(source) && target.wFormatTag == WAVE_FORMAT_WMAUDIO2 &&
           (target.nChannels == 1 || target.nChannels == 2) && target.nBlockAlign > 0 &&
           target.nSamplesPerSec == source.nSamplesPerSec && target.nSamplesPerSec <= MaxWmaRate;
}

std::unique_ptr<AcmStream> WmaEncoder::create(const WaveFormat& source, const WaveFormat& target) {
    std::unique_ptr<WmaEncoder> encoder(new WmaEncoder(source, target));
    if (!encoder->open())
        return nullptr;
    return encoder;
}

WmaEncoder::WmaEncoder(const WaveFormat& source, const WaveFormat& target) : AcmStream(source, target) {}

WmaEncoder::~WmaEncoder() {
    av_audio_fifo_free(fifo_);
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    avcodec_free_context(&codec_);
}

bool WmaEncoder::open() {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (codec == nullptr)
        return false;
    codec_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (codec_ == nullptr || frame_ == nullptr || packet_ == nullptr)
        return false;
    const WaveFormat& t = target();
    frameLength_ = wmaFrameLength(t.nSamplesPerSec);
    av_channel_layout_default(&codec_->ch_layout, t.nChannels);
    codec_->sample_rate = static_cast<int>(t.nSamplesPerSec);
    codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    codec_->bit_rate = wmaBitRateFor(t.nBlockAlign, t.nSamplesPerSec);
    codec_->time_base = AVRational{1, codec_->sample_rate};
    if (avcodec_open2(codec_, codec, nullptr) < 0)
        return false;
    // The encoder's own rules decide the packet size; anything but the target's block is refused.
    if (codec_->frame_size != frameLength_ || codec_->block_align != t.nBlockAlign)
        return false;
    resampler_ = Resampler::create(source(), AV_SAMPLE_FMT_FLTP, t.nChannels, codec_->sample_rate);
    fifo_ = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, t.nChannels, frameLength_ * 2);
    if (!resampler_ || fifo_ == nullptr)
        return false;
    frame_->nb_samples = frameLength_;
    frame_->format = AV_SAMPLE_FMT_FLTP;
    frame_->sample_rate = codec_->sample_rate;
    if (av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout) < 0 ||
        av_frame_get_buffer(frame_, 0) < 0)
        return false;
    return true;
}

bool WmaEncoder::encode(const AVFrame* frame) {
    if (avcodec_send_frame(codec_, frame) < 0)
        return false;
    for (;;) {
        const int got = avcodec_receive_packet(codec_, packet_);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
            return true;
        if (got < 0)
            return false;
        const bool exact = packet_->size == target().nBlockAlign;
        if (exact)
            emit(packet_->data, static_cast<size_t>(packet_->size));
        av_packet_unref(packet_);
        if (!exact)
            return false;
    }
}

// Encodes every whole frame in the FIFO; with padLast, a last partial frame is filled with silence.
bool WmaEncoder::encodeFrames(bool padLast) {
    const int channels = target().nChannels;
    while (av_audio_fifo_size(fifo_) >= frameLength_ || (padLast && av_audio_fifo_size(fifo_) > 0)) {
        if (av_frame_make_writable(frame_) < 0)
            return false;
        const int got = av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame_->data), frameLength_);
        if (got < 0)
            return false;
        for (int c = 0; c < channels; ++c)
            std::fill(reinterpret_cast<float*>(frame_->data[c]) + got,
                      reinterpret_cast<float*>(frame_->data[c]) + frameLength_, 0.0f);
        frame_->pts = nextPts_;
        nextPts_ += frameLength_;
        if (!encode(frame_))
            return false;
    }
    return true;
}

bool WmaEncoder::consume(const uint8_t* data, uint32_t bytes) {
    const int frames = static_cast<int>(bytes / source().nBlockAlign);
    const int capacity = resampler_->maxOutFrames(frames) + 1;
    const int channels = target().nChannels;
    planes_.resize(static_cast<size_t>(capacity) * static_cast<size_t>(channels));
    uint8_t* planes[2] = {reinterpret_cast<uint8_t*>(planes_.data()),
                          reinterpret_cast<uint8_t*>(planes_.data() + capacity)};
    const int made = resampler_->convert(data, frames, planes, capacity);
    if (made < 0 || av_audio_fifo_write(fifo_, reinterpret_cast<void**>(planes), made) < made)
        return false;
    anyInput_ = anyInput_ || made > 0;
    return encodeFrames(false);
}

bool WmaEncoder::flush() {
    if (!consume(nullptr, 0)) // what the sample format conversion still holds
        return false;
    if (!anyInput_)
        return true;
    // The encoder's transform overlaps frames: one more silent frame brings out the end of the audio.
    std::vector<float> silence(static_cast<size_t>(frameLength_), 0.0f);
    void* planes[2] = {silence.data(), silence.data()};
    if (!encodeFrames(true) || av_audio_fifo_write(fifo_, planes, frameLength_) < frameLength_ ||
        !encodeFrames(true))
        return false;
    return encode(nullptr);
}

uint32_t WmaEncoder::sourceBytesFor(uint32_t destinationBytes) const {
    const uint64_t packets = std::max<uint64_t>(1, destinationBytes / target().nBlockAlign);
    return static_cast<uint32_t>(packets * static_cast<uint64_t>(frameLength_) * source().nBlockAlign);
}

} // namespace platform::acm
