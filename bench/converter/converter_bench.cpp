// The converter on a 10-minute generated PAL VOB set (MPEG-2 at a DVD bit rate), as the rip runs it,
// against ffmpeg's MPEG-4 encoder on the same bytes with the same bit rate and key-frame interval:
//   ours:   mpeg2avipx3.exe -b vob.lst -a -f2 -o8 OUT      (DivX 4, 1-pass, R kbit/s, key frame each 250)
//   ffmpeg: ffmpeg -i set.vob -an -c:v mpeg4 -vtag DIVX -b:v R -g 250 out.avi
// then our two passes at the same rate. Prints the times and their ratio (ours / ffmpeg's, goal at
// most 1), the PSNR of each output against the decoded source (ffmpeg's psnr filter; goal: ours no
// more than 0.2 dB below), and the 2-pass video bit rate's error against R (goal within 1 %).
//
//   bench_converter [--dir FOLDER] [--rate KBPS] [--seconds S] [--keep]
//
// The set is generated once into FOLDER (kept between runs when --keep is given).

#include "bench/support/bench_tools.h"

#include "platform/core/registry.h"
#include "platform/ui/dialog_script.h"
#include "tests/support/vobgen.h"
#include "tests/support/vobgen_video.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kKeyInterval = 250;
constexpr int kSourceBitRate = 6000000;
constexpr size_t kPacksPerFile = 524288; // 1 GiB files, as on a disc
constexpr const char* kCodecKey = "Software\\DivXNetworks\\DivX4Windows";
// The codec's "Performance/quality" settings compared: the main program's default ("Slowest") and
// the one whose motion search and mode decision are nearest ffmpeg's defaults ("Fastest").
constexpr uint32_t kQualities[] = {5, 1};

using kes::bench::fail;
using kes::bench::secondsSince;
using kes::bench::timed;

// ffmpeg's average PSNR of a file against the set's decoded video.
double psnr(const fs::path& file, const fs::path& set, const fs::path& dir) {
    return kes::bench::psnr(file, set.string(), dir, false);
}

// The video stream's bit rate in kbit/s from its packet sizes and frame count (ffprobe).
double videoKbps(const fs::path& file, const fs::path& dir, double fps) {
    const fs::path sizes = dir / "sizes.txt";
    const std::string command =
        "ffprobe -v error -select_streams v:0 -show_entries packet=size -of csv=p=0 '" + file.string() +
        "' > '" + sizes.string() + "'";
    if (std::system(command.c_str()) != 0)
        fail("ffprobe failed on " + file.string());
    std::ifstream in(sizes);
    double bytes = 0, packets = 0;
    for (std::string line; std::getline(in, line);) {
        bytes += std::atof(line.c_str());
        ++packets;
    }
    return packets > 0 ? bytes * 8.0 / (packets / fps) / 1000.0 : 0.0;
}

std::string divx4Line(int kbps, const std::string& mode, const std::string& log) {
    std::string line =
        "WI00:ICCompressorChoose \"CB00:DivX Codec 4.\" BT04: WI01: ED00:" + std::to_string(kbps) +
        " ED06:" + std::to_string(kKeyInterval) + " \"CB01:" + mode + "\" ";
    if (!log.empty())
        line += " \"ED07:" + log + "\" ";
    return line + "BT00: WI00: BT02: QU00:";
}

double convert(const fs::path& dir, const kes::test::VobSet& set, int kbps, const std::string& mode,
               const std::string& log, const fs::path& out) {
    const fs::path script = dir / "dialog.script";
    platform::ui::testing::writeScriptFile(script.string(), {divx4Line(kbps, mode, log)});
    setenv(platform::ui::testing::ScriptEnv, script.c_str(), 1);
    fs::create_directories(out);
    const double t = timed({std::string(KES_BENCH_EXTERN_DIR) + "/mpeg2avipx3.exe", "-b", set.list.string(),
                            "-a", "-f2", "-o8", out.string()},
                           (dir / "converter.txt").string());
    unsetenv(platform::ui::testing::ScriptEnv);
    return t;
}

} // namespace

int main(int argc, char** argv) {
    fs::path dir = fs::temp_directory_path() / "kes-bench-converter";
    int kbps = 1200;
    double seconds = 600.0;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--rate" && i + 1 < argc)
            kbps = std::atoi(argv[++i]);
        else if (a == "--seconds" && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (a == "--keep")
            keep = true;
        else
            fail("usage: bench_converter [--dir FOLDER] [--rate KBPS] [--seconds S] [--keep]");
    }
    setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is known
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    fs::create_directories(dir);
    const fs::path vobs = dir / "vobs";
    kes::test::VobVideoSpec video;
    video.bitRate = kSourceBitRate;
    video.threads = 8;
    kes::test::VobSpec spec;
    spec.seconds = seconds;
    spec.videoMaker = kes::test::mpeg2Video(video);
    spec.audio = {kes::test::VobAudioStream{}};
    spec.packsPerFile = kPacksPerFile;
    const auto madeAt = std::chrono::steady_clock::now();
    fs::create_directories(vobs);
    const kes::test::VobSet set = kes::test::writeVobSet(vobs, spec);
    const fs::path whole = dir / "set.vob";
    {
        std::ofstream out(whole, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(set.bytes.data()),
                  static_cast<std::streamsize>(set.bytes.size()));
    }
    std::printf("set: %.0f s of PAL MPEG-2 at %d kbit/s, %zu files, made in %.1f s\n", seconds,
                kSourceBitRate / 1000, set.files.size(), secondsSince(madeAt));

    const fs::path theirs = dir / "ffmpeg.avi";
    const double theirTime = timed({"ffmpeg", "-nostdin", "-y", "-hide_banner", "-i", whole.string(), "-an",
                                    "-c:v", "mpeg4", "-vtag", "DIVX", "-b:v", std::to_string(kbps) + "k",
                                    "-g", std::to_string(kKeyInterval), theirs.string()},
                                   (dir / "ffmpeg.txt").string());
    const double theirPsnr = psnr(theirs, whole, dir);
    std::printf("ffmpeg 1-pass at %d kbit/s: %.1f s, %.1f kbit/s, PSNR %.2f dB\n", kbps, theirTime,
                videoKbps(theirs, dir, 25.0), theirPsnr);
    const fs::path ours = dir / "ours";
    setenv("KESTROVA_REGISTRY", (dir / "registry").c_str(), 1);
    for (const uint32_t quality : kQualities) {
        platform::core::registry::writeDword(platform::core::RootKey::CurrentUser, kCodecKey, "Quality",
                                             quality);
        const double ourTime = convert(dir, set, kbps, "1-pass", "", ours);
        const double ourPsnr = psnr(ours / "movie.avi", whole, dir);
        std::printf(
            "ours, Quality %u, 1-pass: %.1f s, %.1f kbit/s, PSNR %.2f dB; time ratio %.2f (goal <= 1.00), "
            "PSNR difference %+.2f dB (goal >= -0.20)\n",
            quality, ourTime, videoKbps(ours / "movie.avi", dir, 25.0), ourPsnr, ourTime / theirTime,
            ourPsnr - theirPsnr);
    }
    platform::core::registry::writeDword(platform::core::RootKey::CurrentUser, kCodecKey, "Quality",
                                         kQualities[0]);

    const std::string log = (dir / "movie.log").string();
    const double first = convert(dir, set, kbps, "2-pass, first pass", log, ours);
    const double second = convert(dir, set, kbps, "2-pass, second pass", log, ours);
    const double rate = videoKbps(ours / "movie.avi", dir, 25.0);
    std::printf(
        "2-pass: %.1f s + %.1f s, bit rate %.1f kbit/s, error %+.2f %% (goal within 1 %%), PSNR %.2f dB\n",
        first, second, rate, (rate - kbps) * 100.0 / kbps, psnr(ours / "movie.avi", whole, dir));
    if (!keep)
        fs::remove_all(dir);
    return 0;
}
