// The video alone, on the natural-picture DVD title of bench/support: our converter's two DivX 4
// passes as the rip runs them ("Slowest" codec effort, 900 kbit/s, a key frame every 250 frames,
// resized to 640x352) against HandBrake and ffmpeg making the same video without sound:
//   ours:      mpeg2avipx3.exe -b vob.lst -a -f2 -3X 640 -3Y 352 -o8 OUT   (first pass, then second)
//   HandBrake: HandBrakeCLI -e mpeg4 -b 900 -2 -w 640 -l 352 (no crop, square pixels) -a none
//   ffmpeg:    two passes of mpeg4 at 900k, -g 250 -bf 0, scale to 640x352, no sound
// Whole processes in turn, RUNS rounds, each one's median time; then the time against HandBrake's,
// the bit rate's error against 900 kbit/s, and PSNR and SSIM against the DVD's pictures at 640x352.
//
//   bench_converter_natural [--dir FOLDER] [--title-dir FOLDER] [--seconds S] [--runs N] [--effort 1..5]
//                           [--keep]
// (--effort: the codec's effort level for ours, 1 "Fastest" to 5 "Slowest", the default)
// (bench/converter/natural.sh installs the reference programs and runs it)

#include "bench/support/bench_tools.h"
#include "bench/support/contest.h"
#include "bench/support/natural_title.h"

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

constexpr int VideoKbps = kes::bench::JobVideoKbps;
constexpr int Width = kes::bench::JobWidth;
constexpr int Height = kes::bench::JobHeight;
constexpr int KeyInterval = kes::bench::JobKeyInterval;

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

} // namespace

int main(int argc, char** argv) {
    fs::path dir = fs::temp_directory_path() / "kes-bench-converter-natural";
    fs::path titleDir = fs::temp_directory_path() / "kes-bench-title";
    double seconds = 600.0;
    int runs = 3;
    uint32_t effort = kes::bench::SlowestCodecQuality;
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
        else if (a == "--effort" && i + 1 < argc)
            effort = static_cast<uint32_t>(std::clamp(std::atoi(argv[++i]), 1, 5));
        else if (a == "--keep")
            keep = true;
        else
            fail(
                "usage: bench_converter_natural [--dir FOLDER] [--title-dir FOLDER] [--seconds S] [--runs N] "
                "[--effort 1..5] [--keep]");
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const kes::bench::NaturalTitle title = kes::bench::naturalTitle(titleDir, seconds);
    fs::remove_all(dir);
    fs::create_directories(dir / "ours");
    setenv("KESTROVA_REGISTRY", (dir / "registry").c_str(), 1);
    platform::core::registry::writeDword(platform::core::RootKey::CurrentUser, kes::bench::CodecKey,
                                         "Quality", effort);
    std::printf("ours: codec effort %u of 5\n", effort);
    const fs::path list = dir / "vob.lst";
    {
        std::ofstream out(list, std::ios::binary | std::ios::trunc);
        for (const auto& vob : title.vobs)
            out << vob.string() << "\r\n";
    }
    std::vector<kes::bench::Contender> contenders = {
        {"ours", {"sh", "-c", ourJob(dir, list, dir / "ours")}, dir / "ours" / "movie.avi", {}},
        kes::bench::handBrake(title, dir / "handbrake.mkv", false),
        kes::bench::ffmpegTwoPass(title, dir, dir / "ffmpeg.avi", false)};
    kes::bench::runInTurn(contenders, runs, dir);
    kes::bench::printTable(contenders, "HandBrake", title, dir, false);
    if (!keep)
        fs::remove_all(dir);
    return 0;
}
