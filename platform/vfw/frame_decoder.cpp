#include "platform/vfw/frame_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <climits>
#include <cstring>
#include <deque>
#include <utility>

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

// The FFmpeg objects of one decoder, freed together.
struct AvObjects {
    AVCodecContext* ctx = nullptr;
    AVBSFContext* unpack = nullptr; // packed B-VOPs to one VOP per chunk (MPEG-4 part 2 only)
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    AVPacket* unpacked = nullptr;
    ~AvObjects() {
        av_packet_free(&unpacked);
        av_packet_free(&packet);
        av_frame_free(&frame);
        av_bsf_free(&unpack);
        avcodec_free_context(&ctx);
    }
};

// Pictures kept after they came out: enough for the pictures one drain at the end gives.
constexpr size_t KeptPictures = 8;

class AvFrameDecoder : public FrameDecoder {
public:
    explicit AvFrameDecoder(std::unique_ptr<AvObjects> av) : av_(std::move(av)) {}
    ~AvFrameDecoder() override { dropKept(); }
    AvFrameDecoder(const AvFrameDecoder&) = delete;
    AvFrameDecoder& operator=(const AvFrameDecoder&) = delete;

    void reset() override {
        avcodec_flush_buffers(av_->ctx);
        if (av_->unpack != nullptr)
            av_bsf_flush(av_->unpack);
        dropKept();
        outputTags_.clear();
        draining_ = false;
    }

    int decode(const uint8_t* data, size_t size) override { return decodeTagged(data, size, 0); }
    int decodeTagged(const uint8_t* data, size_t size, int64_t tag) override;
    const std::vector<int64_t>& outputTags() const override { return outputTags_; }
    bool picture(int width, int height, std::vector<uint32_t>& argb) const override {
        return !kept_.empty() && toArgb(kept_.back().second, width, height, argb);
    }
    bool taggedPicture(int64_t tag, int width, int height, std::vector<uint32_t>& argb) const override {
        for (auto it = kept_.rbegin(); it != kept_.rend(); ++it)
            if (it->first == tag)
                return toArgb(it->second, width, height, argb);
        return false;
    }
    bool reorders() const override { return av_->ctx->codec_id == AV_CODEC_ID_MPEG4; }
    int delay() const override { return av_->ctx->has_b_frames > 0 ? 1 : 0; }

private:
    static bool toArgb(const AVFrame* f, int width, int height, std::vector<uint32_t>& argb);
    // Sends one packet (null: the end) to the decoder and keeps what comes out.
    bool send(const AVPacket* packet);
    void dropKept() {
        for (auto& [tag, frame] : kept_)
            av_frame_free(&frame);
        kept_.clear();
    }

    std::unique_ptr<AvObjects> av_;
    std::deque<std::pair<int64_t, AVFrame*>> kept_;
    std::vector<int64_t> outputTags_;
    bool draining_ = false;
};

bool AvFrameDecoder::send(const AVPacket* packet) {
    const int sent = avcodec_send_packet(av_->ctx, packet);
    if (sent < 0 && sent != AVERROR(EAGAIN) && packet == nullptr)
        return false;
    // A damaged frame gives no picture; the stream goes on.
    while (avcodec_receive_frame(av_->ctx, av_->frame) == 0) {
        AVFrame* kept = av_frame_alloc();
        if (kept == nullptr) {
            av_frame_unref(av_->frame);
            return false;
        }
        av_frame_move_ref(kept, av_->frame);
        const int64_t tag = kept->pts;
        kept_.emplace_back(tag, kept);
        if (kept_.size() > KeptPictures) {
            av_frame_free(&kept_.front().second);
            kept_.pop_front();
        }
        outputTags_.push_back(tag);
    }
    return true;
}

int AvFrameDecoder::decodeTagged(const uint8_t* data, size_t size, int64_t tag) {
    outputTags_.clear();
    if (draining_)
        return -1;
    AVPacket* packet = nullptr;
    if (data == nullptr) {
        draining_ = true;
    } else {
        packet = av_->packet;
        av_packet_unref(packet);
        if (size > static_cast<size_t>(INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE) ||
            av_new_packet(packet, static_cast<int>(size)) < 0)
            return -1;
        std::memcpy(packet->data, data, size);
        packet->pts = tag;
        packet->dts = tag;
    }
    if (av_->unpack == nullptr) {
        if (!send(packet))
            return -1;
    } else {
        if (av_bsf_send_packet(av_->unpack, packet) < 0) {
            av_packet_unref(av_->packet);
            return 0; // a chunk the unpacking refuses is left out
        }
        while (av_bsf_receive_packet(av_->unpack, av_->unpacked) == 0) {
            const bool ok = send(av_->unpacked);
            av_packet_unref(av_->unpacked);
            if (!ok)
                return -1;
        }
        if (draining_ && !send(nullptr))
            return -1;
    }
    return static_cast<int>(outputTags_.size());
}

bool AvFrameDecoder::toArgb(const AVFrame* f, int width, int height, std::vector<uint32_t>& argb) {
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

// DivX-style packed B-VOPs (a B-VOP in the chunk of the reference picture before it, a not-coded VOP in
// its own slot later) are unpacked before decoding, so that every chunk codes the picture of its own
// slot in coding order. Streams without packing pass unchanged.
// Without the filter the decoder handles packing itself, but gives the packed B-picture the tag of the
// chunk after the one that holds it.
void openUnpacking(AvObjects& av) {
    const AVBitStreamFilter* filter = av_bsf_get_by_name("mpeg4_unpack_bframes");
    if (filter == nullptr || av_bsf_alloc(filter, &av.unpack) < 0)
        return;
    av.unpack->time_base_in = AVRational{1, 1};
    if (avcodec_parameters_from_context(av.unpack->par_in, av.ctx) < 0 || av_bsf_init(av.unpack) < 0)
        av_bsf_free(&av.unpack);
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
    auto av = std::make_unique<AvObjects>();
    av->ctx = avcodec_alloc_context3(codec);
    if (av->ctx == nullptr)
        return nullptr;
    AVCodecContext* ctx = av->ctx;
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
    if (id == AV_CODEC_ID_MPEG4)
        openUnpacking(*av);
    av->frame = av_frame_alloc();
    av->packet = av_packet_alloc();
    av->unpacked = av_packet_alloc();
    if (av->frame == nullptr || av->packet == nullptr || av->unpacked == nullptr ||
        avcodec_open2(ctx, codec, nullptr) < 0)
        return nullptr;
    return std::make_unique<AvFrameDecoder>(std::move(av));
}

} // namespace platform::vfw
