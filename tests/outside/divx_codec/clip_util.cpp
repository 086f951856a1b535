#include "tests/outside/divx_codec/clip_util.h"

#include "platform/vfw/vfw.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace kes::test {

namespace vfw = platform::vfw;

namespace {

uint8_t texture(int x, int y, int seed) {
    uint32_t h = static_cast<uint32_t>(x / 4) * 73856093u ^ static_cast<uint32_t>(y / 4) * 19349663u ^
                 static_cast<uint32_t>(seed) * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    const double wave = 60.0 * std::sin(x * 0.05 + seed) + 40.0 * std::cos(y * 0.07);
    return static_cast<uint8_t>(std::clamp(128.0 + wave + static_cast<double>(h & 31) - 16.0, 16.0, 235.0));
}

uint8_t clampByte(double v) {
    return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

} // namespace

Yuv420 syntheticPicture(int i, int width, int height, int sceneEvery) {
    Yuv420 p;
    p.width = width;
    p.height = height;
    p.y.resize(static_cast<size_t>(width) * height);
    p.u.resize(static_cast<size_t>(width / 2) * (height / 2));
    p.v.resize(p.u.size());
    const int scene = sceneEvery > 0 ? i / sceneEvery : 0;
    const int pan = 2 * i;
    const int sx = (5 * i) % std::max(1, width - 32);
    const int sy = (3 * i) % std::max(1, height - 32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Grain that changes every frame keeps the encoder short of bits, as film grain does.
            const uint32_t grain = (static_cast<uint32_t>(x) * 2654435761u) ^
                                   (static_cast<uint32_t>(y) * 40503u) ^
                                   (static_cast<uint32_t>(i) * 2246822519u);
            const int noise = static_cast<int>((grain ^ (grain >> 16)) % 25) - 12;
            uint8_t value = static_cast<uint8_t>(std::clamp(texture(x + pan, y, scene) + noise, 16, 235));
            if (x >= sx && x < sx + 32 && y >= sy && y < sy + 32)
                value = 230;
            p.y[static_cast<size_t>(y) * width + x] = value;
        }
    for (int y = 0; y < height / 2; ++y)
        for (int x = 0; x < width / 2; ++x) {
            p.u[static_cast<size_t>(y) * (width / 2) + x] =
                static_cast<uint8_t>(110 + ((x + pan / 2 + scene * 20) % 40));
            p.v[static_cast<size_t>(y) * (width / 2) + x] =
                static_cast<uint8_t>(120 + ((y + scene * 30) % 30));
        }
    return p;
}

std::vector<uint8_t> toBgr24(const Yuv420& p) {
    std::vector<uint8_t> out(static_cast<size_t>(p.width) * p.height * 3);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const double Y = 1.164 * (p.y[static_cast<size_t>(y) * p.width + x] - 16);
            const double U = p.u[static_cast<size_t>(y / 2) * (p.width / 2) + x / 2] - 128;
            const double V = p.v[static_cast<size_t>(y / 2) * (p.width / 2) + x / 2] - 128;
            uint8_t* px = &out[(static_cast<size_t>(y) * p.width + x) * 3];
            px[0] = clampByte(Y + 2.018 * U);
            px[1] = clampByte(Y - 0.391 * U - 0.813 * V);
            px[2] = clampByte(Y + 1.596 * V);
        }
    return out;
}

std::vector<uint8_t> toYuy2(const Yuv420& p) {
    std::vector<uint8_t> out(static_cast<size_t>(p.width) * p.height * 2);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; x += 2) {
            uint8_t* px = &out[(static_cast<size_t>(y) * p.width + x) * 2];
            const size_t c = static_cast<size_t>(y / 2) * (p.width / 2) + x / 2;
            px[0] = p.y[static_cast<size_t>(y) * p.width + x];
            px[1] = p.u[c];
            px[2] = p.y[static_cast<size_t>(y) * p.width + x + 1];
            px[3] = p.v[c];
        }
    return out;
}

EncodedClip encodeClip(vfw::VideoCompressor& compressor, int frames, int width, int height,
                       vfw::InputFormat format, int sceneEvery, uint32_t aspectNum, uint32_t aspectDen) {
    EncodedClip clip;
    vfw::CompressorInput input;
    input.aspectNum = aspectNum;
    input.aspectDen = aspectDen;
    input.width = width;
    input.height = height;
    input.format = format;
    input.frameCount = frames;
    if (!compressor.begin(input, clip.error))
        return clip;
    clip.format = compressor.outputFormat();
    for (int i = 0; i < frames; ++i) {
        const Yuv420 p = syntheticPicture(i, width, height, sceneEvery);
        std::vector<uint8_t> packed;
        vfw::InputPicture picture;
        if (format == vfw::InputFormat::YV12) {
            picture.data[0] = p.y.data();
            picture.data[1] = p.u.data();
            picture.data[2] = p.v.data();
            picture.stride[0] = width;
            picture.stride[1] = picture.stride[2] = width / 2;
        } else {
            packed = format == vfw::InputFormat::RGB24 ? toBgr24(p) : toYuy2(p);
            picture.data[0] = packed.data();
            picture.stride[0] = width * (format == vfw::InputFormat::RGB24 ? 3 : 2);
        }
        vfw::CompressedFrame frame;
        if (!compressor.compress(picture, frame, clip.error))
            return clip;
        clip.frames.push_back(std::move(frame));
    }
    compressor.end(clip.error);
    return clip;
}

bool writeClipAvi(const std::string& path, const EncodedClip& clip, uint32_t handler) {
    vfw::AVIFileInit();
    vfw::PAVIFILE file = nullptr;
    if (vfw::AVIFileOpen(&file, path, vfw::OF_CREATE | vfw::OF_WRITE) != vfw::AVIERR_OK)
        return false;
    vfw::AVISTREAMINFO info;
    info.fccType = vfw::streamtypeVIDEO;
    info.fccHandler = handler;
    info.dwScale = 1;
    info.dwRate = 25;
    info.rcFrame.right = clip.format.biWidth;
    info.rcFrame.bottom = clip.format.biHeight;
    vfw::PAVISTREAM stream = nullptr;
    bool ok = vfw::AVIFileCreateStream(file, &stream, &info) == vfw::AVIERR_OK &&
              vfw::AVIStreamSetFormat(stream, 0, &clip.format, sizeof clip.format) == vfw::AVIERR_OK;
    for (size_t i = 0; ok && i < clip.frames.size(); ++i) {
        const auto& f = clip.frames[i];
        ok = vfw::AVIStreamWrite(stream, static_cast<vfw::LONG>(i), 1, f.data.data(),
                                 static_cast<vfw::LONG>(f.data.size()), f.keyFrame ? vfw::AVIIF_KEYFRAME : 0,
                                 nullptr, nullptr) == vfw::AVIERR_OK;
    }
    if (stream)
        vfw::AVIStreamRelease(stream);
    vfw::AVIFileRelease(file);
    vfw::AVIFileExit();
    return ok;
}

namespace {

// Error messages of libavformat and libavcodec while a probe runs (the decoder reports damaged blocks
// only in its log, then conceals them and goes on).
ProbedClip* loggingProbe = nullptr;

void countErrors(void* avcl, int level, const char* format, va_list args) {
    if (loggingProbe && level <= AV_LOG_ERROR) {
        if (loggingProbe->errorMessages++ == 0) {
            char text[256];
            std::vsnprintf(text, sizeof text, format, args);
            loggingProbe->firstMessage = text;
        }
        return;
    }
    av_log_default_callback(avcl, level, format, args);
}

struct ErrorCount {
    explicit ErrorCount(ProbedClip& probe) {
        loggingProbe = &probe;
        av_log_set_callback(countErrors);
    }
    ~ErrorCount() {
        av_log_set_callback(av_log_default_callback);
        loggingProbe = nullptr;
    }
    ErrorCount(const ErrorCount&) = delete;
    ErrorCount& operator=(const ErrorCount&) = delete;
};

} // namespace

ProbedClip probeAvi(const std::string& path, int sceneEvery) {
    ProbedClip probe;
    ErrorCount errors(probe);
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0)
        return probe;
    if (avformat_find_stream_info(fmt, nullptr) < 0) {
        avformat_close_input(&fmt);
        return probe;
    }
    const int index = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) {
        avformat_close_input(&fmt);
        return probe;
    }
    probe.opened = true;
    const AVCodecParameters* par = fmt->streams[index]->codecpar;
    probe.codecName = avcodec_get_name(par->codec_id);
    probe.codecTag = par->codec_tag;
    probe.width = par->width;
    probe.height = par->height;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    AVCodecContext* dec = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (dec) {
        avcodec_parameters_to_context(dec, par);
        if (avcodec_open2(dec, codec, nullptr) < 0)
            avcodec_free_context(&dec);
    }
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    double squaredError = 0;
    int64_t samples = 0;
    auto drain = [&] {
        while (dec && avcodec_receive_frame(dec, frame) >= 0) {
            if (sceneEvery >= 0 && frame->width == par->width) {
                const Yuv420 ref = syntheticPicture(probe.decoded, par->width, par->height, sceneEvery);
                for (int y = 0; y < par->height; ++y)
                    for (int x = 0; x < par->width; ++x) {
                        const double d = frame->data[0][static_cast<size_t>(y) * frame->linesize[0] + x] -
                                         ref.y[static_cast<size_t>(y) * par->width + x];
                        squaredError += d * d;
                    }
                samples += static_cast<int64_t>(par->width) * par->height;
            }
            ++probe.decoded;
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == index) {
            if (pkt->flags & AV_PKT_FLAG_KEY)
                probe.keyFrames.push_back(probe.packets);
            ++probe.packets;
            probe.bytes += pkt->size;
            if (dec && avcodec_send_packet(dec, pkt) < 0)
                ++probe.decodeErrors;
            drain();
        }
        av_packet_unref(pkt);
    }
    if (dec) {
        avcodec_send_packet(dec, nullptr);
        drain();
    }
    if (dec && dec->sample_aspect_ratio.num > 0) {
        probe.aspectNum = dec->sample_aspect_ratio.num;
        probe.aspectDen = dec->sample_aspect_ratio.den;
    }
    if (samples > 0 && squaredError > 0)
        probe.psnrLuma = 10.0 * std::log10(255.0 * 255.0 / (squaredError / static_cast<double>(samples)));
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
    return probe;
}

double clipKbps(const EncodedClip& clip) {
    if (clip.frames.empty())
        return 0;
    double bytes = 0;
    for (const auto& f : clip.frames)
        bytes += static_cast<double>(f.data.size());
    return bytes * 8.0 * 25.0 / static_cast<double>(clip.frames.size()) / 1000.0;
}

} // namespace kes::test
