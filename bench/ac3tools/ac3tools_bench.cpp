// The AC3 tools on a 10-minute generated VOB set, as the rip runs them, against
// `ffmpeg -i set.vob -map 0:a:0 out.wav` on the same bytes:
//   - "ac3dec.exe" over every VOB of the title (-allvob) into a WAV file;
//   - "bbdmux.exe" once per VOB, the pieces joined as the rip joins them, then "azid.exe".
//
//   bench_ac3tools [--dir FOLDER] [--runs N] [--keep]
//
// The set (4 Mbit/s of video, a 448 kbit/s 5.1 AC3 stream and a second 192 kbit/s one) is written as
// numbered files and as one set.vob for ffmpeg, and read once to warm the page cache. Each side runs N
// times (1 by default), best time counted. Prints the times and the ratios of ffmpeg's time to ours;
// the goal is at least 1.

#include "tests/support/vobgen.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr double kSeconds = 600.0;
constexpr int kVideoBytesPerSecond = 500000;
constexpr size_t kPacksPerFile = 65536; // 128 MiB files
constexpr double kGoal = 1.0;
constexpr size_t kJoinBlock = 1 << 20;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "bench_ac3tools: %s\n", what.c_str());
    std::exit(1);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void run(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        fail("cannot start " + args[0]);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(args[0] + " failed");
}

void warmCache(const std::vector<fs::path>& files) {
    std::vector<char> buffer(kJoinBlock);
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
        }
    }
}

// The join of the rip: the pieces appended to audio.ac3 in 1 MiB blocks, each piece deleted after.
void join(const std::vector<fs::path>& pieces, const fs::path& joined) {
    std::ofstream out(joined, std::ios::binary | std::ios::trunc);
    std::vector<char> buffer(kJoinBlock);
    for (const auto& piece : pieces) {
        std::ifstream in(piece, std::ios::binary);
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
            out.write(buffer.data(), in.gcount());
        in.close();
        fs::remove(piece);
    }
    if (!out)
        fail("the join failed");
}

template <typename Work>
double best(int runs, Work work) {
    double fastest = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        fastest = std::min(fastest, secondsSince(start));
    }
    return fastest;
}

} // namespace

int main(int argc, char** argv) {
    fs::path dir = fs::temp_directory_path() / "kes-bench-ac3tools";
    int runs = 1;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (arg == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--keep")
            keep = true;
        else
            fail("usage: bench_ac3tools [--dir FOLDER] [--runs N] [--keep]");
    }
    fs::create_directories(dir);
    const fs::path ext = KES_BENCH_EXTERN_DIR;

    std::printf("generating a %.0f-minute set in %s ...\n", kSeconds / 60, dir.c_str());
    kes::test::VobSpec spec;
    spec.seconds = kSeconds;
    spec.videoBytesPerSecond = kVideoBytesPerSecond;
    spec.packsPerFile = kPacksPerFile;
    spec.audio = {kes::test::VobAudioStream{}, kes::test::VobAudioStream{}};
    spec.audio[0].channels = 6;
    spec.audio[0].bitRate = 448000;
    spec.audio[1].id = 0x81;
    const kes::test::VobSet set = kes::test::writeVobSet(dir, spec);
    const fs::path whole = dir / "set.vob";
    {
        std::ofstream out(whole, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(set.bytes.data()),
                  static_cast<std::streamsize>(set.bytes.size()));
        if (!out)
            fail("cannot write set.vob");
    }
    std::vector<fs::path> all = set.files;
    all.push_back(whole);
    warmCache(all);
    std::printf("%zu VOB files, %.1f MiB\n", set.files.size(),
                static_cast<double>(set.bytes.size()) / (1 << 20));

    const double ffmpeg = best(runs, [&] {
        run({"ffmpeg", "-loglevel", "error", "-y", "-i", whole.string(), "-map", "0:a:0",
             (dir / "ffmpeg.wav").string()});
    });
    const double ac3dec = best(runs, [&] {
        run({(ext / "ac3dec.exe").string(), set.files[0].string(), "-allvob", "-substream", "0x80",
             "[English]", "-overwrite", "-pcmwav", (dir / "ac3dec.wav").string()});
    });
    const double azid = best(runs, [&] {
        std::vector<fs::path> pieces;
        for (size_t i = 0; i < set.files.size(); ++i) {
            pieces.push_back(dir / ("audio" + std::to_string(i + 1) + ".ac3"));
            run({(ext / "bbdmux.exe").string(), set.files[i].string(), "0xbd", pieces.back().string(), "0x80",
                 "[English]"});
        }
        join(pieces, dir / "audio.ac3");
        run({(ext / "azid.exe").string(), "-c", "normal", "-L", "-3dB", (dir / "audio.ac3").string(),
             (dir / "azid.wav").string()});
    });

    std::printf("ffmpeg -i set.vob -map 0:a:0 out.wav      %8.3f s\n", ffmpeg);
    std::printf("ac3dec.exe -allvob                         %8.3f s   ratio %.2f\n", ac3dec, ffmpeg / ac3dec);
    std::printf("bbdmux.exe per VOB + join + azid.exe       %8.3f s   ratio %.2f\n", azid, ffmpeg / azid);
    std::printf("goal: ratio >= %.1f\n", kGoal);
    if (!keep)
        fs::remove_all(dir);
    return 0;
}
