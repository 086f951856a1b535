#include "bench/support/title_measure.h"

#include "bench/support/bench_tools.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <sstream>
#include <tuple>
#include <utility>

namespace kes::bench {

namespace fs = std::filesystem;

namespace {

constexpr int MeasureRate = 48000;
constexpr double FlashLuma = 200.0; // the mark's white picture; photographs average far below
constexpr double ToneHz = 1000.0;
constexpr int ToneWindow = 96; // 2 ms
constexpr int ToneHop = 24;    // 0.5 ms
constexpr double SearchSeconds = 0.5;
constexpr int MaxShift = 2; // frames
constexpr int ShiftProbeFrames = 250;

double figureAfter(const std::string& text, const std::string& key) {
    const size_t at = text.rfind(key);
    if (at == std::string::npos)
        return -1;
    return std::atof(text.c_str() + at + key.size());
}

// The stream's start in seconds as the container stamps it (ffprobe), 0 when it has none.
double startTime(const std::string& input, const std::string& stream, const fs::path& dir) {
    const fs::path out = dir / "start.txt";
    const std::string command = "ffprobe -v error -select_streams " + stream +
                                " -show_entries stream=start_time -of csv=p=0 '" + input + "' > '" +
                                out.string() + "'";
    if (std::system(command.c_str()) != 0)
        fail("ffprobe failed on " + input);
    return std::atof(readText(out).c_str());
}

// The times (container seconds) of the white pictures of the first video stream.
std::vector<double> flashTimes(const std::string& input, const fs::path& dir) {
    const fs::path stats = dir / "luma.txt";
    timed({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-copyts", "-i", input, "-map",
           "0:v:0", "-vf",
           "signalstats,metadata=mode=print:key=lavfi.signalstats.YAVG:file=" + stats.string(), "-f", "null",
           "-"});
    std::ifstream in(stats);
    std::vector<double> flashes;
    double time = 0;
    bool inFlash = false;
    for (std::string line; std::getline(in, line);) {
        const size_t at = line.find("pts_time:");
        if (at != std::string::npos) {
            time = std::atof(line.c_str() + at + 9);
            continue;
        }
        const size_t eq = line.find("YAVG=");
        if (eq == std::string::npos)
            continue;
        const bool white = std::atof(line.c_str() + eq + 5) > FlashLuma;
        if (white && !inFlash)
            flashes.push_back(time);
        inFlash = white;
    }
    return flashes;
}

double goertzel(const short* x, int n, double coefficient) {
    double s1 = 0, s2 = 0;
    for (int i = 0; i < n; ++i) {
        const double s = x[i] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

} // namespace

namespace {

// PSNR and SSIM of the movie's pictures against the title's, the movie's frame shift + k paired with
// the title's frame k (a negative shift pairs the title's frame -shift with the movie's first), over
// at most frames pairs (0: all).
std::pair<double, double> compare(const fs::path& movie, const NaturalTitle& title, int width, int height,
                                  int shift, int frames, const fs::path& dir) {
    const fs::path log = dir / "quality.txt";
    const std::string size = std::to_string(width) + ":" + std::to_string(height);
    const std::string movieTrim = shift > 0 ? "trim=start_frame=" + std::to_string(shift) + "," : "";
    const std::string titleTrim = shift < 0 ? "trim=start_frame=" + std::to_string(-shift) + "," : "";
    const std::string graph = "[0:v]" + movieTrim + "setpts=PTS-STARTPTS,split[a1][a2];[1:v]" + titleTrim +
                              "scale=" + size +
                              ":flags=bicubic,setpts=PTS-STARTPTS,split[b1][b2];[a1][b1]psnr[p];"
                              "[a2][b2]ssim[s]";
    std::vector<std::string> command = {"ffmpeg", "-nostdin",     "-hide_banner",    "-i", movie.string(),
                                        "-i",     title.concat(), "-filter_complex", graph};
    for (const char* out : {"[p]", "[s]"}) {
        command.insert(command.end(), {"-map", out});
        if (frames > 0)
            command.insert(command.end(), {"-frames:v", std::to_string(frames)});
        command.insert(command.end(), {"-f", "null", "-"});
    }
    timed(command, log.string());
    const std::string text = readText(log);
    const double psnr = figureAfter(text, "average:"), ssim = figureAfter(text, "All:");
    if (psnr < 0 || ssim < 0)
        fail("no PSNR or SSIM in " + log.string());
    return {psnr, ssim};
}

} // namespace

PictureQuality pictureQuality(const fs::path& movie, const NaturalTitle& title, int width, int height,
                              const fs::path& dir) {
    // A tool that starts its video with a repeated picture (to meet its sound) is paired from the
    // picture it shows at that instant: the shift that fits the first stretch best.
    PictureQuality q;
    double best = -1;
    for (int shift = -MaxShift; shift <= MaxShift; ++shift) {
        const double psnr = compare(movie, title, width, height, shift, ShiftProbeFrames, dir).first;
        if (psnr > best) {
            best = psnr;
            q.shift = shift;
        }
    }
    std::tie(q.psnr, q.ssim) = compare(movie, title, width, height, q.shift, 0, dir);
    const fs::path frames = dir / "frames.txt";
    const std::string count = "ffprobe -v error -select_streams v:0 -count_packets -show_entries "
                              "stream=nb_read_packets -of csv=p=0 '" +
                              movie.string() + "' > '" + frames.string() + "'";
    if (std::system(count.c_str()) == 0)
        q.frames = std::atol(readText(frames).c_str());
    return q;
}

StreamBytes streamBytes(const fs::path& file, const std::string& stream, const fs::path& dir) {
    const fs::path sizes = dir / "sizes.txt";
    const std::string command = "ffprobe -v error -select_streams " + stream +
                                " -show_entries packet=size,duration_time -of csv=p=0 '" + file.string() +
                                "' > '" + sizes.string() + "'";
    if (std::system(command.c_str()) != 0)
        fail("ffprobe failed on " + file.string());
    std::ifstream in(sizes);
    StreamBytes s;
    for (std::string line; std::getline(in, line);) {
        const size_t comma = line.find(',');
        s.seconds += std::atof(line.c_str()); // ffprobe prints the duration first
        if (comma != std::string::npos)
            s.bytes += std::atof(line.c_str() + comma + 1);
    }
    return s;
}

double Offsets::mean() const {
    double sum = 0;
    for (const double v : ms)
        sum += v;
    return ms.empty() ? 0.0 : sum / static_cast<double>(ms.size());
}

double Offsets::worst() const {
    double w = 0;
    for (const double v : ms)
        if (std::fabs(v) > std::fabs(w))
            w = v;
    return w;
}

std::vector<double> toneOnsets(const std::vector<short>& samples, int rate, const std::vector<double>& near) {
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * ToneHz / rate);
    std::vector<double> onsets;
    for (const double t : near) {
        const long from = std::max(0L, std::lround((t - SearchSeconds) * rate));
        const long to =
            std::min(static_cast<long>(samples.size()) - ToneWindow, std::lround((t + SearchSeconds) * rate));
        std::vector<double> power;
        for (long i = from; i < to; i += ToneHop)
            power.push_back(goertzel(samples.data() + i, ToneWindow, coefficient));
        if (power.empty()) {
            onsets.push_back(-1);
            continue;
        }
        std::vector<double> sorted = power;
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        const double floor = sorted[sorted.size() / 2];
        const double peak = *std::max_element(power.begin(), power.end());
        // The onset: where the tone's power first reaches a tenth of its peak, far above the bed.
        double found = -1;
        if (peak > 100 * floor)
            for (size_t k = 0; k < power.size(); ++k)
                if (power[k] > peak / 10) {
                    found =
                        static_cast<double>(from + static_cast<long>(k) * ToneHop + ToneWindow / 2) / rate;
                    break;
                }
        onsets.push_back(found);
    }
    return onsets;
}

Offsets markOffsets(const std::string& input, const fs::path& dir) {
    const std::vector<double> flashes = flashTimes(input, dir);
    const fs::path raw = dir / "marks.raw";
    timed({"ffmpeg", "-nostdin", "-y", "-hide_banner", "-loglevel", "error", "-i", input, "-map", "0:a:0",
           "-ac", "1", "-ar", std::to_string(MeasureRate), "-f", "s16le", raw.string()},
          (dir / "marks.txt").string());
    std::vector<short> samples(fs::file_size(raw) / sizeof(short));
    std::ifstream(raw, std::ios::binary)
        .read(reinterpret_cast<char*>(samples.data()),
              static_cast<std::streamsize>(samples.size() * sizeof(short)));
    fs::remove(raw);
    const double audioStart = startTime(input, "a:0", dir);
    std::vector<double> near;
    for (const double f : flashes)
        near.push_back(f - audioStart);
    const std::vector<double> onsets = toneOnsets(samples, MeasureRate, near);
    Offsets offsets;
    for (size_t i = 0; i < flashes.size(); ++i)
        if (onsets[i] >= 0)
            offsets.ms.push_back((onsets[i] + audioStart - flashes[i]) * 1000.0);
    return offsets;
}

} // namespace kes::bench
