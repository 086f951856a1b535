#include "bench/support/contest.h"

#include "bench/support/bench_tools.h"
#include "bench/support/title_measure.h"

#include <algorithm>
#include <cstdio>

namespace kes::bench {

namespace fs = std::filesystem;

Contender handBrake(const NaturalTitle& title, const fs::path& movie, bool sound) {
    Contender c{"HandBrake",
                {"HandBrakeCLI",
                 "-i",
                 title.videoTs.string(),
                 "-t",
                 "1",
                 "-e",
                 "mpeg4",
                 "-b",
                 std::to_string(JobVideoKbps),
                 "-2",
                 "-w",
                 std::to_string(JobWidth),
                 "-l",
                 std::to_string(JobHeight),
                 "--crop",
                 "0:0:0:0",
                 "--custom-anamorphic",
                 "--pixel-aspect",
                 "1:1",
                 "--no-keep-display-aspect"},
                movie,
                {}};
    const std::vector<std::string> audio =
        sound ? std::vector<std::string>{"-E", "mp3", "-B", std::to_string(JobAudioKbps)}
              : std::vector<std::string>{"-a", "none"};
    c.command.insert(c.command.end(), audio.begin(), audio.end());
    c.command.insert(c.command.end(), {"-o", movie.string()});
    return c;
}

Contender ffmpegTwoPass(const NaturalTitle& title, const fs::path& dir, const fs::path& movie, bool sound) {
    const std::string input = "-nostdin -y -loglevel error -i '" + title.concat() +
                              "' -vf scale=" + std::to_string(JobWidth) + ":" + std::to_string(JobHeight) +
                              " -c:v mpeg4 -vtag DIVX -b:v " + std::to_string(JobVideoKbps) + "k -g " +
                              std::to_string(JobKeyInterval) + " -bf 0 -passlogfile '" +
                              (dir / "ffmpeg2pass").string() + "'";
    const std::string second =
        sound ? " -map 0:v:0 -map 0:a:0 -c:a libmp3lame -b:a " + std::to_string(JobAudioKbps) + "k -ac 2"
              : " -map 0:v:0 -an";
    return {"ffmpeg",
            {"sh", "-c",
             "ffmpeg " + input + " -pass 1 -an -f null /dev/null && ffmpeg " + input + " -pass 2" + second +
                 " '" + movie.string() + "'"},
            movie,
            {}};
}

void runInTurn(std::vector<Contender>& contenders, int runs, const fs::path& dir) {
    for (int round = 0; round < runs; ++round) {
        for (auto& c : contenders) {
            c.times.push_back(timed(c.command, (dir / (c.name + ".txt")).string()));
            std::printf("round %d: %s %.1f s\n", round + 1, c.name.c_str(), c.times.back());
        }
    }
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

void printTable(const std::vector<Contender>& contenders, const std::string& reference,
                const NaturalTitle& title, const fs::path& dir, bool marks) {
    const fs::path work = dir / "measure";
    fs::create_directories(work);
    double referenceTime = 0;
    for (const auto& c : contenders)
        if (c.name == reference)
            referenceTime = median(c.times);
    if (marks) {
        const auto source = markOffsets(title.concat(), work);
        std::printf("the DVD's own A/V offset at its %zu marks: %+.1f ms (worst %+.1f)\n", source.ms.size(),
                    source.mean(), source.worst());
    }
    std::printf("\n| | time (median of %zu) | x %s | video kbit/s | rate error | PSNR | SSIM | frames |%s\n"
                "|---|---|---|---|---|---|---|---|%s\n",
                contenders.empty() ? 0 : contenders.front().times.size(), reference.c_str(),
                marks ? " A/V offset at the marks |" : "", marks ? "---|" : "");
    for (const auto& c : contenders) {
        const double t = median(c.times);
        const double kbps = streamBytes(c.movie, "v:0", work).kbps();
        const auto q = pictureQuality(c.movie, title, JobWidth, JobHeight, work);
        std::printf("| %s | %.1f s | %.2f | %.1f | %+.2f %% | %.2f dB | %.4f | %ld (shift %+d) |",
                    c.name.c_str(), t, referenceTime > 0 ? t / referenceTime : 0.0, kbps,
                    (kbps - JobVideoKbps) * 100.0 / JobVideoKbps, q.psnr, q.ssim, q.frames, q.shift);
        if (marks) {
            const auto offsets = markOffsets(c.movie.string(), work);
            std::printf(" %+.1f ms (worst %+.1f, %zu marks) |", offsets.mean(), offsets.worst(),
                        offsets.ms.size());
        }
        std::printf("\n");
    }
}

} // namespace kes::bench
