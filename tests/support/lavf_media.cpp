#include "tests/support/lavf_media.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <numbers>
#include <unistd.h>

namespace kes::test {

namespace {

constexpr double ToneHz = 440.0;
constexpr double ToneLevel = 0.5;

void setError(std::string* error, const std::string& text) {
    if (error != nullptr)
        *error = text;
}

std::string errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

struct FormatDeleter {
    void operator()(AVFormatContext* fmt) const {
        if (fmt->pb != nullptr && !(fmt->oformat->flags & AVFMT_NOFILE))
            avio_closep(&fmt->pb);
        avformat_free_context(fmt);
    }
};
using OutputPtr = std::unique_ptr<AVFormatContext, FormatDeleter>;

struct CodecDeleter {
    void operator()(AVCodecContext* ctx) const { avcodec_free_context(&ctx); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;

struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

// One encoder feeding one stream of an output file.
struct Track {
    CodecPtr codec;
    AVStream* stream = nullptr;
};

bool openTrack(AVFormatContext* fmt, const AVCodec* codec, Track& track,
               const std::function<void(AVCodecContext*)>& setup, std::string* error) {
    track.codec.reset(avcodec_alloc_context3(codec));
    setup(track.codec.get());
    if (fmt->oformat->flags & AVFMT_GLOBALHEADER)
        track.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int rc = avcodec_open2(track.codec.get(), codec, nullptr);
    if (rc < 0) {
        setError(error, std::string("cannot open encoder ") + codec->name + ": " + errorText(rc));
        return false;
    }
    track.stream = avformat_new_stream(fmt, nullptr);
    avcodec_parameters_from_context(track.stream->codecpar, track.codec.get());
    track.stream->time_base = track.codec->time_base;
    return true;
}

// Sends one frame (null: flush) and writes every packet the encoder gives.
bool encode(AVFormatContext* fmt, Track& track, AVFrame* frame, std::string* error) {
    int rc = avcodec_send_frame(track.codec.get(), frame);
    if (rc < 0) {
        setError(error, "encoding failed: " + errorText(rc));
        return false;
    }
    PacketPtr packet(av_packet_alloc());
    while ((rc = avcodec_receive_packet(track.codec.get(), packet.get())) >= 0) {
        av_packet_rescale_ts(packet.get(), track.codec->time_base, track.stream->time_base);
        packet->stream_index = track.stream->index;
        if ((rc = av_interleaved_write_frame(fmt, packet.get())) < 0) {
            setError(error, "writing failed: " + errorText(rc));
            return false;
        }
    }
    return rc == AVERROR(EAGAIN) || rc == AVERROR_EOF;
}

void fillPicture(AVFrame* frame, int index) {
    for (int y = 0; y < frame->height; ++y)
        for (int x = 0; x < frame->width; ++x)
            frame->data[0][y * frame->linesize[0] + x] = static_cast<uint8_t>(x * 3 + y + index * 5);
    for (int plane = 1; plane < 3; ++plane)
        for (int y = 0; y < frame->height / 2; ++y)
            for (int x = 0; x < frame->width / 2; ++x)
                frame->data[plane][y * frame->linesize[plane] + x] =
                    static_cast<uint8_t>(128 + plane * 20 + index);
}

// Fills an audio frame with the tone from sample 'first' on (any sample format the encoders take).
void fillTone(AVFrame* frame, int64_t first, int sampleRate) {
    const int channels = frame->ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame->format)) != 0;
    const auto packed =
        static_cast<AVSampleFormat>(av_get_packed_sample_fmt(static_cast<AVSampleFormat>(frame->format)));
    for (int i = 0; i < frame->nb_samples; ++i) {
        const double v =
            ToneLevel * std::sin(2 * std::numbers::pi * ToneHz * static_cast<double>(first + i) / sampleRate);
        for (int c = 0; c < channels; ++c) {
            const int plane = planar ? c : 0;
            const int at = planar ? i : i * channels + c;
            if (packed == AV_SAMPLE_FMT_S16)
                reinterpret_cast<int16_t*>(frame->data[plane])[at] =
                    static_cast<int16_t>(std::lround(v * 32767));
            else if (packed == AV_SAMPLE_FMT_S32)
                reinterpret_cast<int32_t*>(frame->data[plane])[at] =
                    static_cast<int32_t>(std::lround(v * 2147483647.0));
            else if (packed == AV_SAMPLE_FMT_FLT)
                reinterpret_cast<float*>(frame->data[plane])[at] = static_cast<float>(v);
        }
    }
}

AVSampleFormat encoderFormat(const AVCodec* codec) {
    if (codec->sample_fmts == nullptr)
        return AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_S16 || *f == AV_SAMPLE_FMT_S16P)
            return *f;
    return codec->sample_fmts[0];
}

bool openAudio(AVFormatContext* fmt, LavfAudio kind, int sampleRate, int channels, int64_t bitRate,
               Track& track, std::string* error) {
    const AVCodec* codec = kind == LavfAudio::Mp3 ? avcodec_find_encoder_by_name("libmp3lame")
                                                  : avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
    if (codec == nullptr) {
        setError(error, "no audio encoder");
        return false;
    }
    return openTrack(
        fmt, codec, track,
        [&](AVCodecContext* c) {
            c->sample_rate = sampleRate;
            av_channel_layout_default(&c->ch_layout, channels);
            c->sample_fmt = encoderFormat(codec);
            c->bit_rate = bitRate;
            c->time_base = AVRational{1, sampleRate};
        },
        error);
}

using AudioFill = std::function<void(AVFrame*, int64_t first, int sampleRate)>;

bool writeAudio(AVFormatContext* fmt, Track& track, int64_t totalSamples, std::string* error,
                const AudioFill& fill = fillTone) {
    FramePtr frame(av_frame_alloc());
    const int fixed = track.codec->frame_size;
    const bool shortLast =
        fixed <= 0 || (track.codec->codec->capabilities &
                       (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE)) != 0;
    const int chunk = fixed > 0 ? fixed : 1024;
    for (int64_t done = 0; done < totalSamples;) {
        const int n = static_cast<int>(std::min<int64_t>(chunk, totalSamples - done));
        av_frame_unref(frame.get());
        frame->nb_samples = shortLast ? n : chunk;
        frame->format = track.codec->sample_fmt;
        av_channel_layout_copy(&frame->ch_layout, &track.codec->ch_layout);
        frame->sample_rate = track.codec->sample_rate;
        if (av_frame_get_buffer(frame.get(), 0) < 0)
            return false;
        av_samples_set_silence(frame->data, 0, frame->nb_samples, frame->ch_layout.nb_channels,
                               static_cast<AVSampleFormat>(frame->format));
        fill(frame.get(), done, track.codec->sample_rate);
        frame->pts = done;
        if (!encode(fmt, track, frame.get(), error))
            return false;
        done += n;
    }
    return true;
}

OutputPtr openOutput(const std::string& path, const char* format, std::string* error) {
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, format, path.c_str()) < 0 || raw == nullptr) {
        setError(error, "no output format");
        return nullptr;
    }
    return OutputPtr(raw);
}

bool startOutput(AVFormatContext* fmt, const std::string& path, std::string* error) {
    int rc = avio_open(&fmt->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (rc < 0 || (rc = avformat_write_header(fmt, nullptr)) < 0) {
        setError(error, "cannot write " + path + ": " + errorText(rc));
        return false;
    }
    return true;
}

// The messages of the libraries during one probe.
std::mutex logMutex;
std::vector<std::string>* logTarget = nullptr;

void collectLog(void* avcl, int level, const char* format, va_list args) {
    if (level > AV_LOG_WARNING)
        return;
    char line[1024];
    int prefix = 1;
    av_log_format_line(avcl, level, format, args, line, sizeof line, &prefix);
    if (logTarget != nullptr)
        logTarget->push_back(line);
}

} // namespace

bool writeLavfAvi(const std::string& path, const LavfAviSpec& spec, std::string* error) {
    OutputPtr fmt = openOutput(path, "avi", error);
    if (!fmt)
        return false;
    Track video;
    const AVCodec* mpeg4 = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    if (mpeg4 == nullptr || !openTrack(
                                fmt.get(), mpeg4, video,
                                [&](AVCodecContext* c) {
                                    c->width = spec.width;
                                    c->height = spec.height;
                                    c->pix_fmt = AV_PIX_FMT_YUV420P;
                                    c->time_base = AVRational{1, spec.fps};
                                    c->framerate = AVRational{spec.fps, 1};
                                    c->gop_size = spec.gop;
                                    c->max_b_frames = spec.bFrames;
                                    c->bit_rate = 200000;
                                    c->codec_tag = MKTAG('D', 'X', '5', '0');
                                },
                                error))
        return false;
    Track audio;
    if (spec.audio != LavfAudio::None &&
        !openAudio(fmt.get(), spec.audio, spec.sampleRate, spec.channels, spec.audioBitRate, audio, error))
        return false;
    if (!startOutput(fmt.get(), path, error))
        return false;
    FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = spec.width;
    frame->height = spec.height;
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        return false;
    for (int i = 0; i < spec.frames; ++i) {
        if (av_frame_make_writable(frame.get()) < 0)
            return false;
        fillPicture(frame.get(), i);
        frame->pts = i;
        if (!encode(fmt.get(), video, frame.get(), error))
            return false;
    }
    if (!encode(fmt.get(), video, nullptr, error))
        return false;
    if (spec.audio != LavfAudio::None) {
        const double seconds =
            spec.audioSeconds >= 0 ? spec.audioSeconds : static_cast<double>(spec.frames) / spec.fps;
        if (!writeAudio(fmt.get(), audio, std::llround(seconds * spec.sampleRate), error) ||
            !encode(fmt.get(), audio, nullptr, error))
            return false;
    }
    return av_write_trailer(fmt.get()) >= 0;
}

namespace {

// quality below 0: constant bit rate, no header frame; else LAME's VBR quality with its Xing frame.
bool writeMp3File(const std::string& path, double seconds, int sampleRate, int channels, int64_t bitRate,
                  int quality, std::string* error) {
    OutputPtr fmt = openOutput(path, "mp3", error);
    if (!fmt)
        return false;
    av_opt_set_int(fmt->priv_data, "id3v2_version", 0, 0);
    av_opt_set_int(fmt->priv_data, "write_xing", quality >= 0 ? 1 : 0, 0);
    Track audio;
    const AVCodec* codec = avcodec_find_encoder_by_name("libmp3lame");
    if (quality < 0) {
        if (!openAudio(fmt.get(), LavfAudio::Mp3, sampleRate, channels, bitRate, audio, error))
            return false;
    } else if (codec == nullptr || !openTrack(
                                       fmt.get(), codec, audio,
                                       [&](AVCodecContext* c) {
                                           c->sample_rate = sampleRate;
                                           av_channel_layout_default(&c->ch_layout, channels);
                                           c->sample_fmt = encoderFormat(codec);
                                           c->flags |= AV_CODEC_FLAG_QSCALE;
                                           c->global_quality = quality * FF_QP2LAMBDA;
                                           c->time_base = AVRational{1, sampleRate};
                                       },
                                       error)) {
        return false;
    }
    if (!startOutput(fmt.get(), path, error))
        return false;
    if (!writeAudio(fmt.get(), audio, std::llround(seconds * sampleRate), error) ||
        !encode(fmt.get(), audio, nullptr, error))
        return false;
    return av_write_trailer(fmt.get()) >= 0;
}

} // namespace

bool writeLavfMp3(const std::string& path, double seconds, int sampleRate, int channels, int64_t bitRate,
                  std::string* error) {
    return writeMp3File(path, seconds, sampleRate, channels, bitRate, -1, error);
}

bool writeLavfVbrMp3(const std::string& path, double seconds, int sampleRate, int channels, int quality,
                     std::string* error) {
    return writeMp3File(path, seconds, sampleRate, channels, 0, quality, error);
}

bool writeLavfWav(const std::string& path, LavfPcm format, int sampleRate, int channels,
                  const std::vector<double>& samples, std::string* error, const std::string& title) {
    OutputPtr fmt = openOutput(path, "wav", error);
    if (!fmt)
        return false;
    // Bit-exact: no "LIST" chunk of the writer's name before the data; a title still gets one.
    fmt->flags |= AVFMT_FLAG_BITEXACT;
    if (!title.empty())
        av_dict_set(&fmt->metadata, "title", title.c_str(), 0);
    AVCodecID id = AV_CODEC_ID_PCM_S16LE;
    int bits = 16;
    switch (format) {
    case LavfPcm::U8:
        id = AV_CODEC_ID_PCM_U8;
        bits = 8;
        break;
    case LavfPcm::S16:
        break;
    case LavfPcm::S24:
        id = AV_CODEC_ID_PCM_S24LE;
        bits = 24;
        break;
    case LavfPcm::S32:
        id = AV_CODEC_ID_PCM_S32LE;
        bits = 32;
        break;
    case LavfPcm::F32:
        id = AV_CODEC_ID_PCM_F32LE;
        bits = 32;
        break;
    }
    AVStream* stream = avformat_new_stream(fmt.get(), nullptr);
    stream->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    stream->codecpar->codec_id = id;
    stream->codecpar->sample_rate = sampleRate;
    av_channel_layout_default(&stream->codecpar->ch_layout, channels);
    stream->codecpar->bits_per_coded_sample = bits;
    stream->codecpar->block_align = bits / 8 * channels;
    stream->codecpar->bit_rate = static_cast<int64_t>(bits) * channels * sampleRate;
    stream->time_base = AVRational{1, sampleRate};
    if (!startOutput(fmt.get(), path, error))
        return false;
    std::vector<uint8_t> bytes;
    for (double s : samples) {
        const double v = std::clamp(s, -1.0, 1.0);
        auto put = [&](int64_t value, int count) {
            for (int i = 0; i < count; ++i)
                bytes.push_back(static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i)));
        };
        switch (format) {
        case LavfPcm::U8:
            put(std::clamp<int64_t>(std::lround(v * 128) + 128, 0, 255), 1);
            break;
        case LavfPcm::S16:
            put(std::clamp<int64_t>(std::lround(v * 32768), -32768, 32767), 2);
            break;
        case LavfPcm::S24:
            put(std::clamp<int64_t>(std::lround(v * 8388608), -8388608, 8388607), 3);
            break;
        case LavfPcm::S32:
            put(std::clamp<int64_t>(std::llround(v * 2147483648.0), INT32_MIN, INT32_MAX), 4);
            break;
        case LavfPcm::F32: {
            const float f = static_cast<float>(v);
            uint32_t raw = 0;
            std::memcpy(&raw, &f, sizeof raw);
            put(raw, 4);
            break;
        }
        }
    }
    PacketPtr packet(av_packet_alloc());
    if (av_new_packet(packet.get(), static_cast<int>(bytes.size())) < 0)
        return false;
    std::copy(bytes.begin(), bytes.end(), packet->data);
    packet->pts = packet->dts = 0;
    packet->duration = static_cast<int64_t>(samples.size()) / std::max(1, channels);
    packet->stream_index = 0;
    if (av_interleaved_write_frame(fmt.get(), packet.get()) < 0)
        return false;
    return av_write_trailer(fmt.get()) >= 0;
}

bool writeLavfLpcmVob(const std::string& path, double seconds, int sampleRate, int channels, int bits,
                      std::string* error) {
    OutputPtr fmt = openOutput(path, "vob", error);
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PCM_DVD);
    if (!fmt || codec == nullptr)
        return false;
    Track audio;
    if (!openTrack(
            fmt.get(), codec, audio,
            [&](AVCodecContext* c) {
                c->sample_rate = sampleRate;
                av_channel_layout_default(&c->ch_layout, channels);
                c->sample_fmt = bits == 16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_S32;
                c->time_base = AVRational{1, sampleRate};
            },
            error))
        return false;
    if (!startOutput(fmt.get(), path, error))
        return false;
    // A rising pitch, and each channel at another level: no stretch of samples repeats another.
    const AudioFill sweep = [](AVFrame* frame, int64_t first, int rate) {
        const int count = frame->ch_layout.nb_channels;
        for (int i = 0; i < frame->nb_samples; ++i) {
            const double t = static_cast<double>(first + i) / rate;
            const double v = std::sin(2 * std::numbers::pi * (200 * t + 150 * t * t));
            for (int c = 0; c < count; ++c) {
                const double level = ToneLevel / (1 + c);
                if (frame->format == AV_SAMPLE_FMT_S16)
                    reinterpret_cast<int16_t*>(frame->data[0])[i * count + c] =
                        static_cast<int16_t>(std::lround(v * level * 32767));
                else
                    reinterpret_cast<int32_t*>(frame->data[0])[i * count + c] =
                        static_cast<int32_t>(std::lround(v * level * 8388607)) * 256;
            }
        }
    };
    if (!writeAudio(fmt.get(), audio, std::llround(seconds * sampleRate), error, sweep) ||
        !encode(fmt.get(), audio, nullptr, error))
        return false;
    return av_write_trailer(fmt.get()) >= 0;
}

const LavfStream* LavfProbe::first(const std::string& type) const {
    for (const LavfStream& s : streams)
        if (s.type == type)
            return &s;
    return nullptr;
}

namespace {

// Appends a decoded audio frame as interleaved doubles.
void keepSamples(const AVFrame* frame, std::vector<double>& out) {
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);
    const int channels = frame->ch_layout.nb_channels;
    for (int i = 0; i < frame->nb_samples; ++i)
        for (int c = 0; c < channels; ++c) {
            const uint8_t* plane = frame->data[planar ? c : 0];
            const int at = planar ? i : i * channels + c;
            double v = 0;
            switch (packed) {
            case AV_SAMPLE_FMT_U8:
                v = (plane[at] - 128) / 128.0;
                break;
            case AV_SAMPLE_FMT_S16:
                v = reinterpret_cast<const int16_t*>(plane)[at] / 32768.0;
                break;
            case AV_SAMPLE_FMT_S32:
                v = reinterpret_cast<const int32_t*>(plane)[at] / 2147483648.0;
                break;
            case AV_SAMPLE_FMT_FLT:
                v = reinterpret_cast<const float*>(plane)[at];
                break;
            case AV_SAMPLE_FMT_DBL:
                v = reinterpret_cast<const double*>(plane)[at];
                break;
            default:
                break;
            }
            out.push_back(v);
        }
}

} // namespace

LavfProbe probeLavf(const std::string& path, bool keepPcm) {
    LavfProbe probe;
    std::lock_guard<std::mutex> lock(logMutex);
    logTarget = &probe.warnings;
    av_log_set_callback(collectLog);
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        av_log_set_callback(av_log_default_callback);
        logTarget = nullptr;
        return probe;
    }
    probe.opened = avformat_find_stream_info(fmt, nullptr) >= 0;
    probe.format = fmt->iformat->name;
    std::vector<CodecPtr> decoders(fmt->nb_streams);
    probe.streams.resize(fmt->nb_streams);
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVCodecParameters* par = fmt->streams[i]->codecpar;
        LavfStream& s = probe.streams[i];
        s.type = par->codec_type == AVMEDIA_TYPE_VIDEO   ? "video"
                 : par->codec_type == AVMEDIA_TYPE_AUDIO ? "audio"
                                                         : "other";
        s.codec = avcodec_get_name(par->codec_id);
        s.sampleRate = par->sample_rate;
        s.channels = par->ch_layout.nb_channels;
        s.bitsPerSample = par->bits_per_coded_sample;
        s.width = par->width;
        s.height = par->height;
        s.aspectNum = fmt->streams[i]->sample_aspect_ratio.num;
        s.aspectDen = fmt->streams[i]->sample_aspect_ratio.den;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        if (codec == nullptr)
            continue;
        decoders[i].reset(avcodec_alloc_context3(codec));
        avcodec_parameters_to_context(decoders[i].get(), par);
        if (avcodec_open2(decoders[i].get(), codec, nullptr) < 0)
            decoders[i].reset();
    }
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    auto drain = [&](unsigned index) {
        LavfStream& s = probe.streams[index];
        while (avcodec_receive_frame(decoders[index].get(), frame.get()) >= 0) {
            if (s.type == "video")
                ++s.frames;
            else {
                s.samples += frame->nb_samples;
                if (keepPcm)
                    keepSamples(frame.get(), s.pcm);
            }
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(fmt, packet.get()) >= 0) {
        const auto index = static_cast<unsigned>(packet->stream_index);
        if (index < probe.streams.size()) {
            LavfStream& s = probe.streams[index];
            if (s.packets++ == 0 && packet->pts != AV_NOPTS_VALUE)
                s.startSeconds = static_cast<double>(packet->pts) * av_q2d(fmt->streams[index]->time_base);
            if (decoders[index] && avcodec_send_packet(decoders[index].get(), packet.get()) >= 0)
                drain(index);
        }
        av_packet_unref(packet.get());
    }
    for (unsigned i = 0; i < decoders.size(); ++i) {
        if (!decoders[i])
            continue;
        avcodec_send_packet(decoders[i].get(), nullptr);
        drain(i);
        LavfStream& s = probe.streams[i];
        if (s.type == "audio" && s.sampleRate > 0)
            s.seconds = static_cast<double>(s.samples) / s.sampleRate;
        else if (s.type == "video") {
            const AVRational rate = fmt->streams[i]->avg_frame_rate.num > 0 ? fmt->streams[i]->avg_frame_rate
                                                                            : fmt->streams[i]->r_frame_rate;
            if (rate.num > 0)
                s.seconds = static_cast<double>(s.frames) * rate.den / rate.num;
        }
    }
    avformat_close_input(&fmt);
    av_log_set_callback(av_log_default_callback);
    logTarget = nullptr;
    return probe;
}

namespace {

uint32_t rgbOf(int y, int u, int v) {
    const double c = 1.164 * (y - 16);
    const double r = c + 1.596 * (v - 128);
    const double g = c - 0.392 * (u - 128) - 0.813 * (v - 128);
    const double b = c + 2.017 * (u - 128);
    auto clip = [](double x) { return static_cast<uint32_t>(std::lround(std::clamp(x, 0.0, 255.0))); };
    return clip(r) << 16 | clip(g) << 8 | clip(b);
}

std::vector<uint32_t> rgbPicture(const AVFrame* f) {
    std::vector<uint32_t> out;
    if (f->format != AV_PIX_FMT_YUV420P)
        return out;
    for (int y = 0; y < f->height; ++y)
        for (int x = 0; x < f->width; ++x)
            out.push_back(rgbOf(f->data[0][y * f->linesize[0] + x],
                                f->data[1][y / 2 * f->linesize[1] + x / 2],
                                f->data[2][y / 2 * f->linesize[2] + x / 2]));
    return out;
}

} // namespace

LavfVideo readLavfVideo(const std::string& path) {
    LavfVideo video;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0)
        return video;
    const int index = avformat_find_stream_info(fmt, nullptr) >= 0
                          ? av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0)
                          : -1;
    const AVCodec* codec =
        index >= 0 ? avcodec_find_decoder(fmt->streams[index]->codecpar->codec_id) : nullptr;
    CodecPtr decoder(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
    if (!decoder || avcodec_parameters_to_context(decoder.get(), fmt->streams[index]->codecpar) < 0 ||
        avcodec_open2(decoder.get(), codec, nullptr) < 0) {
        avformat_close_input(&fmt);
        return video;
    }
    video.width = decoder->width;
    video.height = decoder->height;
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    auto drain = [&] {
        while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
            video.pictures.push_back(rgbPicture(frame.get()));
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(fmt, packet.get()) >= 0) {
        if (packet->stream_index == index) {
            video.packets.push_back(
                {std::string(reinterpret_cast<const char*>(packet->data), static_cast<size_t>(packet->size)),
                 (packet->flags & AV_PKT_FLAG_KEY) != 0});
            if (avcodec_send_packet(decoder.get(), packet.get()) >= 0)
                drain();
        }
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(decoder.get(), nullptr);
    drain();
    avformat_close_input(&fmt);
    return video;
}

namespace {

// Writes through to a file but leaves every all-zero block a hole, so a file of large blank frames
// costs the disk next to nothing.
struct SparseFile {
    int fd = -1;
    int64_t position = 0;
    int64_t size = 0;
};

// FFmpeg 5 hands the bytes over as non-const.
int sparseWrite(void* opaque, uint8_t* data, int length) {
    auto* file = static_cast<SparseFile*>(opaque);
    // Only appended blanks become holes: a rewrite of earlier bytes is always written.
    const bool blank =
        file->position >= file->size && std::all_of(data, data + length, [](uint8_t b) { return b == 0; });
    if (!blank && ::pwrite(file->fd, data, static_cast<size_t>(length), file->position) != length)
        return AVERROR(EIO);
    file->position += length;
    if (file->position > file->size) {
        file->size = file->position;
        if (blank && ::ftruncate(file->fd, file->size) != 0)
            return AVERROR(EIO);
    }
    return length;
}

int64_t sparseSeek(void* opaque, int64_t offset, int whence) {
    auto* file = static_cast<SparseFile*>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return file->size;
    case SEEK_SET:
        file->position = offset;
        break;
    case SEEK_CUR:
        file->position += offset;
        break;
    case SEEK_END:
        file->position = file->size + offset;
        break;
    default:
        return -1;
    }
    return file->position;
}

} // namespace

bool writeLavfLargeAvi(const std::string& path, int frames, int frameBytes, std::string* error) {
    OutputPtr fmt = openOutput(path, "avi", error);
    if (!fmt)
        return false;
    AVStream* stream = avformat_new_stream(fmt.get(), nullptr);
    stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    stream->codecpar->codec_id = AV_CODEC_ID_MPEG4;
    stream->codecpar->width = 64;
    stream->codecpar->height = 48;
    stream->time_base = AVRational{1, 25};
    SparseFile file;
    file.fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file.fd < 0) {
        setError(error, "cannot create " + path);
        return false;
    }
    constexpr int BufferSize = 1 << 16;
    auto* buffer = static_cast<uint8_t*>(av_malloc(BufferSize));
    fmt->pb = avio_alloc_context(buffer, BufferSize, 1, &file, nullptr, sparseWrite, sparseSeek);
    fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
    bool ok = fmt->pb != nullptr && avformat_write_header(fmt.get(), nullptr) >= 0;
    PacketPtr packet(av_packet_alloc());
    for (int i = 0; ok && i < frames; ++i) {
        ok = av_new_packet(packet.get(), frameBytes) >= 0;
        if (!ok)
            break;
        std::fill(packet->data, packet->data + frameBytes, 0);
        packet->data[0] = static_cast<uint8_t>(1 + i % 250); // no frame is all holes
        packet->pts = packet->dts = i;
        packet->flags = AV_PKT_FLAG_KEY;
        ok = av_write_frame(fmt.get(), packet.get()) >= 0;
        av_packet_unref(packet.get());
    }
    ok = ok && av_write_trailer(fmt.get()) >= 0;
    if (fmt->pb != nullptr) {
        avio_flush(fmt->pb);
        av_freep(&fmt->pb->buffer);
        avio_context_free(&fmt->pb);
    }
    ok = ::close(file.fd) == 0 && ok;
    if (!ok)
        setError(error, "cannot write " + path);
    return ok;
}

bool copyLavfVideo(const std::string& source, const std::string& destination, int firstPacket,
                   std::string* error) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, source.c_str(), nullptr, nullptr) < 0) {
        setError(error, "cannot open " + source);
        return false;
    }
    const std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> in(
        raw, [](AVFormatContext* f) { avformat_close_input(&f); });
    const int index = avformat_find_stream_info(in.get(), nullptr) >= 0
                          ? av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0)
                          : -1;
    if (index < 0) {
        setError(error, "no video stream in " + source);
        return false;
    }
    OutputPtr out = openOutput(destination, "avi", error);
    if (!out)
        return false;
    AVStream* stream = avformat_new_stream(out.get(), nullptr);
    if (stream == nullptr || avcodec_parameters_copy(stream->codecpar, in->streams[index]->codecpar) < 0)
        return false;
    stream->codecpar->codec_tag = in->streams[index]->codecpar->codec_tag;
    stream->time_base = in->streams[index]->time_base;
    if (!startOutput(out.get(), destination, error))
        return false;
    PacketPtr packet(av_packet_alloc());
    int seen = 0;
    int64_t shift = AV_NOPTS_VALUE;
    while (av_read_frame(in.get(), packet.get()) >= 0) {
        if (packet->stream_index == index && seen++ >= firstPacket) {
            if (shift == AV_NOPTS_VALUE)
                shift = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (packet->pts != AV_NOPTS_VALUE)
                packet->pts -= shift;
            if (packet->dts != AV_NOPTS_VALUE)
                packet->dts -= shift;
            packet->stream_index = 0;
            av_packet_rescale_ts(packet.get(), in->streams[index]->time_base, stream->time_base);
            if (av_interleaved_write_frame(out.get(), packet.get()) < 0) {
                setError(error, "writing failed");
                return false;
            }
        }
        av_packet_unref(packet.get());
    }
    return av_write_trailer(out.get()) >= 0;
}

// ---- Playback movies ----

namespace {

constexpr int BeepHz = 1000;
constexpr double BeepLevel = 12000.0 / 32768.0;
constexpr int64_t MovieVideoBitRate = 400000;
constexpr int64_t MovieAudioBitRate = 128000;
constexpr int ChromaNeutral = 128;

bool openMovieVideo(AVFormatContext* fmt, const MovieSpec& spec, Track& track, std::string* error) {
    const AVCodec* codec = avcodec_find_encoder(
        spec.video == MovieSpec::Video::Mpeg4 ? AV_CODEC_ID_MPEG4 : AV_CODEC_ID_MSMPEG4V3);
    if (codec == nullptr) {
        setError(error, "no video encoder");
        return false;
    }
    const bool opened = openTrack(
        fmt, codec, track,
        [&](AVCodecContext* c) {
            c->width = spec.width;
            c->height = spec.height;
            c->time_base = AVRational{1, spec.fps};
            c->framerate = AVRational{spec.fps, 1};
            c->pix_fmt = AV_PIX_FMT_YUV420P;
            c->gop_size = spec.keyEvery;
            c->max_b_frames = 0;
            c->bit_rate = MovieVideoBitRate;
            c->sample_aspect_ratio = AVRational{spec.aspectNum, spec.aspectDen > 0 ? spec.aspectDen : 1};
        },
        error);
    if (opened) // the AVI muxer writes the stream's aspect
        track.stream->sample_aspect_ratio = track.codec->sample_aspect_ratio;
    return opened;
}

bool openMovieAudio(AVFormatContext* fmt, const MovieSpec& spec, Track& track, std::string* error) {
    const AVCodec* codec =
        avcodec_find_encoder(spec.audio == MovieSpec::Audio::Mp3 ? AV_CODEC_ID_MP3 : AV_CODEC_ID_PCM_S16LE);
    if (codec == nullptr) {
        setError(error, "no audio encoder");
        return false;
    }
    return openTrack(
        fmt, codec, track,
        [&](AVCodecContext* c) {
            c->sample_rate = spec.sampleRate;
            av_channel_layout_default(&c->ch_layout, spec.channels);
            c->sample_fmt = codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
            c->time_base = AVRational{1, spec.sampleRate};
            c->bit_rate = MovieAudioBitRate;
        },
        error);
}

// A plain grey frame, or a white one for the flash; a key frame every keyEvery frames.
bool writeMovieFrame(AVFormatContext* fmt, Track& track, AVFrame* frame, const MovieSpec& spec, int index,
                     std::string* error) {
    if (av_frame_make_writable(frame) < 0)
        return false;
    const int luma = index == spec.flashFrame ? MovieWhite : MovieGrey;
    for (int y = 0; y < spec.height; ++y)
        std::memset(frame->data[0] + y * frame->linesize[0], luma, static_cast<size_t>(spec.width));
    for (int plane = 1; plane < 3; ++plane)
        for (int y = 0; y < spec.height / 2; ++y)
            std::memset(frame->data[plane] + y * frame->linesize[plane], ChromaNeutral,
                        static_cast<size_t>(spec.width / 2));
    frame->pts = index;
    frame->pict_type = index % spec.keyEvery == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    return encode(fmt, track, frame, error);
}

// Silence with the beep where the spec puts it, in whole encoder frames up to sample `until`.
bool writeMovieSound(AVFormatContext* fmt, Track& track, const MovieSpec& spec, int64_t& written,
                     int64_t until, std::string* error) {
    const int perFrame = track.codec->frame_size > 0 ? track.codec->frame_size : 1024;
    FramePtr frame(av_frame_alloc());
    while (written + perFrame <= until) {
        av_frame_unref(frame.get());
        frame->format = track.codec->sample_fmt;
        frame->nb_samples = perFrame;
        frame->sample_rate = spec.sampleRate;
        av_channel_layout_copy(&frame->ch_layout, &track.codec->ch_layout);
        if (av_frame_get_buffer(frame.get(), 0) < 0) {
            setError(error, "no audio buffer");
            return false;
        }
        const bool planar = av_sample_fmt_is_planar(track.codec->sample_fmt) != 0;
        const auto packed = av_get_packed_sample_fmt(track.codec->sample_fmt);
        for (int i = 0; i < perFrame; ++i) {
            const double t = static_cast<double>(written + i) / spec.sampleRate;
            double v = 0;
            if (spec.beepAt >= 0 && t >= spec.beepAt && t < spec.beepAt + spec.beepLength)
                v = BeepLevel * std::sin(2 * std::numbers::pi * BeepHz * t);
            for (int ch = 0; ch < spec.channels; ++ch) {
                const size_t slot =
                    planar ? static_cast<size_t>(i) : static_cast<size_t>(i * spec.channels + ch);
                uint8_t* base = frame->data[planar ? ch : 0];
                if (packed == AV_SAMPLE_FMT_FLT)
                    reinterpret_cast<float*>(base)[slot] = static_cast<float>(v);
                else if (packed == AV_SAMPLE_FMT_S32)
                    reinterpret_cast<int32_t*>(base)[slot] = static_cast<int32_t>(v * 32768.0 * 65536.0);
                else
                    reinterpret_cast<int16_t*>(base)[slot] = static_cast<int16_t>(v * 32768.0);
            }
        }
        frame->pts = written;
        written += perFrame;
        if (!encode(fmt, track, frame.get(), error))
            return false;
    }
    return true;
}

} // namespace

MovieSpec wideDivx3Movie(int frames, MovieSpec::Audio audio) {
    MovieSpec spec;
    spec.video = MovieSpec::Video::MsMpeg4v3;
    spec.audio = audio;
    spec.frames = frames;
    spec.aspectNum = 4;
    spec.aspectDen = 3;
    return spec;
}

bool writeMovie(const std::string& path, const MovieSpec& spec, std::string* error) {
    OutputPtr fmt = openOutput(path, "avi", error);
    if (!fmt)
        return false;
    Track video;
    Track audio;
    if (!openMovieVideo(fmt.get(), spec, video, error))
        return false;
    if (spec.audio != MovieSpec::Audio::None && !openMovieAudio(fmt.get(), spec, audio, error))
        return false;
    if (!startOutput(fmt.get(), path, error))
        return false;
    FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = spec.width;
    frame->height = spec.height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) {
        setError(error, "no frame buffer");
        return false;
    }
    // The sound follows each frame, so the file is interleaved as a player expects it.
    int64_t soundWritten = 0;
    for (int i = 0; i < spec.frames; ++i) {
        if (!writeMovieFrame(fmt.get(), video, frame.get(), spec, i, error))
            return false;
        if (audio.codec && !writeMovieSound(fmt.get(), audio, spec, soundWritten,
                                            static_cast<int64_t>(i + 1) * spec.sampleRate / spec.fps, error))
            return false;
    }
    if (!encode(fmt.get(), video, nullptr, error))
        return false;
    if (audio.codec && !encode(fmt.get(), audio, nullptr, error))
        return false;
    if (av_write_trailer(fmt.get()) < 0) {
        setError(error, "trailer refused");
        return false;
    }
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
