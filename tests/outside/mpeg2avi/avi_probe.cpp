#include "tests/outside/mpeg2avi/avi_probe.h"

#include "tests/support/numbered_picture.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <atomic>
#include <cmath>
#include <cstdarg>
#include <fstream>

namespace kes::test {

namespace {

// FFmpeg's messages of error level and worse while a decode runs.
std::atomic<int> decoderErrors{0};

void countErrors(void* object, int level, const char* format, va_list args) {
    if (level <= AV_LOG_ERROR)
        ++decoderErrors;
    av_log_default_callback(object, level, format, args);
}

} // namespace

double AviFacts::kbps() const {
    if (packets == 0 || rateNum == 0)
        return 0;
    const double seconds = static_cast<double>(packets) * rateDen / rateNum;
    return payloadBytes * 8.0 / seconds / 1000.0;
}

AviFacts probeAvi(const std::filesystem::path& path) {
    AviFacts facts;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return facts;
    if (avformat_find_stream_info(format, nullptr) < 0 || format->nb_streams != 1) {
        avformat_close_input(&format);
        return facts;
    }
    const AVStream* stream = format->streams[0];
    facts.opened = true;
    const uint32_t tag = stream->codecpar->codec_tag;
    facts.fourcc = std::string{static_cast<char>(tag), static_cast<char>(tag >> 8),
                               static_cast<char>(tag >> 16), static_cast<char>(tag >> 24)};
    facts.width = stream->codecpar->width;
    facts.height = stream->codecpar->height;
    facts.rateNum = stream->r_frame_rate.num;
    facts.rateDen = stream->r_frame_rate.den;
    const AVRational aspect = av_guess_sample_aspect_ratio(format, format->streams[0], nullptr);
    facts.aspectNum = aspect.num;
    facts.aspectDen = aspect.den;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
        if (packet->flags & AV_PKT_FLAG_KEY)
            facts.keyFrames.push_back(facts.packets);
        facts.payloadBytes += packet->size;
        ++facts.packets;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&format);
    std::ifstream in(path, std::ios::binary);
    uint8_t bytes[4] = {};
    in.seekg(48);
    in.read(reinterpret_cast<char*>(bytes), 4);
    facts.headerFrames = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return facts;
}

int forEachPicture(const std::filesystem::path& path, const std::function<void(const TestPicture&)>& take) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return 1;
    decoderErrors = 0;
    av_log_set_callback(countErrors);
    avformat_find_stream_info(format, nullptr);
    const AVCodecParameters* par = format->streams[0]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(context, par);
    avcodec_open2(context, codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* sws = nullptr;
    TestPicture p;
    auto receive = [&] {
        while (avcodec_receive_frame(context, frame) == 0) {
            p.width = frame->width;
            p.height = frame->height;
            p.y.resize(static_cast<size_t>(p.width) * p.height);
            p.u.resize(static_cast<size_t>(p.width / 2) * (p.height / 2));
            p.v.resize(p.u.size());
            sws = sws_getCachedContext(sws, frame->width, frame->height,
                                       static_cast<AVPixelFormat>(frame->format), p.width, p.height,
                                       AV_PIX_FMT_YUV420P, SWS_POINT, nullptr, nullptr, nullptr);
            uint8_t* planes[3] = {p.y.data(), p.u.data(), p.v.data()};
            const int strides[3] = {p.width, p.width / 2, p.width / 2};
            sws_scale(sws, frame->data, frame->linesize, 0, frame->height, planes, strides);
            if (frame->decode_error_flags || (frame->flags & AV_FRAME_FLAG_CORRUPT))
                ++decoderErrors;
            take(p);
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (avcodec_send_packet(context, packet) < 0)
            ++decoderErrors;
        av_packet_unref(packet);
        receive();
    }
    avcodec_send_packet(context, nullptr);
    receive();
    sws_freeContext(sws);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    avformat_close_input(&format);
    av_log_set_callback(av_log_default_callback);
    return decoderErrors;
}

std::vector<TestPicture> decodeAvi(const std::filesystem::path& path) {
    std::vector<TestPicture> pictures;
    forEachPicture(path, [&](const TestPicture& p) { pictures.push_back(p); });
    return pictures;
}

NumberedFrames readFrameNumbers(const std::filesystem::path& path) {
    NumberedFrames frames;
    frames.decoderErrors =
        forEachPicture(path, [&](const TestPicture& p) { frames.numbers.push_back(readPictureNumber(p)); });
    return frames;
}

double lumaPsnr(const TestPicture& a, const TestPicture& b) {
    if (a.y.size() != b.y.size() || a.y.empty())
        return 0;
    double sum = 0;
    for (size_t i = 0; i < a.y.size(); ++i) {
        const double d = static_cast<double>(a.y[i]) - b.y[i];
        sum += d * d;
    }
    const double mse = sum / static_cast<double>(a.y.size());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

} // namespace kes::test
