// Converter and amplifier timings against the reference programs, on one generated input: 10 minutes
// of 48 kHz 16-bit stereo PCM. Prints each time and the ratio with its goal.
//   bench_audio [--runs N] [--amplify-only]
// With N runs (default 1) each program runs N times, alternating with its reference, and the medians
// are compared.
#include "tools/amplifier/amplify_engine.h"
#include "tools/audio_converter/conversion_engine.h"
#include "tools/audio_converter/wf_preset.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr uint32_t Rate = 48000;
constexpr int64_t Seconds = 600;
constexpr int Gain = 150; // 15.0 dB
constexpr double Mp3Goal = 1.02;
constexpr double AmplifyGoal = 3.0;

void putLe(std::ofstream& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// Two tones and a little noise, at a level the gain clips now and then.
void writeInput(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    const uint32_t frames = Rate * Seconds;
    const uint32_t bytes = frames * 4;
    out.write("RIFF", 4);
    putLe(out, 36 + bytes, 4);
    out.write("WAVEfmt ", 8);
    putLe(out, 16, 4);
    putLe(out, 1, 2);
    putLe(out, 2, 2);
    putLe(out, Rate, 4);
    putLe(out, Rate * 4, 4);
    putLe(out, 4, 2);
    putLe(out, 16, 2);
    out.write("data", 4);
    putLe(out, bytes, 4);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 300.0);
    std::string block;
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / Rate;
        const double left = 4000 * std::sin(2 * std::numbers::pi * 440 * t) + noise(random);
        const double right = 4000 * std::sin(2 * std::numbers::pi * 660 * t) + noise(random);
        for (double v : {left, right}) {
            const auto s = static_cast<uint16_t>(static_cast<int16_t>(std::lround(v)));
            block.push_back(static_cast<char>(s & 0xFF));
            block.push_back(static_cast<char>(s >> 8));
        }
        if (block.size() >= (1 << 20)) {
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
            block.clear();
        }
    }
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
}

double timeIt(const std::function<bool()>& work) {
    const auto start = std::chrono::steady_clock::now();
    if (!work()) {
        std::fprintf(stderr, "a benchmark step failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t mid = v.size() / 2;
    return v.size() % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

// The medians of runs of ours and of the reference, taken in turn.
std::pair<double, double> medians(int runs, const std::function<bool()>& ours,
                                  const std::function<bool()>& reference) {
    std::vector<double> a, b;
    for (int i = 0; i < runs; ++i) {
        a.push_back(timeIt(ours));
        b.push_back(timeIt(reference));
    }
    return {median(a), median(b)};
}

struct QuietConversion : tools::audio_converter::ConversionSink {
    void errorBox(const std::string& text) override { std::fprintf(stderr, "error: %s\n", text.c_str()); }
    void messageBox(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

struct QuietAmplify : tools::amplifier::AmplifySink {
    void errorBox(const std::string& text) override { std::fprintf(stderr, "error: %s\n", text.c_str()); }
};

} // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    int runs = 1;
    bool amplifyOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--amplify-only") == 0) {
            amplifyOnly = true;
        } else {
            std::fprintf(stderr, "usage: bench_audio [--runs N] [--amplify-only]\n");
            return 1;
        }
    }
    const fs::path dir = fs::temp_directory_path() / "kes-bench-audio";
    fs::create_directories(dir);
    const std::string in = (dir / "in.wav").string();
    writeInput(in);
    if (runs > 1)
        std::printf("medians of %d runs each\n", runs);
    std::printf("input: %lld s of %u Hz 16-bit stereo PCM (%s)\n", static_cast<long long>(Seconds), Rate,
                in.c_str());

    using namespace tools::audio_converter;
    ConversionRequest request;
    request.source = in;
    request.destination = (dir / "ours.wav").string();
    const WfTexts texts = splitWfParameter("WF=MP3/S/48/192");
    request.codecText = texts.codec;
    request.bitRateText = texts.bitRate;
    request.target = *parsePresetString(*presetStringFor(texts));
    request.externDir = KES_BENCH_EXTERN_DIR;
    request.quiet = true;
    QuietConversion conversionSink;
    ConversionEngine converter(conversionSink);
    bool userBreak = false;
    double ours = 0, lame = 1;
    if (!amplifyOnly) {
        // The same settings: 192 kbit/s constant, stereo (not joint), high quality, no tag.
        const std::string lameCommand = "lame --quiet --cbr -b 192 -m s -h --resample 48 -t '" + in + "' '" +
                                        (dir / "lame.mp3").string() + "'";
        std::tie(ours, lame) = medians(
            runs, [&] { return !converter.run(request, userBreak).failed; },
            [&] { return std::system(lameCommand.c_str()) == 0; });
        std::printf("MP3 192 kbit/s: ours %.2f s, lame %.2f s, ratio %.3f (goal at most %.2f)\n", ours, lame,
                    ours / lame, Mp3Goal);
    }

    tools::amplifier::AmplifyRequest amplify;
    amplify.source = in;
    amplify.destination = (dir / "amplified.wav").string();
    amplify.position = Gain;
    QuietAmplify amplifySink;
    tools::amplifier::AmplifyEngine amplifier(amplifySink);
    const std::string soxCommand = "sox '" + in + "' '" + (dir / "sox.wav").string() + "' vol 15 dB";
    const auto [oursAmp, sox] = medians(
        runs, [&] { return !amplifier.run(amplify, userBreak).failed; },
        [&] { return std::system(soxCommand.c_str()) == 0; });
    std::printf("amplify 15 dB: ours %.2f s, sox %.2f s, %.2fx faster (goal at least %.1fx)\n", oursAmp, sox,
                sox / oursAmp, AmplifyGoal);

    fs::remove_all(dir);
    const bool met = ours / lame <= Mp3Goal && sox / oursAmp >= AmplifyGoal;
    std::printf("%s\n", met ? (amplifyOnly ? "the goal was met" : "both goals met") : "a goal was missed");
    return met ? 0 : 2;
}
