#include "platform/dshow/filters/decode_core.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform::dshow::filters {

namespace {

struct CodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct ParserFree {
    void operator()(AVCodecParserContext* parser) const { av_parser_close(parser); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

std::optional<SampleType> sampleTypeOf(int format) {
    switch (av_get_packed_sample_fmt(static_cast<AVSampleFormat>(format))) {
    case AV_SAMPLE_FMT_S16:
        return SampleType::S16;
    case AV_SAMPLE_FMT_S32:
        return SampleType::S32;
    case AV_SAMPLE_FMT_FLT:
        return SampleType::Float;
    case AV_SAMPLE_FMT_DBL:
        return SampleType::Double;
    default:
        return std::nullopt;
    }
}

// A block that points into a decoded frame; nothing for layouts the converter does not take.
std::optional<PcmBlock> blockOf(const AVFrame& frame) {
    const auto type = sampleTypeOf(frame.format);
    const int channels = frame.ch_layout.nb_channels;
    if (!type || channels < 1 || channels > kMaxBlockChannels || frame.nb_samples <= 0)
        return std::nullopt;
    PcmBlock block;
    block.type = *type;
    block.planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame.format)) != 0;
    block.channels = channels;
    block.channelMask = frame.ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? frame.ch_layout.u.mask : 0;
    block.sampleRate = frame.sample_rate;
    block.frames = frame.nb_samples;
    const int planes = block.planar ? channels : 1;
    for (int i = 0; i < planes; ++i)
        block.planes[static_cast<size_t>(i)] = frame.extended_data[i];
    return block;
}

class FfmpegDecodeCore : public DecodeCore {
public:
    bool open(const StreamFormat& format, std::string& error);
    void decode(std::span<const uint8_t> bytes, const PcmBlockSink& sink) override;
    void drain(const PcmBlockSink& sink) override;
    void reset() override;
    int64_t errors() const override { return errors_; }

private:
    bool openCodec();
    void decodeFrame(std::span<const uint8_t> frame, const PcmBlockSink& sink);
    void receiveFrames(const PcmBlockSink& sink);

    std::unique_ptr<AVCodecContext, CodecContextFree> context_;
    std::unique_ptr<AVCodecParserContext, ParserFree> parser_; // none for LPCM: every payload is a packet
    std::unique_ptr<AVPacket, PacketFree> packet_{av_packet_alloc()};
    std::unique_ptr<AVFrame, FrameFree> frame_{av_frame_alloc()};
    std::vector<uint8_t> lpcmHeader_; // put before each LPCM payload for FFmpeg's DVD PCM decoder
    std::vector<uint8_t> staging_;    // input copied with the padding FFmpeg's parsers may read
    AVCodecID codecId_ = AV_CODEC_ID_NONE;
    bool framed_ = false; // AC3 and MPEG audio go through a parser that finds the frames first
    int64_t errors_ = 0;
};

bool FfmpegDecodeCore::open(const StreamFormat& format, std::string& error) {
    switch (format.kind) {
    case StreamKind::Ac3:
        codecId_ = AV_CODEC_ID_AC3;
        break;
    case StreamKind::MpegAudio:
        codecId_ = AV_CODEC_ID_MP2;
        break;
    case StreamKind::Lpcm: {
        codecId_ = AV_CODEC_ID_PCM_DVD;
        auto header = makeLpcmHeader(format.lpcm);
        if (!header) {
            error = "The LPCM layout is not supported.";
            return false;
        }
        lpcmHeader_ = *header;
        break;
    }
    case StreamKind::Video:
        error = "The stream is not audio.";
        return false;
    }
    framed_ = codecId_ != AV_CODEC_ID_PCM_DVD;
    if (!packet_ || !frame_ || !avcodec_find_decoder(codecId_)) {
        error = "The audio decoder is not available.";
        return false;
    }
    if (!openCodec()) {
        error = "The audio decoder could not be opened.";
        return false;
    }
    return true;
}

// A fresh decoder (and parser): a flush alone does not clear every decoder's overlap state.
bool FfmpegDecodeCore::openCodec() {
    parser_.reset();
    context_.reset(avcodec_alloc_context3(avcodec_find_decoder(codecId_)));
    if (!context_)
        return false;
    if (framed_) {
        parser_.reset(av_parser_init(codecId_));
        if (!parser_)
            return false;
    }
    AVDictionary* options = nullptr;
    if (codecId_ == AV_CODEC_ID_AC3)
        av_dict_set(&options, "downmix", "stereo", 0); // the decoder's own downmix, with the stream's levels
    const int opened = avcodec_open2(context_.get(), context_->codec, &options);
    av_dict_free(&options);
    if (opened < 0) {
        context_.reset();
        return false;
    }
    return true;
}

void FfmpegDecodeCore::decode(std::span<const uint8_t> bytes, const PcmBlockSink& sink) {
    if (bytes.empty() || !context_ || (framed_ && !parser_))
        return;
    const size_t header = framed_ ? 0 : lpcmHeader_.size();
    const size_t size = header + bytes.size();
    staging_.resize(size + AV_INPUT_BUFFER_PADDING_SIZE);
    std::copy(lpcmHeader_.begin(), lpcmHeader_.begin() + static_cast<std::ptrdiff_t>(header),
              staging_.begin());
    std::copy(bytes.begin(), bytes.end(), staging_.begin() + static_cast<std::ptrdiff_t>(header));
    std::fill(staging_.begin() + static_cast<std::ptrdiff_t>(size), staging_.end(), 0);
    if (!framed_) {
        decodeFrame({staging_.data(), size}, sink);
        return;
    }
    size_t done = 0;
    while (done < size) {
        uint8_t* frame = nullptr;
        int frameSize = 0;
        const int used =
            av_parser_parse2(parser_.get(), context_.get(), &frame, &frameSize, staging_.data() + done,
                             static_cast<int>(size - done), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0) {
            ++errors_;
            return;
        }
        done += static_cast<size_t>(used);
        if (frameSize > 0)
            decodeFrame({frame, static_cast<size_t>(frameSize)}, sink);
        if (used == 0 && frameSize == 0)
            return;
    }
}

void FfmpegDecodeCore::decodeFrame(std::span<const uint8_t> frame, const PcmBlockSink& sink) {
    if (av_new_packet(packet_.get(), static_cast<int>(frame.size())) < 0) {
        ++errors_;
        return;
    }
    std::memcpy(packet_->data, frame.data(), frame.size());
    const int sent = avcodec_send_packet(context_.get(), packet_.get());
    av_packet_unref(packet_.get());
    if (sent < 0 && sent != AVERROR(EAGAIN))
        ++errors_;
    receiveFrames(sink);
}

void FfmpegDecodeCore::receiveFrames(const PcmBlockSink& sink) {
    for (;;) {
        const int got = avcodec_receive_frame(context_.get(), frame_.get());
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
            return;
        if (got < 0) {
            ++errors_;
            return;
        }
        if (const auto block = blockOf(*frame_))
            sink(*block);
        else
            ++errors_;
        av_frame_unref(frame_.get());
    }
}

void FfmpegDecodeCore::drain(const PcmBlockSink& sink) {
    if (!context_)
        return;
    if (parser_) {
        uint8_t* frame = nullptr;
        int frameSize = 0;
        av_parser_parse2(parser_.get(), context_.get(), &frame, &frameSize, nullptr, 0, AV_NOPTS_VALUE,
                         AV_NOPTS_VALUE, 0);
        if (frameSize > 0)
            decodeFrame({frame, static_cast<size_t>(frameSize)}, sink);
    }
    if (avcodec_send_packet(context_.get(), nullptr) >= 0)
        receiveFrames(sink);
    reset();
}

void FfmpegDecodeCore::reset() {
    if (!openCodec())
        ++errors_; // nothing more can be decoded
}

} // namespace

std::unique_ptr<DecodeCore> makeDecodeCore(const StreamFormat& format, std::string& error) {
    auto core = std::make_unique<FfmpegDecodeCore>();
    if (!core->open(format, error))
        return nullptr;
    return core;
}

} // namespace platform::dshow::filters
