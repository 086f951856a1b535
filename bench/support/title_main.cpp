// Makes the natural-picture benchmark title, and measures a movie made from it:
//   bench_title [--dir FOLDER] [--seconds S]                      makes the title (or finds it made)
//   bench_title [--dir FOLDER] [--seconds S] --check MOVIE [--size WxH]
// The check prints the movie's video and audio bit rates, PSNR and SSIM against the title's pictures
// scaled to WxH (default 640x352), and the audio/video offset at the marks of the title and the movie.

#include "bench/support/bench_tools.h"
#include "bench/support/natural_title.h"
#include "bench/support/title_measure.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / "kes-bench-title";
    double seconds = 600.0;
    std::string movie;
    int width = 640, height = 352;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--seconds" && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (a == "--check" && i + 1 < argc)
            movie = argv[++i];
        else if (a == "--size" && i + 1 < argc && std::sscanf(argv[i + 1], "%dx%d", &width, &height) == 2)
            ++i;
        else
            kes::bench::fail("usage: bench_title [--dir FOLDER] [--seconds S] [--check MOVIE [--size WxH]]");
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);
    const kes::bench::NaturalTitle title = kes::bench::naturalTitle(dir, seconds);
    std::printf("title: %s (%zu VOB files)\n", title.videoTs.c_str(), title.vobs.size());
    if (movie.empty())
        return 0;
    const fs::path work = dir / "check";
    fs::create_directories(work);
    const auto video = kes::bench::streamBytes(movie, "v:0", work);
    const auto audio = kes::bench::streamBytes(movie, "a:0", work);
    const auto q = kes::bench::pictureQuality(movie, title, width, height, work);
    std::printf(
        "video %.1f kbit/s, audio %.1f kbit/s, %ld frames (shift %+d); PSNR %.2f dB, SSIM %.4f at %dx%d\n",
        video.kbps(), audio.kbps(), q.frames, q.shift, q.psnr, q.ssim, width, height);
    const auto source = kes::bench::markOffsets(title.concat(), work);
    const auto ours = kes::bench::markOffsets(movie, work);
    std::printf(
        "A/V offset at the marks: title %+.1f ms (worst %+.1f, %zu marks), movie %+.1f ms (worst %+.1f, "
        "%zu marks)\n",
        source.mean(), source.worst(), source.ms.size(), ours.mean(), ours.worst(), ours.ms.size());
    return 0;
}
