// A whole 1-CD rip as a user runs it, on a generated PAL title of 10 minutes (MPEG-2 video, AC3
// audio, subpictures, with its IFO): the first AC3 stream through the demultiplexer and the AC3 file
// decoder, compressed to MP3 at 128 kbit/s; the video in two DivX 4 passes at the bit rate the video
// page suggests for a 650 MB CD; both muxed. Against it, the same job done by one ffmpeg command:
//   ffmpeg -i concat:VOBs -map 0:v -map 0:a:0 -c:v mpeg4 -vtag DIVX -b:v R -c:a libmp3lame -b:a 128k out.avi
// Prints the final file's size against the CD size scaled to the title's length (the profile's movie
// length is a whole movie's), the video stream's bit rate against the asked one (goal within 1 %),
// the time of the whole rip against ffmpeg's (goal at most 1) and the PSNR of both against the source.
//
//   bench_rip [--dir FOLDER] [--seconds S] [--movie-minutes M] [--one-pass] [--keep]

#include "bench/support/bench_tools.h"

#include "kes/form1.h"
#include "kes/form1_unit.h"

#include "tests/rip/dvd_title.h"
#include "tests/support/vobgen_video.h"

#include "platform/ui/dialog_script.h"

#include <QApplication>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr double BytesPerMegabyte = 1024000.0; // the size the bit-rate suggestion counts in
constexpr int AudioKbps = 128;
constexpr size_t PacksPerFile = 524288; // 1 GiB files, as on a disc

using kes::bench::fail;
using kes::bench::secondsSince;
using kes::bench::timed;

// The PSNR of a file's video against the source's, frame by frame from each one's start.
double psnr(const fs::path& file, const std::string& source, const fs::path& dir) {
    return kes::bench::psnr(file, source, dir, true);
}

// A stream's bytes and seconds from its packets (ffprobe).
struct StreamBytes {
    double bytes = 0;
    double seconds = 0;
    double kbps() const { return seconds > 0 ? bytes * 8.0 / seconds / 1000.0 : 0.0; }
};
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
        s.seconds += std::atof(line.c_str());
        if (comma != std::string::npos)
            s.bytes += std::atof(line.c_str() + comma + 1);
    }
    return s;
}

std::string concatOf(const kes::test::DvdTitle& title) {
    std::string list = "concat:";
    for (size_t i = 0; i < title.set.files.size(); ++i)
        list += (i ? "|" : "") + title.set.files[i].string();
    return list;
}

void copyProgramFolder(const fs::path& to) {
    const fs::path built = KES_BENCH_PROGRAM_DIR;
    for (const char* part : {"extern", "LANG", "system", "covers", "Kestrova"}) {
        if (fs::exists(built / part))
            fs::copy(built / part, to / part,
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
}

} // namespace

int main(int argc, char** argv) {
    fs::path dir = fs::temp_directory_path() / "kes-bench-rip";
    double seconds = 600.0;
    int movieMinutes = 120;
    bool onePass = false;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--seconds" && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (a == "--movie-minutes" && i + 1 < argc)
            movieMinutes = std::atoi(argv[++i]);
        else if (a == "--one-pass")
            onePass = true;
        else if (a == "--keep")
            keep = true;
        else
            fail("usage: bench_rip [--dir FOLDER] [--seconds S] [--movie-minutes M] [--one-pass] [--keep]");
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    fs::remove_all(dir);
    fs::create_directories(dir / "program");
    setenv("KESTROVA_REGISTRY", (dir / "registry").c_str(), 1);
    setenv("KESTROVA_SHUTDOWN_COMMAND", "true", 1);
    QApplication app(argc, argv);
    platform::ui::testing::DialogScript script; // every box takes its default; none waits

    // The title, generated once in one piece.
    kes::test::DvdTitleSpec spec;
    spec.seconds = seconds;
    spec.video = true;
    kes::test::DvdTitle title;
    title.spec = spec;
    title.folder = dir / "dvd" / "VIDEO_TS";
    title.vob = kes::test::dvdTitleVobSpec(spec);
    kes::test::VobVideoSpec video;
    video.bitRate = 4000000;
    video.threads = 8;
    title.vob.videoMaker = kes::test::mpeg2Video(video);
    title.vob.packsPerFile = PacksPerFile;
    title.ifo = kes::test::dvdTitleIfoSpec(spec);
    const auto madeAt = std::chrono::steady_clock::now();
    fs::create_directories(title.folder);
    title.set = kes::test::writeVobSet(title.folder, title.vob);
    title.ifoPath = kes::test::writeIfo(title.folder, title.ifo);
    fs::remove(title.set.list);
    std::printf("title: %.0f s of PAL MPEG-2 at 4000 kbit/s with AC3 audio, %zu VOB files, made in %.1f s\n",
                seconds, title.set.files.size(), secondsSince(madeAt));

    // The main window in its program folder, set up as a user sets a 1-CD profile.
    const fs::path program = dir / "program";
    copyProgramFolder(program);
    const fs::path here = fs::current_path();
    fs::current_path(program);
    auto form = std::make_unique<kes::TForm1>();
    form->show();
    fs::current_path(here);
    kes::TForm1& f = *form;
    const std::string out = (dir / "out").string() + "/";
    fs::create_directories(out + "work");
    f.Vobfile.setText(title.firstVob());
    for (auto* box : {&f.normal, &f.Split, &f.extractsub, &f.twostreams, &f.Range, &f.AudioRange, &f.usemulti,
                      &f.Shut, &f.log, &f.DownX, &f.DownY, &f.Crop})
        box->setChecked(false);
    f.AVIFile.setText(out + "work/movie.avi");
    f.WavFileEdit.setText(out + "work/audio.wav");
    f.compaudiofile.setText(out + "work/audio.mp3.wav");
    f.FinalFile.setText(out + "final.avi");
    f.RipAudio.setChecked(true);
    f.arip.setText("Azid");
    f.compress.setChecked(true);
    f.DelWav.setChecked(true);
    f.mp3wma.setText("MP3");
    f.Mode.setText("Stereo");
    f.Samplerate.setText("48");
    f.Bitrate.setText(std::to_string(AudioKbps));
    f.RipVid.setChecked(true);
    f.DivxAuto.setChecked(true);
    f.Codec.setText("DivX 4.x");
    f.D4VBR.setText(onePass ? "1-pass" : "2-pass, first pass");
    f.proceed2.setChecked(!onePass);
    f.finalsize.setText("650");
    f.movielength.setText(std::to_string(movieMinutes));
    f.sec.setText("0");
    f.DivFR.setText(f.SBitRate.text());
    f.Merge.setChecked(true);
    const int asked = std::atoi(f.DivFR.text().c_str());
    const std::string final = f.FinalFile.text();

    const auto rippedAt = std::chrono::steady_clock::now();
    f.LaunchClick();
    const double ripTime = secondsSince(rippedAt);
    if (kes::RipAborted || !fs::exists(final))
        fail("the rip did not finish; boxes shown: " + std::to_string(script.shown().size()));
    for (const auto& box : script.shown())
        if (box.caption != "Kestrova LOG")
            std::printf("box: %s: %s\n", box.kind.c_str(), box.text.c_str());

    const double cdBytes = 650 * BytesPerMegabyte * seconds / (movieMinutes * 60.0);
    const double size = static_cast<double>(fs::file_size(final));
    const StreamBytes ourVideo = streamBytes(final, "v:0", dir);
    const StreamBytes ourAudio = streamBytes(final, "a:0", dir);
    std::printf("rip (%s): %.1f s; suggested video bit rate %d kbit/s for 650 MB in %d min\n",
                onePass ? "1-pass" : "2-pass", ripTime, asked, movieMinutes);
    std::printf("final file %.0f bytes against the CD's share %.0f bytes: %+.2f %% (video %.0f, audio %.0f, "
                "container %.0f bytes)\n",
                size, cdBytes, (size - cdBytes) * 100.0 / cdBytes, ourVideo.bytes, ourAudio.bytes,
                size - ourVideo.bytes - ourAudio.bytes);
    std::printf("video %.1f kbit/s against %d asked: %+.2f %% (goal within %d %%); audio %.1f kbit/s\n",
                ourVideo.kbps(), asked, (ourVideo.kbps() - asked) * 100.0 / asked, onePass ? 5 : 1,
                ourAudio.kbps());

    const fs::path theirs = dir / "ffmpeg.avi";
    const std::string source = concatOf(title);
    const double theirTime = timed({"ffmpeg",       "-nostdin",   "-y",   "-hide_banner",
                                    "-i",           source,       "-map", "0:v",
                                    "-map",         "0:a:0",      "-c:v", "mpeg4",
                                    "-vtag",        "DIVX",       "-b:v", std::to_string(asked) + "k",
                                    "-c:a",         "libmp3lame", "-b:a", std::to_string(AudioKbps) + "k",
                                    theirs.string()},
                                   (dir / "ffmpeg.txt").string());
    const double ourPsnr = psnr(final, source, dir);
    const double theirPsnr = psnr(theirs, source, dir);
    std::printf("ffmpeg: %.1f s, %.0f bytes, video %.1f kbit/s\n", theirTime,
                static_cast<double>(fs::file_size(theirs)), streamBytes(theirs, "v:0", dir).kbps());
    std::printf("time ratio rip / ffmpeg %.2f (goal <= 1.00); PSNR ours %.2f dB, ffmpeg %.2f dB (%+.2f dB)\n",
                ripTime / theirTime, ourPsnr, theirPsnr, ourPsnr - theirPsnr);
    form.reset();
    if (!keep)
        fs::remove_all(dir);
    return 0;
}
