// The video alone, on the natural-picture DVD title of bench/support: our converter's two DivX 4
// passes as the rip runs them ("Slowest" codec effort, 900 kbit/s, a key frame every 250 frames,
// resized to 640x352) against HandBrake and ffmpeg making the same video without sound:
//   ours:      mpeg2avipx3.exe -b vob.lst -a -f2 -3X 640 -3Y 352 -o8 OUT   (first pass, then second)
//   HandBrake: HandBrakeCLI -e mpeg4 -b 900 -2 -w 640 -l 352 (no crop, square pixels) -a none
//   ffmpeg:    two passes of mpeg4 at 900k, -g 250 -bf 0, scale to 640x352, no sound
// Whole processes in turn, RUNS rounds, each one's median time; then the time against HandBrake's,
// the bit rate's error against 900 kbit/s, and PSNR and SSIM against the DVD's pictures at 640x352.
//
//   bench_converter_natural [--dir FOLDER] [--title-dir FOLDER] [--seconds S] [--runs N] [--keep]
// (bench/converter/natural.sh installs the reference programs and runs it)

#include "bench/support/bench_tools.h"
#include "bench/support/natural_title.h"
#include "bench/support/title_measure.h"

#include "platform/core/registry.h"
#include "platform/ui/dialog_script.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int VideoKbps = 900;
constexpr int Width = 640;
constexpr int Height = 352;
constexpr int KeyInterval = 250;
constexpr const char* CodecKey = "Software\\DivXNetworks\\DivX4Windows";
constexpr uint32_t SlowestQuality = 5;

using kes::bench::fail;
using kes::bench::timed;

// The codec dialog's answers for one pass, as the automation line of the rip gives them.
std::string divx4Line(const std::string& mode, const std::string& log) {
    return "WI00:ICCompressorChoose \"CB00:DivX Codec 4.\" BT04: WI01: ED00:" + std::to_string(VideoKbps) +
           " ED06:" + std::to_string(KeyInterval) + " \"CB01:" + mode + "\"  \"ED07:" + log +
           "\" BT00: WI00: BT02: QU00:";
}

// Both passes of our converter in one shell, so that they are timed as one job.
std::string ourJob(const fs::path& dir, const fs::path& list, const fs::path& out) {
    const std::string log = (dir / "movie.log").string();
    const std::string converter = std::string(KES_BENCH_EXTERN_DIR) + "/mpeg2avipx3.exe -b '" +
                                  list.string() + "' -a -f2 -3X " + std::to_string(Width) + " -3Y " +
                                  std::to_string(Height) + " -o8 '" + out.string() + "'";
    std::string job;
    const char* passes[] = {"2-pass, first pass", "2-pass, second pass"};
    for (int i = 0; i < 2; ++i) {
        const fs::path script = dir / ("pass" + std::to_string(i + 1) + ".script");
        platform::ui::testing::writeScriptFile(script.string(), {divx4Line(passes[i], log)});
        job += std::string(i ? " && " : "") + platform::ui::testing::ScriptEnv + "='" + script.string() +
               "' " + converter;
    }
    return job;
}

std::string ffmpegJob(const kes::bench::NaturalTitle& title, const fs::path& dir, const fs::path& movie) {
    const std::string input = "-nostdin -y -loglevel error -i '" + title.concat() +
                              "' -map 0:v:0 -vf scale=" + std::to_string(Width) + ":" +
                              std::to_string(Height) + " -c:v mpeg4 -vtag DIVX -b:v " +
                              std::to_string(VideoKbps) + "k -g " + std::to_string(KeyInterval) +
                              " -bf 0 -an -passlogfile '" + (dir / "ffmpeg2pass").string() + "'";
    return "ffmpeg " + input + " -pass 1 -f null /dev/null && ffmpeg " + input + " -pass 2 '" +
           movie.string() + "'";
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

struct Tool {
    std::string name;
    std::vector<std::string> command;
    fs::path movie;
    std::vector<double> times;
};

} // namespace

int main(int argc, char** argv) {
    fs::path dir = fs::temp_directory_path() / "kes-bench-converter-natural";
    fs::path titleDir = fs::temp_directory_path() / "kes-bench-title";
    double seconds = 600.0;
    int runs = 3;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--title-dir" && i + 1 < argc)
            titleDir = argv[++i];
        else if (a == "--seconds" && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--keep")
            keep = true;
        else
            fail(
                "usage: bench_converter_natural [--dir FOLDER] [--title-dir FOLDER] [--seconds S] [--runs N] "
                "[--keep]");
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const kes::bench::NaturalTitle title = kes::bench::naturalTitle(titleDir, seconds);
    fs::remove_all(dir);
    fs::create_directories(dir / "ours");
    setenv("KESTROVA_REGISTRY", (dir / "registry").c_str(), 1);
    platform::core::registry::writeDword(platform::core::RootKey::CurrentUser, CodecKey, "Quality",
                                         SlowestQuality);
    const fs::path list = dir / "vob.lst";
    {
        std::ofstream out(list, std::ios::binary | std::ios::trunc);
        for (const auto& vob : title.vobs)
            out << vob.string() << "\r\n";
    }
    const fs::path hb = dir / "handbrake.mkv", ff = dir / "ffmpeg.avi";
    std::vector<Tool> tools = {
        {"ours", {"sh", "-c", ourJob(dir, list, dir / "ours")}, dir / "ours" / "movie.avi", {}},
        {"HandBrake",
         {"HandBrakeCLI",
          "-i",
          title.videoTs.string(),
          "-t",
          "1",
          "-e",
          "mpeg4",
          "-b",
          std::to_string(VideoKbps),
          "-2",
          "-a",
          "none",
          "-w",
          std::to_string(Width),
          "-l",
          std::to_string(Height),
          "--crop",
          "0:0:0:0",
          "--custom-anamorphic",
          "--pixel-aspect",
          "1:1",
          "--no-keep-display-aspect",
          "-o",
          hb.string()},
         hb,
         {}},
        {"ffmpeg", {"sh", "-c", ffmpegJob(title, dir, ff)}, ff, {}}};
    for (int round = 0; round < runs; ++round) {
        for (auto& tool : tools) {
            tool.times.push_back(timed(tool.command, (dir / (tool.name + ".txt")).string()));
            std::printf("round %d: %s %.1f s\n", round + 1, tool.name.c_str(), tool.times.back());
        }
    }
    const fs::path work = dir / "measure";
    fs::create_directories(work);
    const double reference = median(tools[1].times);
    std::printf(
        "\n| video alone | time (median of %d) | x HandBrake | kbit/s | rate error | PSNR | SSIM | frames "
        "|\n|---|---|---|---|---|---|---|---|\n",
        runs);
    for (const auto& tool : tools) {
        const double t = median(tool.times);
        const double kbps = kes::bench::streamBytes(tool.movie, "v:0", work).kbps();
        const auto q = kes::bench::pictureQuality(tool.movie, title, Width, Height, work);
        std::printf("| %s | %.1f s | %.2f | %.1f | %+.2f %% | %.2f dB | %.4f | %ld |\n", tool.name.c_str(), t,
                    t / reference, kbps, (kbps - VideoKbps) * 100.0 / VideoKbps, q.psnr, q.ssim, q.frames);
    }
    if (!keep)
        fs::remove_all(dir);
    return 0;
}
