#include "platform/vfw/frame_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstring>

namespace platform::vfw {

namespace {

// Extradata (MPEG-4 headers) follows the 40-byte bitmap header in some files; it is passed on, capped.
constexpr size_t BitmapHeaderSize = 40;
constexpr size_t MaxExtradata = 1 << 20;

FOURCC upper(FOURCC f) {
    FOURCC out = 0;
    for (int i = 0; i < 4; ++i) {
        auto c = static_cast<uint8_t>(f >> (8 * i));
        if (c >= 'a' && c <= 'z')
            c = static_cast<uint8_t>(c - 'a' + 'A');
        out |= static_cast<FOURCC>(c) << (8 * i);
    }
    return out;
}

AVCodecID codecOf(FOURCC fcc) {
    switch (upper(fcc)) {
    case mmioFOURCC('D', 'I', 'V', 'X'):
    case mmioFOURCC('D', 'X', '5', '0'):
    case mmioFOURCC('X', 'V', 'I', 'D'):
    case mmioFOURCC('F', 'M', 'P', '4'):
    case mmioFOURCC('M', 'P', '4', 'V'):
    case mmioFOURCC('M', 'P', '4', 'S'):
    case mmioFOURCC('M', '4', 'S', '2'):
    case mmioFOURCC('3', 'I', 'V', '2'):
    case mmioFOURCC('D', 'I', 'V', '1'):
    case mmioFOURCC('B', 'L', 'Z', '0'):
    case mmioFOURCC('R', 'M', 'P', '4'):
        return AV_CODEC_ID_MPEG4;
    case mmioFOURCC('D', 'I', 'V', '3'):
    case mmioFOURCC('D', 'I', 'V', '4'):
    case mmioFOURCC('M', 'P', '4', '3'):
    case mmioFOURCC('A', 'P', '4', '1'):
    case mmioFOURCC('C', 'O', 'L', '1'):
        return AV_CODEC_ID_MSMPEG4V3;
    case mmioFOURCC('M', 'P', '4', '2'):
        return AV_CODEC_ID_MSMPEG4V2;
    case mmioFOURCC('M', 'P', 'G', '4'):
        return AV_CODEC_ID_MSMPEG4V1;
    default:
        return AV_CODEC_ID_NONE;
    }
}

uint8_t clip(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

class AvFrameDecoder : public FrameDecoder {
public:
    AvFrameDecoder(AVCodecContext* ctx, AVFrame* frame, AVFrame* kept, AVPacket* packet)
        : ctx_(ctx), frame_(frame), kept_(kept), packet_(packet) {}
    ~AvFrameDecoder() override {
        av_packet_free(&packet_);
        av_frame_free(&kept_);
        av_frame_free(&frame_);
        avcodec_free_context(&ctx_);
    }
    AvFrameDecoder(const AvFrameDecoder&) = delete;
    AvFrameDecoder& operator=(const AvFrameDecoder&) = delete;

    void reset() override {
        avcodec_flush_buffers(ctx_);
        av_frame_unref(kept_);
        draining_ = false;
    }

    int decode(const uint8_t* data, size_t size) override {
        if (draining_)
            return -1;
        int sent = 0;
        if (data == nullptr) {
            draining_ = true;
            sent = avcodec_send_packet(ctx_, nullptr);
        } else {
            av_packet_unref(packet_);
            if (av_new_packet(packet_, static_cast<int>(size)) < 0)
                return -1;
            std::memcpy(packet_->data, data, size);
            sent = avcodec_send_packet(ctx_, packet_);
        }
        if (sent < 0 && sent != AVERROR(EAGAIN))
            return 0; // a damaged frame gives no picture; the stream goes on
        int pictures = 0;
        while (avcodec_receive_frame(ctx_, frame_) == 0) {
            av_frame_unref(kept_);
            av_frame_move_ref(kept_, frame_);
            ++pictures;
        }
        return pictures;
    }

    bool picture(int width, int height, std::vector<uint32_t>& argb) const override;

private:
    AVCodecContext* ctx_;
    AVFrame* frame_;
    AVFrame* kept_;
    AVPacket* packet_;
    bool draining_ = false;
};

bool AvFrameDecoder::picture(int width, int height, std::vector<uint32_t>& argb) const {
    const AVFrame* f = kept_;
    if (f->data[0] == nullptr || f->width != width || f->height != height || width <= 0 || height <= 0)
        return false;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(f->format));
    // Planar 8-bit YUV with 3 planes, as the MPEG-4 decoders give.
    if (desc == nullptr || desc->nb_components != 3 || (desc->flags & AV_PIX_FMT_FLAG_PLANAR) == 0 ||
        (desc->flags & AV_PIX_FMT_FLAG_RGB) != 0 || desc->comp[0].depth != 8 || f->data[1] == nullptr ||
        f->data[2] == nullptr)
        return false;
    const bool full = f->color_range == AVCOL_RANGE_JPEG || f->format == AV_PIX_FMT_YUVJ420P;
    argb.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const uint8_t* py = f->data[0] + static_cast<ptrdiff_t>(y) * f->linesize[0];
        const uint8_t* pu = f->data[1] + static_cast<ptrdiff_t>(y >> desc->log2_chroma_h) * f->linesize[1];
        const uint8_t* pv = f->data[2] + static_cast<ptrdiff_t>(y >> desc->log2_chroma_h) * f->linesize[2];
        uint32_t* out = argb.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int x = 0; x < width; ++x) {
            const int d = pu[x >> desc->log2_chroma_w] - 128;
            const int e = pv[x >> desc->log2_chroma_w] - 128;
            int r = 0;
            int g = 0;
            int b = 0;
            if (full) {
                const int c = py[x] << 8;
                r = (c + 359 * e + 128) >> 8;
                g = (c - 88 * d - 183 * e + 128) >> 8;
                b = (c + 454 * d + 128) >> 8;
            } else {
                const int c = 298 * (py[x] - 16);
                r = (c + 409 * e + 128) >> 8;
                g = (c - 100 * d - 208 * e + 128) >> 8;
                b = (c + 516 * d + 128) >> 8;
            }
            out[x] = 0xFF000000u | static_cast<uint32_t>(clip(r)) << 16 |
                     static_cast<uint32_t>(clip(g)) << 8 | clip(b);
        }
    }
    return true;
}

} // namespace

bool isDecodableFourCC(FOURCC fcc) {
    return codecOf(fcc) != AV_CODEC_ID_NONE;
}

std::unique_ptr<FrameDecoder> FrameDecoder::open(DWORD compression, FOURCC handler,
                                                 const std::vector<uint8_t>& format) {
    AVCodecID id = codecOf(compression);
    if (id == AV_CODEC_ID_NONE)
        id = codecOf(handler);
    const AVCodec* codec = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
    if (codec == nullptr || format.size() < BitmapHeaderSize)
        return nullptr;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    if (ctx == nullptr)
        return nullptr;
    const auto width = static_cast<int32_t>(format[4] | format[5] << 8 | format[6] << 16 |
                                            static_cast<uint32_t>(format[7]) << 24);
    const auto height = static_cast<int32_t>(format[8] | format[9] << 8 | format[10] << 16 |
                                             static_cast<uint32_t>(format[11]) << 24);
    ctx->width = width;
    ctx->height = height < 0 ? -height : height;
    ctx->codec_tag = compression != 0 ? compression : handler;
    ctx->thread_count = 1;
    const size_t extra = std::min(format.size() - BitmapHeaderSize, MaxExtradata);
    if (extra > 0) {
        ctx->extradata = static_cast<uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
        if (ctx->extradata != nullptr) {
            std::memcpy(ctx->extradata, format.data() + BitmapHeaderSize, extra);
            ctx->extradata_size = static_cast<int>(extra);
        }
    }
    AVFrame* frame = av_frame_alloc();
    AVFrame* kept = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    if (frame == nullptr || kept == nullptr || packet == nullptr || avcodec_open2(ctx, codec, nullptr) < 0) {
        av_packet_free(&packet);
        av_frame_free(&kept);
        av_frame_free(&frame);
        avcodec_free_context(&ctx);
        return nullptr;
    }
    return std::make_unique<AvFrameDecoder>(ctx, frame, kept, packet);
}

} // namespace platform::vfw
