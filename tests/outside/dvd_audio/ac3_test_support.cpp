#include "tests/outside/dvd_audio/ac3_test_support.h"

#include "tests/support/temp_dir.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace kes::test {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what);
}

uint32_t le32(const std::string& b, size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}
uint16_t le16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

// Converts decoded frames to interleaved 16-bit samples of the same layout and rate.
void appendS16(SwrContext*& swr, const AVFrame& frame, Pcm& pcm) {
    if (!swr) {
        AVChannelLayout layout{};
        av_channel_layout_copy(&layout, &frame.ch_layout);
        const int made =
            swr_alloc_set_opts2(&swr, &layout, AV_SAMPLE_FMT_S16, frame.sample_rate, &layout,
                                static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
        av_channel_layout_uninit(&layout);
        if (made < 0 || swr_init(swr) < 0)
            fail("ffmpeg: no resampler");
        pcm.rate = frame.sample_rate;
        pcm.channels = frame.ch_layout.nb_channels;
    }
    std::vector<int16_t> out(static_cast<size_t>(frame.nb_samples * pcm.channels) + 64);
    auto* target = reinterpret_cast<uint8_t*>(out.data());
    const int made = swr_convert(swr, &target, frame.nb_samples,
                                 const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
    if (made > 0)
        pcm.samples.insert(pcm.samples.end(), out.begin(), out.begin() + made * pcm.channels);
}

// The index of the wanted stream of an opened file.
int streamIndex(AVFormatContext* format, int id) {
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* st = format->streams[i];
        if (st->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        if (id < 0 || st->id == id)
            return static_cast<int>(i);
    }
    fail("ffmpeg: no such audio stream");
}

AVFormatContext* openFormat(const fs::path& file) {
    av_log_set_level(AV_LOG_FATAL); // the generated sets' stand-in video is no codec it knows
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, file.c_str(), nullptr, nullptr) < 0)
        fail("ffmpeg cannot open " + file.string());
    format->probesize = 50'000'000;
    if (avformat_find_stream_info(format, nullptr) < 0)
        fail("ffmpeg finds no streams in " + file.string());
    return format;
}

} // namespace

std::vector<int16_t> Pcm::channel(int c) const {
    std::vector<int16_t> out;
    for (size_t i = static_cast<size_t>(c); i < samples.size(); i += static_cast<size_t>(channels))
        out.push_back(samples[i]);
    return out;
}

ToolRun runTool(const ProgramFolder& folder, const std::string& program, const std::vector<std::string>& args,
                const std::map<std::string, std::string>& env, int timeoutSeconds) {
    TempDir capture("kes-tool-run");
    const std::string outPath = capture.file("out"), errPath = capture.file("err");
    const std::string exe = (folder.externDir() / program).string();
    std::vector<std::string> argvText{exe};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvText)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (!env.count(entry.substr(0, entry.find('='))))
            envText.push_back(entry);
    }
    for (const auto& [name, value] : env)
        envText.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.externDir().c_str());
    pid_t pid = 0;
    const int started = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ToolRun run;
    if (started != 0) {
        ADD_FAILURE() << "cannot start " << exe;
        return run;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    int status = 0;
    for (;;) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << program << " did not end within " << timeoutSeconds << " s";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.out = readBytes(outPath);
    run.err = readBytes(errPath);
    return run;
}

Pcm readWav(const fs::path& file) {
    Pcm pcm;
    if (!fs::exists(file)) {
        ADD_FAILURE() << file << " is missing";
        return pcm;
    }
    const std::string b = readBytes(file);
    if (b.size() < 44 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) {
        ADD_FAILURE() << file << " is no WAV file";
        return pcm;
    }
    size_t at = 12;
    bool haveFormat = false;
    while (at + 8 <= b.size()) {
        const std::string id = b.substr(at, 4);
        const size_t size = le32(b, at + 4);
        if (id == "fmt " && size >= 16 && at + 8 + size <= b.size()) {
            if (le16(b, at + 8) != 1 || le16(b, at + 22) != 16) {
                ADD_FAILURE() << file << " is not 16-bit PCM";
                return pcm;
            }
            pcm.channels = le16(b, at + 10);
            pcm.rate = static_cast<int>(le32(b, at + 12));
            haveFormat = true;
        } else if (id == "data" && haveFormat) {
            const size_t count = std::min(size, b.size() - at - 8) / 2;
            EXPECT_EQ(count * 2, size) << file << ": data chunk longer than the file";
            pcm.samples.resize(count);
            std::memcpy(pcm.samples.data(), b.data() + at + 8, count * 2);
            return pcm;
        }
        at += 8 + size + (size & 1);
    }
    ADD_FAILURE() << file << " has no data chunk";
    return pcm;
}

Pcm ffmpegDecode(const fs::path& file, int id, const std::map<std::string, std::string>& options) {
    AVFormatContext* format = openFormat(file);
    const int index = streamIndex(format, id);
    const AVCodec* codec = avcodec_find_decoder(format->streams[index]->codecpar->codec_id);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(context, format->streams[index]->codecpar);
    AVDictionary* dict = nullptr;
    for (const auto& [name, value] : options)
        av_dict_set(&dict, name.c_str(), value.c_str(), 0);
    if (avcodec_open2(context, codec, &dict) < 0)
        fail("ffmpeg: decoder does not open");
    av_dict_free(&dict);
    Pcm pcm;
    SwrContext* swr = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto receive = [&] {
        while (avcodec_receive_frame(context, frame) == 0) {
            appendS16(swr, *frame, pcm);
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == index && avcodec_send_packet(context, packet) >= 0)
            receive();
        av_packet_unref(packet);
    }
    avcodec_send_packet(context, nullptr);
    receive();
    swr_free(&swr);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    avformat_close_input(&format);
    return pcm;
}

std::vector<uint8_t> ffmpegDemux(const fs::path& file, int id) {
    AVFormatContext* format = openFormat(file);
    const int index = streamIndex(format, id);
    std::vector<uint8_t> bytes;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == index)
            bytes.insert(bytes.end(), packet->data, packet->data + packet->size);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&format);
    return bytes;
}

std::vector<uint8_t> encodeAc3(int channels, int sampleRate, int bitRate, double seconds,
                               const std::function<double(int, int64_t)>& signal) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AC3);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    context->sample_rate = sampleRate;
    av_channel_layout_default(&context->ch_layout, channels);
    context->bit_rate = bitRate;
    context->flags |= AV_CODEC_FLAG_BITEXACT;
    if (avcodec_open2(context, codec, nullptr) < 0)
        fail("ac3 encoder does not open");
    std::vector<uint8_t> out;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    auto receive = [&] {
        while (avcodec_receive_packet(context, packet) == 0) {
            out.insert(out.end(), packet->data, packet->data + packet->size);
            av_packet_unref(packet);
        }
    };
    const int size = context->frame_size;
    const auto total = static_cast<int64_t>(seconds * sampleRate);
    for (int64_t start = 0; start < total; start += size) {
        frame->nb_samples = size;
        frame->format = context->sample_fmt;
        frame->sample_rate = sampleRate;
        av_channel_layout_copy(&frame->ch_layout, &context->ch_layout);
        if (av_frame_get_buffer(frame, 0) < 0)
            fail("no frame buffer");
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < size; ++i)
                reinterpret_cast<float*>(frame->extended_data[c])[i] =
                    static_cast<float>(signal(c, start + i));
        frame->pts = start;
        if (avcodec_send_frame(context, frame) < 0)
            fail("ac3 encoding failed");
        av_frame_unref(frame);
        receive();
    }
    avcodec_send_frame(context, nullptr);
    receive();
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
    return out;
}

int largestDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    if (a.size() != b.size())
        return 65536;
    int largest = 0;
    for (size_t i = 0; i < a.size(); ++i)
        largest = std::max(largest, std::abs(a[i] - b[i]));
    return largest;
}

double rms(const std::vector<int16_t>& samples) {
    double sum = 0;
    for (const int16_t v : samples)
        sum += static_cast<double>(v) * v;
    return samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

Fit fitScale(const std::vector<int16_t>& a, const std::vector<double>& b) {
    Fit fit;
    double ab = 0, bb = 0;
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        ab += a[i] * b[i];
        bb += b[i] * b[i];
    }
    fit.factor = bb > 0 ? ab / bb : 0;
    double rest = 0;
    for (size_t i = 0; i < n; ++i)
        rest += (a[i] - fit.factor * b[i]) * (a[i] - fit.factor * b[i]);
    fit.residual = n ? std::sqrt(rest / static_cast<double>(n)) : 0;
    return fit;
}

void installTools(ProgramFolder& folder, const std::vector<std::string>& programs) {
    for (const auto& program : programs)
        folder.copyFromBuild("extern/" + program);
}

std::vector<double> toneStarts(const Pcm& pcm) {
    return kes::test::toneStarts(pcm.samples, pcm.channels, pcm.rate);
}

} // namespace kes::test
