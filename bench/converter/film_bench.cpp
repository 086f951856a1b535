// The converter on an NTSC film title as nearly every film disc carries it (progressive pictures at
// 24000/1001 coded as 30000/1001 video with repeated first fields, authored by dvdauthor), made into a
// film-rate AVI, against ffmpeg making the same from the same VOB with the same settings:
//   ours:   mpeg2avipx3.exe -b vob.lst -a -f5 -o8 OUT    (DivX 4, 1-pass, R kbit/s, key frame each 250)
//   ffmpeg: ffmpeg -i VTS_01_1.VOB -an -r 24000/1001 -c:v mpeg4 -vtag DIVX -b:v R -g 250 out.avi
// Prints each one's time and the ratio (ours / ffmpeg's), and, since every picture carries its
// number, how many output frames show exactly the film picture due at their time, and the PSNR
// against the source's pictures taken in order.
//
//   bench_converter_film [--dir FOLDER] [--rate KBPS] [--seconds S] [--runs N] [--keep]

#include "bench/support/bench_tools.h"

#include "platform/core/registry.h"
#include "platform/ui/dialog_script.h"
#include "tests/outside/mpeg2avi/avi_probe.h"
#include "tests/support/film_title.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kKeyInterval = 250;
constexpr int kSourceBitRate = 6000000;
constexpr int kFilmGop = 15;
constexpr const char* kCodecKey = "Software\\DivXNetworks\\DivX4Windows";
// The codec's "Performance/quality" settings compared: the main program's default ("Slowest") and
// the one whose motion search and mode decision are nearest ffmpeg's defaults ("Fastest").
constexpr uint32_t kQualities[] = {5, 1};

using kes::bench::fail;
using kes::bench::secondsSince;
using kes::bench::timed;

std::string divx4Line(int kbps) {
    return "WI00:ICCompressorChoose \"CB00:DivX Codec 4.\" BT04: WI01: ED00:" + std::to_string(kbps) +
           " ED06:" + std::to_string(kKeyInterval) + " \"CB01:1-pass\" BT00: WI00: BT02: QU00:";
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Output frame k shows film picture k: how many do, of how many frames.
struct Matched {
    size_t matched = 0, frames = 0;
    int decoderErrors = 0;
};
Matched matched(const fs::path& movie) {
    const kes::test::NumberedFrames numbers = kes::test::readFrameNumbers(movie);
    Matched m;
    m.frames = numbers.numbers.size();
    m.decoderErrors = numbers.decoderErrors;
    for (size_t k = 0; k < numbers.numbers.size(); ++k)
        m.matched += numbers.numbers[k] == static_cast<int>(k);
    return m;
}

void report(const char* who, double seconds, double ratio, const Matched& m, double psnr) {
    std::printf("| %s | %.1f s | %.2f | %zu of %zu | %d | %.2f dB |\n", who, seconds, ratio, m.matched,
                m.frames, m.decoderErrors, psnr);
}

} // namespace

int main(int argc, char** argv) {
    fs::path dir = fs::temp_directory_path() / "kes-bench-converter-film";
    int kbps = 1200;
    double seconds = 120.0;
    int runs = 1;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--rate" && i + 1 < argc)
            kbps = std::atoi(argv[++i]);
        else if (a == "--seconds" && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--keep")
            keep = true;
        else
            fail(
                "usage: bench_converter_film [--dir FOLDER] [--rate KBPS] [--seconds S] [--runs N] [--keep]");
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    fs::remove_all(dir);
    fs::create_directories(dir / "ours");
    kes::test::FilmTitleSpec spec;
    spec.layout = kes::test::FilmLayout::SoftTelecine;
    spec.pictures = static_cast<int>(seconds * 24000 / 1001) / 4 * 4;
    spec.gopSize = kFilmGop;
    spec.bitRate = kSourceBitRate;
    const auto madeAt = std::chrono::steady_clock::now();
    const kes::test::FilmTitle title = kes::test::makeFilmTitle(dir / "title", spec);
    std::printf("title: %d film pictures (%.0f s) soft-telecined in %zu VOB file(s), made in %.1f s\n",
                spec.pictures, spec.pictures * 1001.0 / 24000, title.vobs.size(), secondsSince(madeAt));
    const std::string vob = title.vobs.front().string();

    const fs::path theirs = dir / "ffmpeg.avi";
    std::vector<double> theirTimes;
    for (int r = 0; r < runs; ++r)
        theirTimes.push_back(
            timed({"ffmpeg", "-nostdin", "-y", "-hide_banner", "-i", vob, "-an", "-r", "24000/1001", "-c:v",
                   "mpeg4", "-vtag", "DIVX", "-b:v", std::to_string(kbps) + "k", "-g",
                   std::to_string(kKeyInterval), theirs.string()},
                  (dir / "ffmpeg.txt").string()));
    const double theirTime = median(theirTimes);
    std::printf(
        "\n| 1-pass at %d kbit/s | time (median of %d) | x ffmpeg | frames showing their own picture | "
        "decoder errors | PSNR |\n|---|---|---|---|---|---|\n",
        kbps, runs);
    report("ffmpeg -r 24000/1001", theirTime, 1.0, matched(theirs), kes::bench::psnr(theirs, vob, dir, true));

    setenv("KESTROVA_REGISTRY", (dir / "registry").c_str(), 1);
    const fs::path script = dir / "dialog.script";
    platform::ui::testing::writeScriptFile(script.string(), {divx4Line(kbps)});
    const fs::path ours = dir / "ours" / "movie.avi";
    for (const uint32_t quality : kQualities) {
        platform::core::registry::writeDword(platform::core::RootKey::CurrentUser, kCodecKey, "Quality",
                                             quality);
        setenv(platform::ui::testing::ScriptEnv, script.c_str(), 1);
        std::vector<double> times;
        for (int r = 0; r < runs; ++r)
            times.push_back(timed({std::string(KES_BENCH_EXTERN_DIR) + "/mpeg2avipx3.exe", "-b",
                                   title.list.string(), "-a", "-f5", "-o8", (dir / "ours").string()},
                                  (dir / "converter.txt").string()));
        unsetenv(platform::ui::testing::ScriptEnv);
        const double t = median(times);
        const std::string who = "ours -f5, Quality " + std::to_string(quality);
        report(who.c_str(), t, t / theirTime, matched(ours), kes::bench::psnr(ours, vob, dir, true));
    }
    if (!keep)
        fs::remove_all(dir);
    return 0;
}
