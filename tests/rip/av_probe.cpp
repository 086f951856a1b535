#include "tests/rip/av_probe.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <memory>

namespace kes::test {

namespace {

struct InputCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using Input = std::unique_ptr<AVFormatContext, InputCloser>;

// FFmpeg's messages of error level and worse while a decode runs.
std::atomic<int> loggedErrors{0};

void countErrors(void* object, int level, const char* format, va_list args) {
    if (level <= AV_LOG_ERROR)
        ++loggedErrors;
    av_log_default_callback(object, level, format, args);
}
using Decoder = std::unique_ptr<AVCodecContext, CodecFreer>;

std::string fourccText(uint32_t tag) {
    std::string text;
    bool printable = true;
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<char>(tag >> (8 * i) & 0xFF);
        printable = printable && c >= ' ' && c <= '~';
        text += c;
    }
    if (printable)
        return text;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", tag & 0xFFFF);
    return hex;
}

Input open(const std::string& path, std::string& error) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        error = "cannot open " + path;
        return nullptr;
    }
    Input input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0) {
        error = "no stream information in " + path;
        return nullptr;
    }
    return input;
}

Decoder openDecoder(const AVStream* stream) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return nullptr;
    Decoder decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0 ||
        avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return nullptr;
    return decoder;
}

// One channel of a decoded frame as floats in [-1, 1].
void appendFirstChannel(const AVFrame* frame, std::vector<float>& out) {
    const int channels = frame->ch_layout.nb_channels;
    for (int i = 0; i < frame->nb_samples; ++i) {
        float v = 0;
        switch (frame->format) {
        case AV_SAMPLE_FMT_S16:
            v = reinterpret_cast<const int16_t*>(frame->data[0])[i * channels] / 32768.0f;
            break;
        case AV_SAMPLE_FMT_S16P:
            v = reinterpret_cast<const int16_t*>(frame->data[0])[i] / 32768.0f;
            break;
        case AV_SAMPLE_FMT_FLT:
            v = reinterpret_cast<const float*>(frame->data[0])[i * channels];
            break;
        case AV_SAMPLE_FMT_FLTP:
            v = reinterpret_cast<const float*>(frame->data[0])[i];
            break;
        default:
            break;
        }
        out.push_back(v);
    }
}

// Decodes the packets of the first audio stream (or counts the video packets) of an open input.
struct ReadResult {
    std::vector<long long> packets;                // per stream
    std::vector<long long> samples;                // per stream, decoded audio samples
    std::vector<long long> bytes;                  // per stream
    std::vector<std::vector<long long>> keyFrames; // per stream, the key packets' numbers
    std::vector<float> firstAudio;                 // the first channel of the first audio stream
    int firstAudioRate = 0;
    double firstAudioLost = 0;           // the first audio stream's time before its first sound
    std::vector<long long> frameSamples; // per stream, the samples of its first decoded frame
};

// A WMA decoder has no sound for the first block of a stream (the bit reservoir starts there): the
// block's time passes before its first sound. Other decoders give sound from the first packet on.
double lostSeconds(const ReadResult& read, unsigned s, const AVFormatContext* input) {
    const AVCodecParameters* par = input->streams[s]->codecpar;
    const bool wma = par->codec_id == AV_CODEC_ID_WMAV1 || par->codec_id == AV_CODEC_ID_WMAV2;
    if (!wma || par->sample_rate <= 0)
        return 0;
    return static_cast<double>(read.frameSamples[s]) / par->sample_rate;
}

ReadResult readAll(AVFormatContext* input) {
    ReadResult result;
    const unsigned count = input->nb_streams;
    result.packets.assign(count, 0);
    result.samples.assign(count, 0);
    result.bytes.assign(count, 0);
    result.frameSamples.assign(count, 0);
    result.keyFrames.assign(count, {});
    std::vector<Decoder> decoders(count);
    int firstAudio = -1;
    for (unsigned i = 0; i < count; ++i) {
        if (input->streams[i]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        decoders[i] = openDecoder(input->streams[i]);
        if (firstAudio < 0) {
            firstAudio = static_cast<int>(i);
            result.firstAudioRate = input->streams[i]->codecpar->sample_rate;
        }
    }
    std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
    const auto drain = [&](unsigned s) {
        while (avcodec_receive_frame(decoders[s].get(), frame.get()) >= 0) {
            result.samples[s] += frame->nb_samples;
            if (result.frameSamples[s] == 0)
                result.frameSamples[s] = frame->nb_samples;
            if (static_cast<int>(s) == firstAudio)
                appendFirstChannel(frame.get(), result.firstAudio);
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(input, packet.get()) >= 0) {
        const auto s = static_cast<unsigned>(packet->stream_index);
        if (s < count) {
            if (packet->flags & AV_PKT_FLAG_KEY)
                result.keyFrames[s].push_back(result.packets[s]);
            result.bytes[s] += packet->size;
            ++result.packets[s];
            if (decoders[s] && avcodec_send_packet(decoders[s].get(), packet.get()) >= 0)
                drain(s);
        }
        av_packet_unref(packet.get());
    }
    for (unsigned s = 0; s < count; ++s) {
        if (decoders[s]) {
            avcodec_send_packet(decoders[s].get(), nullptr);
            drain(s);
        }
    }
    if (firstAudio >= 0)
        result.firstAudioLost = lostSeconds(result, static_cast<unsigned>(firstAudio), input);
    return result;
}

} // namespace

const ProbedStream* ProbedFile::first(const std::string& type) const {
    for (const ProbedStream& s : streams)
        if (s.type == type)
            return &s;
    return nullptr;
}

ProbedFile probeMedia(const std::string& path) {
    ProbedFile file;
    Input input = open(path, file.error);
    if (!input)
        return file;
    file.opened = true;
    file.format = input->iformat->name;
    const ReadResult read = readAll(input.get());
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* st = input->streams[i];
        const AVCodecParameters* par = st->codecpar;
        ProbedStream s;
        const char* type = av_get_media_type_string(par->codec_type);
        s.type = type ? type : "";
        s.codec = avcodec_get_name(par->codec_id);
        s.fourcc = fourccText(par->codec_tag);
        const AVRational aspect = av_guess_sample_aspect_ratio(input.get(), input->streams[i], nullptr);
        s.aspectNum = aspect.num;
        s.aspectDen = aspect.den;
        s.frames = read.packets[i];
        s.bytes = read.bytes[i];
        if (par->codec_type == AVMEDIA_TYPE_VIDEO)
            s.keyFrames = read.keyFrames[i];
        if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
            s.width = par->width;
            s.height = par->height;
            s.frameRate = av_q2d(st->avg_frame_rate.num ? st->avg_frame_rate : st->r_frame_rate);
            s.seconds = s.frameRate > 0 ? static_cast<double>(s.frames) / s.frameRate : 0;
        } else if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
            s.sampleRate = par->sample_rate;
            s.channels = par->ch_layout.nb_channels;
            s.seconds = s.sampleRate > 0 ? static_cast<double>(read.samples[i]) / s.sampleRate : 0;
            s.lostSeconds = lostSeconds(read, i, input.get());
        }
        file.streams.push_back(s);
    }
    return file;
}

std::vector<double> beepStarts(const std::string& path) {
    std::string error;
    Input input = open(path, error);
    if (!input)
        return {};
    const ReadResult read = readAll(input.get());
    std::vector<double> starts;
    if (read.firstAudioRate <= 0)
        return starts;
    const auto quietRun = static_cast<size_t>(read.firstAudioRate / 10);
    constexpr float Threshold = 0.05f;
    size_t quiet = quietRun;
    for (size_t i = 0; i < read.firstAudio.size(); ++i) {
        if (std::fabs(read.firstAudio[i]) < Threshold) {
            ++quiet;
            continue;
        }
        if (quiet >= quietRun)
            starts.push_back(read.firstAudioLost + static_cast<double>(i) / read.firstAudioRate);
        quiet = 0;
    }
    return starts;
}

std::vector<double> flashStarts(const std::string& path) {
    return scanFlashes(path).starts;
}

FlashScan scanFlashes(const std::string& path) {
    FlashScan scan;
    std::vector<double>& starts = scan.starts;
    std::string error;
    Input input = open(path, error);
    if (!input)
        return scan;
    const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        return scan;
    const AVStream* stream = input->streams[index];
    Decoder decoder = openDecoder(stream);
    if (!decoder)
        return scan;
    const double rate = av_q2d(stream->avg_frame_rate.num ? stream->avg_frame_rate : stream->r_frame_rate);
    std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
    long long n = 0;
    bool white = false;
    constexpr double WhiteLuma = 200;
    const auto drain = [&] {
        while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
            if (frame->decode_error_flags || (frame->flags & AV_FRAME_FLAG_CORRUPT))
                ++scan.decoderErrors;
            double sum = 0;
            for (int y = 0; y < frame->height; ++y)
                for (int x = 0; x < frame->width; ++x)
                    sum += frame->data[0][static_cast<size_t>(y) * frame->linesize[0] + x];
            const bool now = sum / (static_cast<double>(frame->width) * frame->height) > WhiteLuma;
            if (now && !white)
                starts.push_back(static_cast<double>(n) / rate);
            white = now;
            ++n;
            av_frame_unref(frame.get());
        }
    };
    loggedErrors = 0;
    av_log_set_callback(countErrors);
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == index) {
            if (avcodec_send_packet(decoder.get(), packet.get()) >= 0)
                drain();
            else
                ++scan.decoderErrors;
        }
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(decoder.get(), nullptr);
    drain();
    av_log_set_callback(av_log_default_callback);
    scan.decoderErrors += loggedErrors;
    return scan;
}

} // namespace kes::test
