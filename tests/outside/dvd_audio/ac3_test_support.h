#pragma once

// What the tests of the AC3 tools share: running a built tool from a temporary program folder with
// its output captured, reading the WAV files it writes, FFmpeg's own decode of the same streams as the
// reference, and AC3 streams of chosen signals per channel made with FFmpeg's encoder.

#include "tests/support/program_folder.h"
#include "tests/support/sync_title.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kes::test {

struct ToolRun {
    int status = -1; // exit status; -1 when it had to be killed
    std::string out;
    std::string err;
};

// Runs extern/<program> of the folder with the arguments, extern/ as its current directory, and waits
// for it (at most timeoutSeconds, then it is killed). Extra environment variables are added to ours.
ToolRun runTool(const ProgramFolder& folder, const std::string& program, const std::vector<std::string>& args,
                const std::map<std::string, std::string>& env = {}, int timeoutSeconds = 60);

struct Pcm {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples; // interleaved
    size_t frames() const { return channels ? samples.size() / static_cast<size_t>(channels) : 0; }
    // The samples of one channel.
    std::vector<int16_t> channel(int c) const;
};

// A 16-bit PCM WAV file as its header says; fails the test (and returns empty) when it is no such file.
Pcm readWav(const std::filesystem::path& file);

// FFmpeg's decode (libavformat and libavcodec): the audio stream of the file whose stream id is id
// (the AC3 sub-stream id of a VOB), or the first audio stream when id is negative, with the
// decoder's options, converted to 16-bit at its own rate and channel count.
Pcm ffmpegDecode(const std::filesystem::path& file, int id,
                 const std::map<std::string, std::string>& options);
// The bytes of that stream as libavformat's demultiplexer gives them.
std::vector<uint8_t> ffmpegDemux(const std::filesystem::path& file, int id);

// An AC3 stream made by FFmpeg's encoder from signal(channel, sample index) (values within +-1), in
// the default layout of the channel count (6: front left, right, centre, LFE, two surrounds).
std::vector<uint8_t> encodeAc3(int channels, int sampleRate, int bitRate, double seconds,
                               const std::function<double(int, int64_t)>& signal);

// The largest difference between two sample runs of the same length (the longer's extra samples count
// as a difference of 65536).
int largestDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b);
// The root mean square of a run.
double rms(const std::vector<int16_t>& samples);
// The least-squares factor k in a = k * b, and the root mean square of what remains.
struct Fit {
    double factor = 0;
    double residual = 0;
};
Fit fitScale(const std::vector<int16_t>& a, const std::vector<double>& b);

// The times (seconds from the first sample) at which the first channel's tone starts after at least
// 50 ms of silence.
std::vector<double> toneStarts(const Pcm& pcm);

// A program folder with the built tools in extern/.
void installTools(ProgramFolder& folder, const std::vector<std::string>& programs);

} // namespace kes::test
