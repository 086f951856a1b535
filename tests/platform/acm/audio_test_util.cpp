#include "tests/platform/acm/audio_test_util.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kes::test {

namespace {

std::string le(uint32_t v, int bytes) {
    std::string s(static_cast<size_t>(bytes), '\0');
    for (int i = 0; i < bytes; ++i)
        s[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

void takeFrame(const AVFrame* frame, DecodedAudio& out) {
    out.sampleRate = frame->sample_rate;
    out.channels = frame->ch_layout.nb_channels;
    for (int i = 0; i < frame->nb_samples; ++i) {
        float v = 0;
        switch (frame->format) {
        case AV_SAMPLE_FMT_FLTP:
            v = reinterpret_cast<const float*>(frame->data[0])[i];
            break;
        case AV_SAMPLE_FMT_S16P:
            v = reinterpret_cast<const int16_t*>(frame->data[0])[i] / 32768.0f;
            break;
        case AV_SAMPLE_FMT_S16:
            v = reinterpret_cast<const int16_t*>(frame->data[0])[i * out.channels] / 32768.0f;
            break;
        case AV_SAMPLE_FMT_FLT:
            v = reinterpret_cast<const float*>(frame->data[0])[i * out.channels];
            break;
        default:
            return;
        }
        out.first.push_back(v);
    }
}

// Sends one packet (or the end with null) and collects every frame.
bool decodePacket(AVCodecContext* ctx, AVPacket* packet, AVFrame* frame, DecodedAudio& out) {
    if (avcodec_send_packet(ctx, packet) < 0)
        return false;
    while (avcodec_receive_frame(ctx, frame) >= 0)
        takeFrame(frame, out);
    return true;
}

} // namespace

std::string makeTone(uint32_t rate, int channels, int64_t frames, double freq, double amplitude) {
    std::string pcm;
    pcm.reserve(static_cast<size_t>(frames * channels * 2));
    for (int64_t i = 0; i < frames; ++i) {
        const auto v =
            static_cast<int16_t>(std::lround(amplitude * std::sin(2 * std::numbers::pi * freq * i / rate)));
        for (int c = 0; c < channels; ++c)
            pcm += le(static_cast<uint16_t>(v), 2);
    }
    return pcm;
}

DecodedAudio decodeWma(const std::string& data, const platform::acm::WaveFormat& format) {
    DecodedAudio out;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_WMAV2);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    av_channel_layout_default(&ctx->ch_layout, format.nChannels);
    ctx->sample_rate = static_cast<int>(format.nSamplesPerSec);
    ctx->block_align = format.nBlockAlign;
    ctx->bit_rate = int64_t{format.nAvgBytesPerSec} * 8;
    ctx->extradata = static_cast<uint8_t*>(av_mallocz(format.cbSize + AV_INPUT_BUFFER_PADDING_SIZE));
    ctx->extradata_size = format.cbSize;
    std::copy(format.extra.begin(), format.extra.begin() + format.cbSize, ctx->extradata);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    bool ok = avcodec_open2(ctx, codec, nullptr) >= 0;
    for (size_t at = 0; ok && at + format.nBlockAlign <= data.size(); at += format.nBlockAlign) {
        av_new_packet(packet, format.nBlockAlign);
        std::copy_n(data.data() + at, format.nBlockAlign, packet->data);
        ok = decodePacket(ctx, packet, frame, out);
        av_packet_unref(packet);
        ++out.packets;
    }
    ok = ok && decodePacket(ctx, nullptr, frame, out);
    out.ok = ok && data.size() % format.nBlockAlign == 0;
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
    return out;
}

DecodedAudio decodeMp3(const std::string& data) {
    DecodedAudio out;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MP3);
    AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_MP3);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    bool ok = avcodec_open2(ctx, codec, nullptr) >= 0;
    std::string padded = data + std::string(AV_INPUT_BUFFER_PADDING_SIZE, '\0');
    const auto* at = reinterpret_cast<const uint8_t*>(padded.data());
    int left = static_cast<int>(data.size());
    while (ok) {
        uint8_t* frameData = nullptr;
        int frameSize = 0;
        const int used = av_parser_parse2(parser, ctx, &frameData, &frameSize, left > 0 ? at : nullptr, left,
                                          AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        at += used;
        left -= used;
        if (frameSize > 0) {
            packet->data = frameData;
            packet->size = frameSize;
            ok = decodePacket(ctx, packet, frame, out);
            ++out.packets;
        } else if (left <= 0) {
            break;
        }
    }
    ok = ok && decodePacket(ctx, nullptr, frame, out);
    out.ok = ok;
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
    av_parser_close(parser);
    return out;
}

double toneShare(const std::vector<float>& samples, int rate, double freq) {
    if (samples.empty() || rate <= 0)
        return 0;
    // Goertzel at freq against the total energy.
    const double w = 2 * std::numbers::pi * freq / rate;
    const double coeff = 2 * std::cos(w);
    double s1 = 0, s2 = 0, energy = 0;
    for (float x : samples) {
        const double s0 = x + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
        energy += double{x} * x;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    if (energy <= 0)
        return 0;
    return 2 * power / (samples.size() * energy);
}

std::string pcmWave(uint32_t rate, int channels, const std::string& data, int bits) {
    const uint32_t align = static_cast<uint32_t>(channels * bits / 8);
    std::string fmt = le(1, 2) + le(static_cast<uint32_t>(channels), 2) + le(rate, 4) + le(rate * align, 4) +
                      le(align, 2) + le(static_cast<uint32_t>(bits), 2);
    std::string body = "WAVE" + std::string("fmt ") + le(16, 4) + fmt + "data" +
                       le(static_cast<uint32_t>(data.size()), 4) + data;
    if (data.size() % 2 != 0)
        body += '\0';
    return "RIFF" + le(static_cast<uint32_t>(body.size()), 4) + body;
}

} // namespace kes::test
