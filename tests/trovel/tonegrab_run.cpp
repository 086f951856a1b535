#include "tests/trovel/tonegrab_run.h"

#include "tests/support/lavf_media.h"
#include "tests/support/vobgen.h"

#include "platform/core/process.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace kes::test {

const std::vector<std::string> kTonegrabFiles = {"Tonegrab.exe",       "_Quillon.ax", "_Mpeg2Parser.ax",
                                                 "XmdAudioDecode.dll", "AsmAc3.dll",  "AsmFloatFull.dll",
                                                 "_wavdest.ax"};

namespace {

constexpr int kRunTimeoutMs = 120000;
constexpr size_t kPacksPerFile = 60;
constexpr double kSetSeconds = 1.5;

uint32_t le(const std::string& bytes, size_t at, size_t size) {
    uint32_t value = 0;
    for (size_t i = 0; i < size; ++i)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    return value;
}

} // namespace

const std::filesystem::path& generatedSetFolder() {
    static TempDir dir("kes-tonegrab-set");
    static bool written = false;
    if (!written) {
        VobSpec spec;
        spec.seconds = kSetSeconds;
        spec.packsPerFile = kPacksPerFile;
        spec.audio = {
            {VobAudioKind::Ac3, 0x80, 2, 48000, 16, 192000, kFirstAc3Hz},
            {VobAudioKind::Ac3, 0x81, 2, 48000, 16, 192000, kSecondAc3Hz},
            {VobAudioKind::Lpcm, 0xA2, 2, 48000, 16, 0, kLpcmHz},
        };
        writeVobSet(dir.path(), spec);
        written = true;
    }
    return dir.path();
}

std::filesystem::path firstVob() {
    return generatedSetFolder() / "VTS_01_1.VOB";
}

constexpr int kBoxPollMs = 100;

RunResult runProgram(const std::filesystem::path& program, const std::vector<std::string>& parameters) {
    return runProgramFor(program, parameters, -1);
}

RunResult runProgramFor(const std::filesystem::path& program, const std::vector<std::string>& parameters,
                        int openMs) {
    TempDir logDir("kes-tonegrab-log");
    const std::string log = logDir.file("boxes.log");
    setenv(platform::ui::testing::LogEnv, log.c_str(), 1);
    std::string commandLine = program.string();
    for (const auto& parameter : parameters)
        commandLine += " " + parameter;
    RunResult result;
    auto process = platform::core::startProcess(commandLine);
    unsetenv(platform::ui::testing::LogEnv);
    if (!process) {
        ADD_FAILURE() << "cannot start " << commandLine;
        return result;
    }
    // A program expected to stay open is given openMs more once it has shown its first box.
    bool ended = false;
    if (openMs < 0) {
        ended = process->waitFor(kRunTimeoutMs);
    } else {
        for (int waited = 0; !ended && waited < kRunTimeoutMs; waited += kBoxPollMs) {
            ended = process->waitFor(kBoxPollMs);
            if (!ended && !platform::ui::testing::readLogFile(log).empty()) {
                ended = process->waitFor(openMs);
                break;
            }
        }
    }
    if (!ended) {
        if (openMs < 0)
            ADD_FAILURE() << "still running: " << commandLine;
        result.stillOpen = true;
        kill(process->pid(), SIGKILL);
        process->waitFor(kRunTimeoutMs);
        result.boxes = platform::ui::testing::readLogFile(log);
        return result;
    }
    result.exitCode = process->exitCode();
    result.boxes = platform::ui::testing::readLogFile(log);
    return result;
}

TonegrabFolder::TonegrabFolder() {
    for (const auto& name : kTonegrabFiles)
        folder_.copyFromBuild("extern/" + name);
}

namespace {

// FFmpeg reads a WAV that Tonegrab wrote as the same 16-bit PCM with the same samples.
void expectLavfReadsTheSame(const std::filesystem::path& file, const WavInfo& wav) {
    const LavfProbe probe = probeLavf(file.string(), true);
    ASSERT_EQ(probe.format, "wav") << file;
    ASSERT_EQ(probe.streams.size(), 1u) << file;
    const LavfStream& stream = probe.streams[0];
    EXPECT_EQ(stream.codec, "pcm_s16le") << file;
    EXPECT_EQ(stream.sampleRate, wav.sampleRate) << file;
    EXPECT_EQ(stream.channels, wav.channels) << file;
    ASSERT_EQ(stream.pcm.size(), wav.samples.size()) << file;
    for (size_t i = 0; i < wav.samples.size(); ++i)
        ASSERT_EQ(std::lround(stream.pcm[i] * 32768.0), wav.samples[i]) << file << " sample " << i;
}

} // namespace

WavInfo readWav(const std::filesystem::path& file) {
    WavInfo wav;
    if (!std::filesystem::exists(file))
        return wav;
    const std::string bytes = readBytes(file);
    constexpr size_t kRiffHeader = 12;
    constexpr size_t kChunkHeader = 8;
    if (bytes.size() < kRiffHeader || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return wav;
    bool haveFormat = false;
    for (size_t at = kRiffHeader; at + kChunkHeader <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const size_t size = le(bytes, at + 4, 4);
        const size_t body = at + kChunkHeader;
        if (id == "fmt " && body + 16 <= bytes.size()) {
            wav.channels = static_cast<int>(le(bytes, body + 2, 2));
            wav.sampleRate = static_cast<int>(le(bytes, body + 4, 4));
            wav.bitsPerSample = static_cast<int>(le(bytes, body + 14, 2));
            haveFormat = true;
        } else if (id == "data") {
            const size_t length = std::min(size, bytes.size() - body);
            wav.samples.resize(length / 2);
            std::memcpy(wav.samples.data(), bytes.data() + body, wav.samples.size() * 2);
            wav.valid = haveFormat;
            expectLavfReadsTheSame(file, wav);
            return wav;
        }
        at = body + size + (size & 1);
    }
    return wav;
}

double toneFrequency(const WavInfo& wav) {
    if (!wav.valid || wav.channels < 1 || wav.sampleRate <= 0)
        return 0;
    // A crossing counts only from below -kLevel to above +kLevel, so that the decoder's near-silent
    // start does not add crossings of its own.
    constexpr int kLevel = 1000;
    const auto channels = static_cast<size_t>(wav.channels);
    const size_t frames = wav.samples.size() / channels;
    size_t first = 0;
    size_t last = 0;
    int crossings = 0;
    bool armed = false;
    for (size_t i = 0; i < frames; ++i) {
        const int sample = wav.samples[i * channels];
        if (sample < -kLevel) {
            armed = true;
        } else if (armed && sample > kLevel) {
            armed = false;
            if (crossings == 0)
                first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0;
    return (crossings - 1) * static_cast<double>(wav.sampleRate) / static_cast<double>(last - first);
}

} // namespace kes::test
