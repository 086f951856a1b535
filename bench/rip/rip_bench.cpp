// A whole 1-CD rip as a user runs it, on the natural-picture DVD title of bench/support (photographs
// panned and zoomed with grain, PAL MPEG-2 at 5.5 Mbit/s, AC3 5.1, authored by dvdauthor), against
// HandBrake and ffmpeg doing the same job:
//   the first AC3 stream down-mixed to MP3 at 128 kbit/s; the video resized to 640x352 in two MPEG-4
//   passes at 900 kbit/s, a key frame every 250 frames, no B-frames.
// Ours goes through the main window ("Slowest" codec effort unless --effort names another level, 1
// "Fastest" to 5 "Slowest"; Azid, normalise, MP3, mux); HandBrake is
//   HandBrakeCLI -e mpeg4 -b 900 -2 -E mp3 -B 128 -w 640 -l 352 (no crop, square pixels)
// and ffmpeg runs its two passes (mpeg4 at 900k, -g 250 -bf 0, scale to 640x352, libmp3lame 128k).
// Each is a whole process; they run in turn, RUNS rounds, and each one's median time counts. Then for
// each: the time against HandBrake's, the video bit rate's error against 900 kbit/s, PSNR and SSIM
// against the DVD's pictures at 640x352, and the audio/video offset at the title's marks.
//
//   bench_rip [--dir FOLDER] [--title-dir FOLDER] [--seconds S] [--runs N] [--effort 1..5] [--ours-only]
//             [--keep]
//   bench_rip --rip-once FOLDER VOB EFFORT   (one rip through the main window; what the rounds time)

#include "bench/support/bench_tools.h"
#include "bench/support/contest.h"
#include "bench/support/natural_title.h"

#include "kes/form1.h"
#include "kes/form1_unit.h"

#include "platform/core/registry.h"
#include "platform/ui/dialog_script.h"

#include <QApplication>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int VideoKbps = kes::bench::JobVideoKbps;
constexpr int AudioKbps = kes::bench::JobAudioKbps;
constexpr int Width = kes::bench::JobWidth;
constexpr int Height = kes::bench::JobHeight;
constexpr int KeyInterval = kes::bench::JobKeyInterval;
// CD-R capacities (2048-byte sectors), and the megabyte the video page's rate suggestion counts in.
constexpr double Cd650Bytes = 681984000.0;
constexpr double Cd700Bytes = 737280000.0;
constexpr double SuggestionKbitsPerMegabyte = 8192.0;

using kes::bench::fail;
using kes::bench::timed;

void copyProgramFolder(const fs::path& to) {
    const fs::path built = KES_BENCH_PROGRAM_DIR;
    for (const char* part : {"extern", "LANG", "system", "covers", "Kestrova"}) {
        if (fs::exists(built / part))
            fs::copy(built / part, to / part,
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
}

// One rip through the main window in dir/program, into dir/out; the report's text goes to dir/report.txt.
int ripOnce(int argc, char** argv, const fs::path& dir, const std::string& vob, uint32_t effort) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("KESTROVA_REGISTRY", (dir / "registry").c_str(), 1);
    setenv("KESTROVA_SHUTDOWN_COMMAND", "true", 1);
    QApplication app(argc, argv);
    platform::ui::testing::DialogScript script; // every box takes its default; none waits
    platform::core::registry::writeDword(platform::core::RootKey::CurrentUser, kes::bench::CodecKey,
                                         "Quality", effort);
    const fs::path out = dir / "out";
    fs::remove_all(out);
    fs::create_directories(out / "work");
    const fs::path here = fs::current_path();
    fs::current_path(dir / "program");
    auto form = std::make_unique<kes::TForm1>();
    form->show();
    fs::current_path(here);
    kes::TForm1& f = *form;
    const std::string work = (out / "work").string() + "/";
    f.Vobfile.setText(vob);
    for (auto* box : {&f.Split, &f.extractsub, &f.twostreams, &f.Range, &f.AudioRange, &f.usemulti, &f.Shut,
                      &f.log, &f.Crop, &f.Norm2Other})
        box->setChecked(false);
    f.AVIFile.setText(work + "movie.avi");
    f.WavFileEdit.setText(work + "audio.wav");
    f.compaudiofile.setText(work + "audio.mp3.wav");
    f.FinalFile.setText((out / "final.avi").string());
    f.RipAudio.setChecked(true);
    f.arip.setText("Azid");
    f.normal.setChecked(true);
    f.compress.setChecked(true);
    f.DelWav.setChecked(true);
    f.mp3wma.setText("MP3");
    f.Mode.setText("Stereo");
    f.Samplerate.setText("48");
    f.Bitrate.setText(std::to_string(AudioKbps));
    f.RipVid.setChecked(true);
    f.DownX.setChecked(true);
    f.XSize.setText(std::to_string(Width));
    f.DownY.setChecked(true);
    f.YSize.setText(std::to_string(Height));
    f.DivxAuto.setChecked(true);
    f.Codec.setText("DivX 4.x");
    f.D4VBR.setText("2-pass, first pass");
    f.proceed2.setChecked(true);
    f.kframe.setText(std::to_string(KeyInterval / kes::bench::TitleFps));
    f.DivFR.setText(std::to_string(VideoKbps));
    f.Merge.setChecked(true);
    f.LaunchClick();
    if (kes::RipAborted || !fs::exists(f.FinalFile.text()))
        fail("the rip did not finish; boxes shown: " + std::to_string(script.shown().size()));
    std::ofstream report(dir / "report.txt");
    for (const auto& box : script.shown())
        report << box.caption << ": " << box.text << "\n";
    form.reset();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--rip-once")
        return ripOnce(argc, argv, argv[2], argv[3], static_cast<uint32_t>(std::atoi(argv[4])));
    fs::path dir = fs::temp_directory_path() / "kes-bench-rip";
    fs::path titleDir = fs::temp_directory_path() / "kes-bench-title";
    double seconds = 600.0;
    int runs = 3;
    uint32_t effort = kes::bench::SlowestCodecQuality;
    bool oursOnly = false, keep = false;
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
        else if (a == "--ours-only")
            oursOnly = true;
        else if (a == "--keep")
            keep = true;
        else
            fail("usage: bench_rip [--dir FOLDER] [--title-dir FOLDER] [--seconds S] [--runs N] [--effort "
                 "1..5] "
                 "[--ours-only] [--keep]");
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("ours: codec effort %u of 5\n", effort);
    const kes::bench::NaturalTitle title = kes::bench::naturalTitle(titleDir, seconds);
    fs::remove_all(dir);
    fs::create_directories(dir / "program");
    copyProgramFolder(dir / "program");

    std::vector<kes::bench::Contender> contenders;
    contenders.push_back({"ours",
                          {fs::read_symlink("/proc/self/exe").string(), "--rip-once", dir.string(),
                           title.vobs.front().string(), std::to_string(effort)},
                          dir / "out" / "final.avi",
                          {}});
    if (!oursOnly) {
        contenders.push_back(kes::bench::handBrake(title, dir / "handbrake.mkv", true));
        contenders.push_back(kes::bench::ffmpegTwoPass(title, dir, dir / "ffmpeg.avi", true));
    }
    kes::bench::runInTurn(contenders, runs, dir);
    std::printf("ours, the report:\n%s", kes::bench::readText(dir / "report.txt").c_str());
    kes::bench::printTable(contenders, oursOnly ? "ours" : "HandBrake", title, dir, true);
    // Ours against the CD it is made for: the video page suggests these rates for a 650 MB (700 MB)
    // CD-R when the movie lasts size x 8192 / (video + audio kbit/s) seconds; the final file, its
    // bytes scaled from the title's length to that one, against the CD-R's real capacity.
    const double ourBytes = static_cast<double>(fs::file_size(contenders.front().movie));
    for (const auto& [megabytes, capacity] : {std::pair{650, Cd650Bytes}, std::pair{700, Cd700Bytes}}) {
        const double movieSeconds = megabytes * SuggestionKbitsPerMegabyte / (VideoKbps + AudioKbps);
        const double scaled = ourBytes * movieSeconds / seconds;
        std::printf("final size: %.0f bytes for %.0f s; as a %.1f-minute movie on a %d MB CD-R: %.0f of %.0f "
                    "bytes, %.2f %%%s\n",
                    ourBytes, seconds, movieSeconds / 60, megabytes, scaled, capacity,
                    scaled * 100 / capacity, scaled > capacity ? " (DOES NOT FIT)" : "");
    }
    if (!keep)
        fs::remove_all(dir);
    return 0;
}
