#include "outside/divx_codec/video_encoder.h"

#include "outside/divx_codec/first_pass_log.h"
#include "platform/core/files.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>

namespace divx_codec {

namespace core = platform::core;

namespace {

constexpr int64_t PeakRateFactor = 3;
constexpr double MinRateTolerance = 1000; // bits
constexpr int MaxAspectTerm = 255;

constexpr uint32_t makeTag(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<unsigned char>(a)) |
           static_cast<uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(c)) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(d)) << 24;
}

std::string avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

AVPixelFormat sourceFormat(PixelLayout layout) {
    switch (layout) {
    case PixelLayout::RGB24:
        return AV_PIX_FMT_BGR24;
    case PixelLayout::YUY2:
        return AV_PIX_FMT_YUYV422;
    case PixelLayout::YV12:
        break;
    }
    return AV_PIX_FMT_YUV420P;
}

void setOption(AVCodecContext* ctx, const char* name, int64_t value) {
    // Options an encoder does not have are left alone: each is a refinement, not a requirement.
    av_opt_set_int(ctx, name, value, AV_OPT_SEARCH_CHILDREN);
}

} // namespace

PixelAspect storedPixelAspect(uint32_t num, uint32_t den) {
    // MPEG-4 stores the two terms in 8 bits each; the nearest fraction that fits keeps a picture within
    // a fraction of a per cent of its shape. Square or unknown pixels store nothing.
    if (num == 0 || den == 0 || num == den)
        return {};
    PixelAspect reduced;
    av_reduce(&reduced.num, &reduced.den, num, den, MaxAspectTerm);
    if (reduced.num <= 0 || reduced.den <= 0 || reduced.num == reduced.den)
        return {};
    return reduced;
}

struct VideoEncoder::State {
    AVCodecContext* ctx = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* sws = nullptr;
    FrameSpec spec;
    EncoderParams params;
    int64_t nextPts = 0;
    std::string stats; // first-pass log gathered so far

    ~State() {
        sws_freeContext(sws);
        av_packet_free(&packet);
        av_frame_free(&frame);
        // The first-pass log handed to a second pass belongs to the caller, not to the context.
        if (ctx)
            av_freep(&ctx->stats_in);
        avcodec_free_context(&ctx);
    }
};

VideoEncoder::VideoEncoder() = default;
VideoEncoder::~VideoEncoder() = default;

void blendFields(uint8_t* plane, int stride, int width, int height) {
    if (height < 3)
        return;
    std::vector<uint8_t> above(plane, plane + width);
    for (int y = 1; y < height - 1; ++y) {
        uint8_t* row = plane + static_cast<ptrdiff_t>(y) * stride;
        const uint8_t* below = row + stride;
        for (int x = 0; x < width; ++x) {
            const uint8_t current = row[x];
            row[x] = static_cast<uint8_t>((above[x] + 2 * current + below[x] + 2) / 4);
            above[x] = current;
        }
    }
}

bool VideoEncoder::openCodec(const FrameSpec& spec, const EncoderParams& params, std::string& error) {
    State& s = *state_;
    const AVCodec* codec = avcodec_find_encoder(params.msmpeg4 ? AV_CODEC_ID_MSMPEG4V3 : AV_CODEC_ID_MPEG4);
    if (!codec) {
        error = "This system's libavcodec has no MPEG-4 encoder";
        return false;
    }
    s.ctx = avcodec_alloc_context3(codec);
    s.frame = av_frame_alloc();
    s.packet = av_packet_alloc();
    if (!s.ctx || !s.frame || !s.packet) {
        error = "Out of memory";
        return false;
    }
    AVCodecContext* ctx = s.ctx;
    std::string firstPass;
    if (params.mode == RateMode::TwoPassSecond) {
        auto log = core::readFile(params.logPath);
        if (!log || log->empty()) {
            error = "The first-pass log " + params.logPath + " cannot be read: run the first pass first";
            return false;
        }
        firstPass = std::move(*log);
    }
    ctx->width = spec.width;
    ctx->height = spec.height;
    ctx->time_base = AVRational{static_cast<int>(spec.rateDen), static_cast<int>(spec.rateNum)};
    ctx->framerate = AVRational{static_cast<int>(spec.rateNum), static_cast<int>(spec.rateDen)};
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    const PixelAspect aspect = storedPixelAspect(spec.aspectNum, spec.aspectDen);
    if (aspect.num > 0)
        ctx->sample_aspect_ratio = AVRational{aspect.num, aspect.den};
    ctx->codec_tag = params.msmpeg4 ? makeTag('D', 'I', 'V', '3') : makeTag('D', 'I', 'V', 'X');
    ctx->gop_size = params.gopSize;
    ctx->max_b_frames = 0; // one packet per frame, in order, as an AVI stream wants
    ctx->qmin = params.qmin;
    ctx->qmax = params.qmax;
    ctx->qblur = params.qblur;
    ctx->qcompress = params.qcompress;
    ctx->thread_count = params.threads;
    ctx->thread_type = FF_THREAD_SLICE;
    if (params.constantQuantizer > 0) {
        ctx->flags |= AV_CODEC_FLAG_QSCALE;
        ctx->global_quality = params.constantQuantizer * FF_QP2LAMBDA;
    } else {
        ctx->bit_rate = params.bitRate;
        double seconds = params.rateToleranceSeconds;
        if (params.mode == RateMode::TwoPassSecond) {
            const FirstPassSummary summary = summarizeFirstPass(firstPass);
            const double fps = static_cast<double>(spec.rateNum) / spec.rateDen;
            ctx->bit_rate = reachableBitRate(params.bitRate, summary, fps, params.qmax);
            if (params.rateToleranceShare > 0 && summary.frames > 0)
                seconds =
                    std::min(seconds, params.rateToleranceShare * static_cast<double>(summary.frames) / fps);
        }
        const double tolerance = static_cast<double>(ctx->bit_rate) * seconds;
        ctx->bit_rate_tolerance =
            static_cast<int>(std::clamp<double>(tolerance, MinRateTolerance, static_cast<double>(INT32_MAX)));
        if (params.bufferSize > 0) {
            // libavcodec bounds its buffer by a peak rate; three times the average leaves the
            // averaging period, not the peak, to decide.
            ctx->rc_buffer_size = params.bufferSize;
            ctx->rc_max_rate = params.bitRate * PeakRateFactor;
        }
    }
    if (params.fourMotionVectors)
        ctx->flags |= AV_CODEC_FLAG_4MV;
    if (params.mode == RateMode::TwoPassFirst)
        ctx->flags |= AV_CODEC_FLAG_PASS1;
    if (params.mode == RateMode::TwoPassSecond) {
        ctx->flags |= AV_CODEC_FLAG_PASS2;
        ctx->stats_in = static_cast<char*>(av_malloc(firstPass.size() + 1));
        if (!ctx->stats_in) {
            error = "Out of memory";
            return false;
        }
        std::memcpy(ctx->stats_in, firstPass.data(), firstPass.size());
        ctx->stats_in[firstPass.size()] = '\0';
    }
    setOption(ctx, "mbd", params.macroblockDecision);
    setOption(ctx, "trellis", params.trellis ? 1 : 0);
    if (params.trellis && params.codedBlockChoice)
        av_opt_set(ctx, "mpv_flags", "+cbp_rd", AV_OPT_SEARCH_CHILDREN);
    if (params.meRange > 0)
        setOption(ctx, "me_range", params.meRange);
    if (params.diaSize != 0)
        setOption(ctx, "dia_size", params.diaSize);
    if (params.sceneChangeThreshold != 0)
        setOption(ctx, "sc_threshold", params.sceneChangeThreshold);
    if (params.noiseReduction > 0)
        setOption(ctx, "noise_reduction", params.noiseReduction);
    if (params.transformCompare) {
        ctx->me_sub_cmp = FF_CMP_SATD;
        ctx->mb_cmp = FF_CMP_SATD;
    }
    const int rc = avcodec_open2(ctx, codec, nullptr);
    if (rc < 0) {
        error = "The encoder cannot start: " + avError(rc);
        if (params.mode == RateMode::TwoPassSecond)
            error += " (is " + params.logPath + " the first pass of this movie?)";
        return false;
    }
    s.frame->format = AV_PIX_FMT_YUV420P;
    s.frame->width = spec.width;
    s.frame->height = spec.height;
    if (av_frame_get_buffer(s.frame, 0) < 0) {
        error = "Out of memory";
        return false;
    }
    if (spec.layout != PixelLayout::YV12) {
        s.sws = sws_getContext(spec.width, spec.height, sourceFormat(spec.layout), spec.width, spec.height,
                               AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (!s.sws) {
            error = "The colour conversion cannot start";
            return false;
        }
    }
    return true;
}

bool VideoEncoder::begin(const FrameSpec& spec, const EncoderParams& params, std::string& error) {
    if (spec.width <= 0 || spec.height <= 0 || spec.width % 2 || spec.height % 2 || spec.width > 8192 ||
        spec.height > 8192) {
        error = "The picture size " + std::to_string(spec.width) + "x" + std::to_string(spec.height) +
                " cannot be compressed (even sizes up to 8192 only)";
        return false;
    }
    if (spec.rateNum == 0 || spec.rateDen == 0 || spec.rateNum > INT32_MAX || spec.rateDen > INT32_MAX) {
        error = "The frame rate " + std::to_string(spec.rateNum) + "/" + std::to_string(spec.rateDen) +
                " cannot be compressed";
        return false;
    }
    if ((params.mode == RateMode::TwoPassFirst || params.mode == RateMode::TwoPassSecond) &&
        params.logPath.empty()) {
        error = "Two-pass encoding needs the path of its log file";
        return false;
    }
    state_ = std::make_unique<State>();
    state_->spec = spec;
    state_->params = params;
    if (!openCodec(spec, params, error)) {
        state_.reset();
        return false;
    }
    running_ = true;
    return true;
}

bool VideoEncoder::convert(const Planes& planes, std::string& error) {
    State& s = *state_;
    if (av_frame_make_writable(s.frame) < 0) {
        error = "Out of memory";
        return false;
    }
    const int w = s.spec.width;
    const int h = s.spec.height;
    if (s.spec.layout == PixelLayout::YV12) {
        for (int i = 0; i < 3; ++i) {
            if (!planes.data[i]) {
                error = "A YV12 picture needs its three planes";
                return false;
            }
            const int pw = i == 0 ? w : w / 2;
            const int ph = i == 0 ? h : h / 2;
            av_image_copy_plane(s.frame->data[i], s.frame->linesize[i], planes.data[i], planes.stride[i], pw,
                                ph);
        }
    } else {
        if (!planes.data[0]) {
            error = "The picture has no pixels";
            return false;
        }
        const uint8_t* src[4] = {planes.data[0], nullptr, nullptr, nullptr};
        const int srcStride[4] = {planes.stride[0], 0, 0, 0};
        sws_scale(s.sws, src, srcStride, 0, h, s.frame->data, s.frame->linesize);
    }
    if (s.params.deinterlace) {
        blendFields(s.frame->data[0], s.frame->linesize[0], w, h);
        blendFields(s.frame->data[1], s.frame->linesize[1], w / 2, h / 2);
        blendFields(s.frame->data[2], s.frame->linesize[2], w / 2, h / 2);
    }
    return true;
}

bool VideoEncoder::receive(std::vector<uint8_t>& packet, bool& keyFrame, std::string& error) {
    State& s = *state_;
    const int rc = avcodec_receive_packet(s.ctx, s.packet);
    if (rc < 0) {
        error = "The encoder gave no frame: " + avError(rc);
        return false;
    }
    packet.assign(s.packet->data, s.packet->data + s.packet->size);
    keyFrame = (s.packet->flags & AV_PKT_FLAG_KEY) != 0;
    av_packet_unref(s.packet);
    if (s.ctx->stats_out)
        s.stats += s.ctx->stats_out;
    return true;
}

bool VideoEncoder::compress(const Planes& planes, std::vector<uint8_t>& packet, bool& keyFrame,
                            std::string& error) {
    if (!running_) {
        error = "The encoder has not begun";
        return false;
    }
    if (!convert(planes, error))
        return false;
    State& s = *state_;
    s.frame->pts = s.nextPts++;
    const int rc = avcodec_send_frame(s.ctx, s.frame);
    if (rc < 0) {
        error = "The encoder refused frame " + std::to_string(s.nextPts - 1) + ": " + avError(rc);
        if (s.params.mode == RateMode::TwoPassSecond)
            error += " (the movie is longer than its first pass)";
        return false;
    }
    return receive(packet, keyFrame, error);
}

bool VideoEncoder::end(std::string& error) {
    if (!running_)
        return true;
    running_ = false;
    State& s = *state_;
    bool ok = true;
    if (avcodec_send_frame(s.ctx, nullptr) >= 0) {
        while (avcodec_receive_packet(s.ctx, s.packet) >= 0)
            av_packet_unref(s.packet);
    }
    if (s.params.mode == RateMode::TwoPassFirst) {
        if (s.ctx->stats_out)
            s.stats += s.ctx->stats_out;
        if (!core::writeFileAtomic(s.params.logPath, s.stats)) {
            error = "The first-pass log " + s.params.logPath + " cannot be written";
            ok = false;
        }
    }
    state_.reset();
    return ok;
}

uint32_t VideoEncoder::maxPacketSize() const {
    if (!state_)
        return 0;
    return static_cast<uint32_t>(state_->spec.width) * static_cast<uint32_t>(state_->spec.height) * 3 + 1024;
}

} // namespace divx_codec
