#include "outside/mpeg2avi/mpeg2_source.h"

#include "outside/mpeg2avi/geometry.h"
#include "platform/core/processors.h"
#include "platform/dshow/filters/ps_parser.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

#include <algorithm>

namespace mpeg2avi {

namespace fs = platform::dshow::filters;

namespace {
constexpr int64_t kSectorSize = 2048;
constexpr int64_t kPtsRate = 90000;
// No coded MPEG-2 picture is larger than the biggest video buffer of the main profile's levels
// (9,781,248 bits at the high level); what the splitter gathers beyond this is damaged data that never
// reached a picture boundary, and the decoder is not given it.
constexpr int kMaxPictureBytes = 4 * 1024 * 1024;
} // namespace

Mpeg2Source::Mpeg2Source(fs::ByteSource& input) : input_(input) {}

Mpeg2Source::~Mpeg2Source() {
    for (auto& [frame, time] : ready_)
        av_frame_free(&frame);
    av_frame_free(&decoded_);
    av_packet_free(&packet_);
    if (splitter_)
        av_parser_close(splitter_);
    avcodec_free_context(&context_);
}

std::unique_ptr<Mpeg2Source> Mpeg2Source::open(fs::ByteSource& input, const DecoderSettings& settings,
                                               std::string& error) {
    std::unique_ptr<Mpeg2Source> source(new Mpeg2Source(input));
    if (!source->start(settings, error))
        return nullptr;
    return source;
}

bool Mpeg2Source::start(const DecoderSettings& settings, std::string& error) {
    parser_ = std::make_unique<fs::ProgramStreamParser>(input_);
    if (!parser_->open()) {
        error = "The VOB files hold no MPEG program stream (" + parser_->error() + ").";
        return false;
    }
    const auto& outputs = parser_->outputs();
    bool found = false;
    for (size_t i = 0; i < outputs.size() && !found; ++i)
        if (outputs[i].format.kind == fs::StreamKind::Video) {
            videoOutput_ = i;
            found = true;
        }
    if (!found) {
        error = "The VOB files hold no video stream.";
        return false;
    }
    length_ = parser_->length().value_or(0);
    if (settings.startSector)
        parser_->seek(*settings.startSector * kSectorSize);

    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG2VIDEO);
    context_ = codec ? avcodec_alloc_context3(codec) : nullptr;
    splitter_ = av_parser_init(AV_CODEC_ID_MPEG2VIDEO);
    packet_ = av_packet_alloc();
    decoded_ = av_frame_alloc();
    if (!context_ || !splitter_ || !packet_ || !decoded_) {
        error = "The MPEG-2 decoder cannot be started.";
        return false;
    }
    // A quarter of the processors this process may keep busy (its affinity mask and its control
    // group's CPU quota), not the machine's count: the filters and the compressor work beside the
    // decoder on the rest, and more decoding threads only wait on them (waking them costs more than
    // they decode).
    context_->thread_count = std::max(1, platform::core::usableProcessors() / 4);
    context_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    context_->flags |= AV_CODEC_FLAG_OUTPUT_CORRUPT; // damaged pictures are counted and dropped here
    if (settings.idct)
        av_opt_set(context_, "idct", idctName(*settings.idct), 0);
    if (avcodec_open2(context_, codec, nullptr) < 0) {
        error = "The MPEG-2 decoder cannot be started.";
        return false;
    }
    // The first picture tells the size and the rate.
    while (ready_.empty()) {
        if (receiveFrames())
            continue;
        if (decoderEnded_ || !feedPacket()) {
            error = "The video of the VOB files cannot be decoded: no picture was found.";
            return false;
        }
    }
    const AVFrame* first = ready_.front().first;
    width_ = first->width;
    height_ = first->height;
    pixelFormat_ = first->format;
    if (first->sample_aspect_ratio.num > 0 && first->sample_aspect_ratio.den > 0) {
        sarNum_ = first->sample_aspect_ratio.num;
        sarDen_ = first->sample_aspect_ratio.den;
    }
    return true;
}

void Mpeg2Source::sendToDecoder(AVPacket* packet) {
    const int sent = avcodec_send_packet(context_, packet);
    // A picture the decoder refuses is lost; the time stamps of the pictures after it keep its time.
    if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF && packet) {
        ++damaged_;
        awaitingIntra_ = true;
    }
}

bool Mpeg2Source::sendPicture(const uint8_t* data, int size) {
    if (size > kMaxPictureBytes) {
        ++damaged_;
        awaitingIntra_ = true;
        return true;
    }
    if (av_new_packet(packet_, size) < 0)
        return false;
    std::copy_n(data, size, packet_->data);
    packet_->pts = splitter_->pts;
    sendToDecoder(packet_);
    av_packet_unref(packet_);
    return true;
}

bool Mpeg2Source::feedPacket() {
    if (flushed_)
        return false;
    if (inputEnded_) {
        // The picture the splitter still holds, then the decoder's delayed pictures.
        uint8_t* data = nullptr;
        int size = 0;
        av_parser_parse2(splitter_, context_, &data, &size, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (size > 0)
            sendPicture(data, size);
        sendToDecoder(nullptr);
        flushed_ = true;
        return true;
    }
    fs::ParsedPacket parsed;
    for (;;) {
        const fs::ParseStatus status = parser_->next(parsed);
        if (status == fs::ParseStatus::Pending)
            continue;
        if (status != fs::ParseStatus::Packet) {
            inputEnded_ = true;
            return true;
        }
        if (parsed.output == videoOutput_)
            break;
    }
    position_ = parsed.position;
    const uint8_t* in = parsed.payload.data();
    int left = static_cast<int>(parsed.payload.size());
    // The packet's time stamp goes in with its first bytes only: the splitter gives it to the picture
    // that begins in this packet.
    int64_t stamp = parsed.pts ? *parsed.pts : AV_NOPTS_VALUE;
    while (left > 0) {
        uint8_t* data = nullptr;
        int size = 0;
        const int used =
            av_parser_parse2(splitter_, context_, &data, &size, in, left, stamp, AV_NOPTS_VALUE, 0);
        stamp = AV_NOPTS_VALUE;
        if (used <= 0 && size == 0)
            break;
        in += used;
        left -= used;
        if (size > 0) {
            if (!sendPicture(data, size))
                return false;
            receiveFrames();
        }
    }
    return true;
}

bool Mpeg2Source::receiveFrames() {
    if (decoderEnded_)
        return false;
    bool any = false;
    for (;;) {
        const int got = avcodec_receive_frame(context_, decoded_);
        if (got == AVERROR_EOF) {
            decoderEnded_ = true;
            return any;
        }
        if (got < 0)
            return any;
        if (rate_.num <= 0)
            learnRate();
        // A frame lasts two fields; a repeated first field adds one, and a progressive sequence's
        // repeat of two or three frames adds two or four.
        const int64_t period = frameTime(1, rate_);
        const std::optional<int64_t> stamp =
            decoded_->pts != AV_NOPTS_VALUE ? std::optional<int64_t>(decoded_->pts) : std::nullopt;
        if (decoded_->decode_error_flags != 0 || (decoded_->flags & AV_FRAME_FLAG_CORRUPT)) {
            // A damaged reference spoils the pictures predicted from it.
            drop(decoded_->pict_type != AV_PICTURE_TYPE_B);
            continue;
        }
        const std::optional<int64_t> time = clock_.place(stamp, period * (2 + decoded_->repeat_pict) / 2);
        if (!time || clock_.afterGap()) {
            // A picture out of place, or the first after lost data: the pictures from here to the next
            // intra picture may refer to what was lost. The time they cover keeps the last good picture.
            if (!time || decoded_->pict_type != AV_PICTURE_TYPE_I) {
                drop(true);
                continue;
            }
        }
        if (awaitingIntra_ && decoded_->pict_type != AV_PICTURE_TYPE_I) {
            drop(true);
            continue;
        }
        awaitingIntra_ = false;
        AVFrame* kept = av_frame_alloc();
        av_frame_move_ref(kept, decoded_);
        ready_.emplace_back(kept, *time);
        any = true;
    }
}

void Mpeg2Source::drop(bool untilIntra) {
    ++damaged_;
    awaitingIntra_ = awaitingIntra_ || untilIntra;
    av_frame_unref(decoded_);
}

void Mpeg2Source::learnRate() {
    rate_ = {25, 1};
    if (context_->framerate.num > 0 && context_->framerate.den > 0)
        rate_ = {context_->framerate.num, context_->framerate.den};
    if (rate_ == FrameRate{2997, 100})
        rate_ = {30000, 1001};
}

bool Mpeg2Source::next(AVFrame* frame, int64_t& time) {
    while (ready_.empty()) {
        if (receiveFrames())
            continue;
        if (decoderEnded_ || !feedPacket())
            return false;
    }
    auto [kept, at] = ready_.front();
    ready_.pop_front();
    av_frame_move_ref(frame, kept);
    av_frame_free(&kept);
    time = at;
    return true;
}

int64_t Mpeg2Source::estimatedFrames() {
    const auto duration = parser_->durationPts();
    if (!duration || rate_.num <= 0)
        return 0;
    return *duration * rate_.num / (kPtsRate * rate_.den) + 1;
}

double Mpeg2Source::fraction() const {
    return length_ > 0 ? static_cast<double>(position_) / static_cast<double>(length_) : 0.0;
}

} // namespace mpeg2avi
