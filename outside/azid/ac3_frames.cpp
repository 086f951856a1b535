#include "outside/azid/ac3_frames.h"

#include "outside/dvd_audio/silent_ac3.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/downmix_info.h>
}

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace outside::azid {

namespace {

constexpr double kDefaultMixLevel = 0.70710678118654752; // -3 dB
constexpr int kMaxChannels = 8;
constexpr char kFullCompression[] = "1";
constexpr char kNoCompression[] = "0";

} // namespace

struct Ac3Frames::State {
    AVCodecContext* context = nullptr;
    AVCodecParserContext* parser = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<uint8_t> staging;
    std::optional<int> kept; // the samples a silent frame of a shorter silence keeps

    ~State() {
        av_parser_close(parser);
        avcodec_free_context(&context);
        av_packet_free(&packet);
        av_frame_free(&frame);
    }
};

Ac3Frames::Ac3Frames() = default;
Ac3Frames::~Ac3Frames() = default;

bool Ac3Frames::open(bool compression, std::string& error) {
    state_ = std::make_unique<State>();
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_AC3);
    if (!codec || !state_->packet || !state_->frame) {
        error = "The AC3 decoder is not available.";
        return false;
    }
    state_->context = avcodec_alloc_context3(codec);
    state_->parser = av_parser_init(AV_CODEC_ID_AC3);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "drc_scale", compression ? kFullCompression : kNoCompression, 0);
    const bool opened =
        state_->context && state_->parser && avcodec_open2(state_->context, codec, &options) >= 0;
    av_dict_free(&options);
    if (!opened) {
        error = "The AC3 decoder could not be opened.";
        return false;
    }
    return true;
}

void Ac3Frames::decode(std::span<const uint8_t> bytes, const FrameSink& sink) {
    State& s = *state_;
    s.staging.assign(bytes.begin(), bytes.end());
    s.staging.resize(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    size_t done = 0;
    while (done < bytes.size()) {
        uint8_t* frame = nullptr;
        int frameSize = 0;
        const int used =
            av_parser_parse2(s.parser, s.context, &frame, &frameSize, s.staging.data() + done,
                             static_cast<int>(bytes.size() - done), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0) {
            ++errors_;
            return;
        }
        done += static_cast<size_t>(used);
        if (frameSize > 0)
            decodeFrame(frame, frameSize, sink);
        if (used == 0 && frameSize == 0)
            return;
    }
}

void Ac3Frames::finish(const FrameSink& sink) {
    State& s = *state_;
    uint8_t* frame = nullptr;
    int frameSize = 0;
    av_parser_parse2(s.parser, s.context, &frame, &frameSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (frameSize > 0)
        decodeFrame(frame, frameSize, sink);
    if (avcodec_send_packet(s.context, nullptr) >= 0)
        receive(sink);
}

void Ac3Frames::decodeFrame(const uint8_t* data, int size, const FrameSink& sink) {
    State& s = *state_;
    if (av_new_packet(s.packet, size) < 0) {
        ++errors_;
        return;
    }
    std::memcpy(s.packet->data, data, static_cast<size_t>(size));
    s.kept = dvd_audio::keptSamples({data, static_cast<size_t>(size)});
    const int sent = avcodec_send_packet(s.context, s.packet);
    av_packet_unref(s.packet);
    if (sent < 0 && sent != AVERROR(EAGAIN))
        ++errors_;
    receive(sink);
    s.kept.reset();
}

void Ac3Frames::receive(const FrameSink& sink) {
    State& s = *state_;
    for (;;) {
        const int got = avcodec_receive_frame(s.context, s.frame);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
            return;
        if (got < 0) {
            ++errors_;
            return;
        }
        const AVFrame& f = *s.frame;
        const int channels = f.ch_layout.nb_channels;
        if (f.format != AV_SAMPLE_FMT_FLTP || channels < 1 || channels > kMaxChannels || f.nb_samples <= 0 ||
            f.ch_layout.order != AV_CHANNEL_ORDER_NATIVE) {
            ++errors_;
            av_frame_unref(s.frame);
            continue;
        }
        DecodedFrame decoded;
        decoded.planes = reinterpret_cast<const float* const*>(f.extended_data);
        decoded.channels = channels;
        decoded.channelMask = f.ch_layout.u.mask;
        decoded.sampleRate = f.sample_rate;
        decoded.frames = s.kept ? std::min(*s.kept, f.nb_samples) : f.nb_samples;
        decoded.centerMixLevel = kDefaultMixLevel;
        decoded.surroundMixLevel = kDefaultMixLevel;
        if (const AVFrameSideData* side = av_frame_get_side_data(&f, AV_FRAME_DATA_DOWNMIX_INFO)) {
            if (side->size >= sizeof(AVDownmixInfo)) {
                const auto* info = reinterpret_cast<const AVDownmixInfo*>(side->data);
                decoded.centerMixLevel = info->center_mix_level;
                decoded.surroundMixLevel = info->surround_mix_level;
            }
        }
        sink(decoded);
        av_frame_unref(s.frame);
    }
}

} // namespace outside::azid
