#include "tests/support/moviegen.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <numbers>
#include <vector>

namespace kes::test {

namespace {

constexpr int kBeepHz = 1000;
constexpr double kBeepAmplitude = 12000.0;

struct Writer {
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    std::string error;

    ~Writer() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        if (format) {
            if (format->pb)
                avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    bool fail(const std::string& why) {
        error = why;
        return false;
    }

    bool flush(AVCodecContext* codec, AVStream* stream, const AVFrame* input) {
        if (avcodec_send_frame(codec, input) < 0)
            return fail("encoder refused a frame");
        for (;;) {
            const int got = avcodec_receive_packet(codec, packet);
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
                return true;
            if (got < 0)
                return fail("encoder failed");
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(format, packet) < 0)
                return fail("muxer refused a packet");
        }
    }
};

bool openVideo(Writer& w, const MovieSpec& spec) {
    const AVCodecID id = spec.video == MovieSpec::Video::Mpeg4 ? AV_CODEC_ID_MPEG4 : AV_CODEC_ID_MSMPEG4V3;
    const AVCodec* codec = avcodec_find_encoder(id);
    if (!codec)
        return w.fail("no video encoder");
    w.videoStream = avformat_new_stream(w.format, nullptr);
    w.video = avcodec_alloc_context3(codec);
    if (!w.videoStream || !w.video)
        return w.fail("out of memory");
    w.video->width = spec.width;
    w.video->height = spec.height;
    w.video->time_base = AVRational{1, spec.fps};
    w.video->framerate = AVRational{spec.fps, 1};
    w.video->pix_fmt = AV_PIX_FMT_YUV420P;
    w.video->gop_size = spec.keyEvery;
    w.video->max_b_frames = spec.video == MovieSpec::Video::Mpeg4 ? spec.bFrames : 0;
    w.video->bit_rate = 400000;
    if (avcodec_open2(w.video, codec, nullptr) < 0)
        return w.fail("video encoder does not open");
    avcodec_parameters_from_context(w.videoStream->codecpar, w.video);
    w.videoStream->time_base = w.video->time_base;
    return true;
}

bool openAudio(Writer& w, const MovieSpec& spec) {
    const AVCodecID id = spec.audio == MovieSpec::Audio::Mp3 ? AV_CODEC_ID_MP3 : AV_CODEC_ID_PCM_S16LE;
    const AVCodec* codec = avcodec_find_encoder(id);
    if (!codec)
        return w.fail("no audio encoder");
    w.audioStream = avformat_new_stream(w.format, nullptr);
    w.audio = avcodec_alloc_context3(codec);
    if (!w.audioStream || !w.audio)
        return w.fail("out of memory");
    w.audio->sample_rate = spec.sampleRate;
    av_channel_layout_default(&w.audio->ch_layout, spec.channels);
    w.audio->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    w.audio->time_base = AVRational{1, spec.sampleRate};
    w.audio->bit_rate = 128000;
    if (avcodec_open2(w.audio, codec, nullptr) < 0)
        return w.fail("audio encoder does not open");
    avcodec_parameters_from_context(w.audioStream->codecpar, w.audio);
    w.audioStream->time_base = w.audio->time_base;
    return true;
}

bool writeVideo(Writer& w, const MovieSpec& spec, int index) {
    AVFrame* f = w.frame;
    av_frame_unref(f);
    f->format = AV_PIX_FMT_YUV420P;
    f->width = spec.width;
    f->height = spec.height;
    if (av_frame_get_buffer(f, 0) < 0)
        return w.fail("no frame buffer");
    const int luma = index == spec.flashFrame ? MovieWhite : MovieGrey;
    for (int y = 0; y < spec.height; ++y)
        std::memset(f->data[0] + y * f->linesize[0], luma, static_cast<size_t>(spec.width));
    for (int plane = 1; plane < 3; ++plane)
        for (int y = 0; y < spec.height / 2; ++y)
            std::memset(f->data[plane] + y * f->linesize[plane], 128, static_cast<size_t>(spec.width / 2));
    f->pts = index;
    f->pict_type = index % spec.keyEvery == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    return w.flush(w.video, w.videoStream, f);
}

// The sound up to the end of frame `upTo`, sample by sample, in the encoder's frame size.
bool writeAudio(Writer& w, const MovieSpec& spec, int64_t& written, int64_t until) {
    const int perFrame = w.audio->frame_size > 0 ? w.audio->frame_size : 1024;
    while (written + perFrame <= until) {
        AVFrame* f = w.frame;
        av_frame_unref(f);
        f->format = w.audio->sample_fmt;
        f->nb_samples = perFrame;
        f->sample_rate = spec.sampleRate;
        av_channel_layout_copy(&f->ch_layout, &w.audio->ch_layout);
        if (av_frame_get_buffer(f, 0) < 0)
            return w.fail("no audio buffer");
        const bool planar = av_sample_fmt_is_planar(w.audio->sample_fmt) != 0;
        const bool isFloat =
            w.audio->sample_fmt == AV_SAMPLE_FMT_FLTP || w.audio->sample_fmt == AV_SAMPLE_FMT_FLT;
        for (int i = 0; i < perFrame; ++i) {
            const double t = static_cast<double>(written + i) / spec.sampleRate;
            double value = 0;
            if (spec.beepAt >= 0 && t >= spec.beepAt && t < spec.beepAt + spec.beepLength)
                value = kBeepAmplitude * std::sin(2 * std::numbers::pi * kBeepHz * t);
            for (int c = 0; c < spec.channels; ++c) {
                const size_t slot =
                    planar ? static_cast<size_t>(i) : static_cast<size_t>(i * spec.channels + c);
                uint8_t* base = f->data[planar ? c : 0];
                if (isFloat)
                    reinterpret_cast<float*>(base)[slot] = static_cast<float>(value / 32768.0);
                else if (w.audio->sample_fmt == AV_SAMPLE_FMT_S32P ||
                         w.audio->sample_fmt == AV_SAMPLE_FMT_S32)
                    reinterpret_cast<int32_t*>(base)[slot] = static_cast<int32_t>(value * 65536.0);
                else
                    reinterpret_cast<int16_t*>(base)[slot] = static_cast<int16_t>(value);
            }
        }
        f->pts = written;
        written += perFrame;
        if (!w.flush(w.audio, w.audioStream, f))
            return false;
    }
    return true;
}

} // namespace

bool writeMovie(const std::string& path, const MovieSpec& spec, std::string* error) {
    Writer w;
    const auto report = [&](bool ok) {
        if (!ok && error)
            *error = w.error;
        return ok;
    };
    if (avformat_alloc_output_context2(&w.format, nullptr, "avi", path.c_str()) < 0 || !w.format)
        return report(w.fail("no avi muxer"));
    w.frame = av_frame_alloc();
    w.packet = av_packet_alloc();
    if (!w.frame || !w.packet || !openVideo(w, spec))
        return report(false);
    if (spec.audio != MovieSpec::Audio::None && !openAudio(w, spec))
        return report(false);
    if (avio_open(&w.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
        return report(w.fail("cannot create the file"));
    if (avformat_write_header(w.format, nullptr) < 0)
        return report(w.fail("header refused"));
    int64_t audioWritten = 0;
    for (int i = 0; i < spec.frames; ++i) {
        if (!writeVideo(w, spec, i))
            return report(false);
        if (w.audio) {
            const int64_t until = static_cast<int64_t>(i + 1) * spec.sampleRate / spec.fps;
            if (!writeAudio(w, spec, audioWritten, until))
                return report(false);
        }
    }
    if (!w.flush(w.video, w.videoStream, nullptr))
        return report(false);
    if (w.audio && !w.flush(w.audio, w.audioStream, nullptr))
        return report(false);
    if (av_write_trailer(w.format) < 0)
        return report(w.fail("trailer refused"));
    return true;
}

bool setVideoFourcc(const std::string& path, const char fourcc[4]) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    std::string head(8192, '\0');
    file.read(head.data(), static_cast<std::streamsize>(head.size()));
    const size_t vids = head.find("vids");
    const size_t strf = head.find("strf", vids);
    if (vids == std::string::npos || strf == std::string::npos)
        return false;
    constexpr size_t handlerAfterType = 4;
    constexpr size_t compressionInFormat = 8 + 16;
    file.clear();
    file.seekp(static_cast<std::streamoff>(vids + handlerAfterType));
    file.write(fourcc, 4);
    file.seekp(static_cast<std::streamoff>(strf + compressionInFormat));
    file.write(fourcc, 4);
    return static_cast<bool>(file);
}

} // namespace kes::test
