#include "outside/divx_codec/video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

#include <vector>

namespace divx_codec {

struct VideoDecoder::State {
    AVCodecContext* ctx = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* sws = nullptr;
    int width = 0;
    int height = 0;
    bool havePicture = false;

    ~State() {
        sws_freeContext(sws);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&ctx);
    }
};

VideoDecoder::VideoDecoder() = default;
VideoDecoder::~VideoDecoder() = default;

bool VideoDecoder::begin(bool msmpeg4, int width, int height, std::string& error) {
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192) {
        error = "The picture size cannot be decoded";
        return false;
    }
    auto state = std::make_unique<State>();
    const AVCodec* codec = avcodec_find_decoder(msmpeg4 ? AV_CODEC_ID_MSMPEG4V3 : AV_CODEC_ID_MPEG4);
    if (!codec || !(state->ctx = avcodec_alloc_context3(codec)) || !(state->frame = av_frame_alloc()) ||
        !(state->packet = av_packet_alloc())) {
        error = "The decoder cannot start";
        return false;
    }
    state->ctx->width = width;
    state->ctx->height = height;
    state->ctx->thread_count = 1;
    if (avcodec_open2(state->ctx, codec, nullptr) < 0) {
        error = "The decoder cannot start";
        return false;
    }
    state->width = width;
    state->height = height;
    state_ = std::move(state);
    return true;
}

bool VideoDecoder::decode(const uint8_t* data, size_t size, uint8_t* bgr, std::string& error) {
    if (!state_) {
        error = "The decoder has not begun";
        return false;
    }
    State& s = *state_;
    if (size > 0) {
        if (av_new_packet(s.packet, static_cast<int>(size)) < 0) {
            error = "Out of memory";
            return false;
        }
        std::copy(data, data + size, s.packet->data);
        const int rc = avcodec_send_packet(s.ctx, s.packet);
        av_packet_unref(s.packet);
        if (rc < 0) {
            error = "The frame cannot be decoded";
            return false;
        }
        while (avcodec_receive_frame(s.ctx, s.frame) >= 0) {
            s.sws = sws_getCachedContext(s.sws, s.frame->width, s.frame->height,
                                         static_cast<AVPixelFormat>(s.frame->format), s.width, s.height,
                                         AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
            if (!s.sws) {
                error = "The colour conversion cannot start";
                return false;
            }
            uint8_t* dst[4] = {bgr, nullptr, nullptr, nullptr};
            const int dstStride[4] = {s.width * 3, 0, 0, 0};
            sws_scale(s.sws, s.frame->data, s.frame->linesize, 0, s.frame->height, dst, dstStride);
            s.havePicture = true;
        }
    }
    if (!s.havePicture) {
        error = "No picture decoded yet";
        return false;
    }
    return true;
}

void VideoDecoder::end() {
    state_.reset();
}

} // namespace divx_codec
