// The mux step of a rip through the real muxer on small AVI and WAV files: the final movie and its
// split, the logo clip flag, the second audio stream taken back out of its split movie, the lengths
// for the report, and the stops that end the rip without a report; then the subtitle step with fakes
// of the extractor and the archiver, and the index adjuster for a split movie.
#include "rip_video_support.h"

#include "kes/vsp_ini.h"

#include "tests/support/lavf_media.h"

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::writeBytes;

// 0.4 s of 44.1 kHz stereo: as long as the test movie.
constexpr size_t AudioFrames = 17640;

class RipMuxTest : public test::RipVideoFixture {
protected:
    void SetUp() override {
        RipVideoFixture::SetUp();
        form->Merge.setChecked(true);
        writeBytes(out + "video.avi", test::videoAvi());
        writeBytes(out + "audio.wav", test::wavBytes(44100, AudioFrames));
        script.clearShown();
    }
    // FFmpeg's reading of a written file: video frames (packets) and audio samples a channel of its
    // 44.1 kHz stereo PCM; -1 for a stream it does not find.
    struct Read {
        std::string format;
        int64_t frames = -1;
        int64_t samples = -1;
    };
    static Read lavfRead(const std::string& path) {
        Read read;
        const test::LavfProbe probe = test::probeLavf(path);
        read.format = probe.format;
        if (const test::LavfStream* video = probe.first("video"))
            read.frames = video->packets;
        if (const test::LavfStream* audio = probe.first("audio")) {
            EXPECT_EQ(audio->codec, "pcm_s16le") << path;
            EXPECT_EQ(audio->sampleRate, 44100) << path;
            EXPECT_EQ(audio->channels, 2) << path;
            read.samples = audio->samples;
        }
        return read;
    }
    static bool isAvi(const std::string& path) {
        const Read read = lavfRead(path);
        return read.format == "avi" && read.frames > 0 && read.samples > 0;
    }
    static bool isWav(const std::string& path) {
        const Read read = lavfRead(path);
        return read.format == "wav" && read.frames == -1 && read.samples > 0;
    }
};

TEST_F(RipMuxTest, MuxWritesTheFinalMovieAndItsLengths) {
    launch();
    EXPECT_FALSE(RipAborted);
    const Read movie = lavfRead(out + "final.avi");
    EXPECT_EQ(movie.format, "avi");
    EXPECT_EQ(movie.frames, test::MovieFrames);
    EXPECT_EQ(movie.samples, static_cast<int64_t>(AudioFrames));
    EXPECT_FALSE(fs::exists(out + "final2.avi"));
    EXPECT_DOUBLE_EQ(RipRecord.MuxVideoLen, 0.4);
    EXPECT_DOUBLE_EQ(RipRecord.MuxAudioLen, 0.4);
    EXPECT_TRUE(RipRecord.LogoClipOk);
    EXPECT_GT(RipRecord.MergeStart, 0);
    EXPECT_GE(RipRecord.MergeEnd, RipRecord.MergeStart);
    EXPECT_FALSE(RipRecord.freeBefore(FreeSlot::Mux).empty());
    EXPECT_FALSE(RipRecord.freeAfter(FreeSlot::Mux).empty());
    // The sources stay as they were.
    EXPECT_EQ(readBytes(out + "video.avi"), test::videoAvi());
    EXPECT_TRUE(isWav(out + "audio.wav"));
    EXPECT_EQ(reports(), 1u);
}

TEST_F(RipMuxTest, SplitMakesTwoParts) {
    form->Split.setChecked(true);
    form->sih.setChecked(true);
    launch();
    EXPECT_FALSE(RipAborted);
    const Read part1 = lavfRead(out + "final.avi");
    const Read part2 = lavfRead(out + "final2.avi");
    EXPECT_TRUE(isAvi(out + "final.avi") && isAvi(out + "final2.avi"));
    EXPECT_EQ(part1.frames + part2.frames, test::MovieFrames);
    EXPECT_NEAR(static_cast<double>(part1.samples + part2.samples), static_cast<double>(AudioFrames), 2.0);
    EXPECT_EQ(reports(), 1u);
}

TEST_F(RipMuxTest, SplitReportsTheWholeMoviesLengths) {
    // Audio longer than the video: the muxer measures it up to the video's end, for the whole movie and
    // not for the first part it has just written.
    writeBytes(out + "audio.wav", test::wavBytes(44100, AudioFrames * 3 / 2));
    form->Split.setChecked(true);
    form->sih.setChecked(true);
    launch();
    EXPECT_FALSE(RipAborted);
    EXPECT_TRUE(isAvi(out + "final2.avi"));
    EXPECT_DOUBLE_EQ(RipRecord.MuxVideoLen, 0.4);
    EXPECT_DOUBLE_EQ(RipRecord.MuxAudioLen, 0.4);
    EXPECT_EQ(reports(), 1u);
}

TEST_F(RipMuxTest, LogoClipFlagFollowsTheClipOfThePictureSize) {
    form->Vexlor.setChecked(true);
    launch();
    EXPECT_FALSE(RipAborted);
    EXPECT_FALSE(RipRecord.LogoClipOk); // no clip for 4 x 2
    EXPECT_TRUE(isAvi(out + "final.avi"));
    EXPECT_EQ(reports(), 1u);

    fs::create_directories(folder.path() / "Vexlor");
    writeBytes(folder.path() / "Vexlor" / "Vexlor4x2.avi", test::videoAvi(3));
    fs::remove(out + "final.avi");
    launch();
    EXPECT_TRUE(RipRecord.LogoClipOk);
    EXPECT_EQ(lavfRead(out + "final.avi").frames, test::MovieFrames + 3); // the clip after the movie
}

TEST_F(RipMuxTest, MissingAudioEndsTheRipWithoutReport) {
    // The check lets a WAV stand in for the compressed file; the muxer then has no audio to take.
    writeBytes(wav1, test::wavBytes(44100, AudioFrames));
    fs::remove(out + "audio.wav");
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(script.texts("error"), Lines{"Cannot open audio stream !"});
    EXPECT_EQ(reports(), 0u);
}

TEST_F(RipMuxTest, ATargetThatIsASourceIsRefused) {
    form->FinalFile.setText(out + "video.avi");
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(script.texts("error"),
              Lines{"The destination " + out + "video.avi is also a source of the mux !"});
    EXPECT_EQ(readBytes(out + "video.avi"), test::videoAvi());
    EXPECT_EQ(reports(), 0u);
}

TEST_F(RipMuxTest, SecondStreamOfASplitMovieComesBackAsTwoWavFiles) {
    form->Split.setChecked(true);
    form->sih.setChecked(true);
    form->twostreams.setChecked(true);
    const std::string second = at("second stream/");
    fs::create_directories(second);
    form->compressedSS2.setText(out + "audio2.wav");
    form->AviSS2.setText(second + "ss2.avi");
    writeBytes(out + "audio2.wav", test::wavBytes(44100, AudioFrames));
    launch();
    EXPECT_FALSE(RipAborted);
    EXPECT_TRUE(isWav(second + "FinalAudio.wav"));
    EXPECT_TRUE(isWav(second + "FinalAudio2.wav"));
    EXPECT_FALSE(fs::exists(second + "ss2.avi"));
    EXPECT_FALSE(fs::exists(second + "ss22.avi"));
    EXPECT_DOUBLE_EQ(RipRecord.Mux2AudioLen, 0.4);
    EXPECT_FALSE(RipRecord.freeBefore(FreeSlot::Mux2).empty());
    // The main mux follows with a fresh muxer.
    EXPECT_TRUE(isAvi(out + "final.avi"));
    EXPECT_TRUE(isAvi(out + "final2.avi"));
    EXPECT_DOUBLE_EQ(RipRecord.MuxAudioLen, 0.4);
    EXPECT_EQ(reports(), 1u);
}

// ---- Subtitles ----

class RipSubtitleTest : public test::RipVideoFixture {
protected:
    void SetUp() override {
        RipVideoFixture::SetUp();
        ifo = make("dvd/VTS_01_0.IFO", "ifo");
        form->ifofile.setText(ifo);
        form->IFOlngList.clearItems();
        form->selectedlng.clearItems();
        for (const char* language : {"English", "French", "German"})
            form->IFOlngList.addItem(language);
        form->selectedlng.addItem("English");
        form->selectedlng.addItem("German");
        form->destsub.setText(out + "final.sub");
        form->extractsub.setChecked(true);
        script.clearShown();
    }
    std::string ifo;
};

TEST(VspIni, LinesOfTheControlFile) {
    EXPECT_EQ(vspIniText("/d/VTS_01_0.IFO", "/o/movie.sub", {0, 2}),
              "/d/VTS_01_0.IFO\r\n/o/movie\r\n0 2 \r\nBLIND\r\nCLOSE\r\n");
    EXPECT_EQ(vspIniText("a.IFO", "/o.x/movie", {-1, 1}), "a.IFO\r\n/o.x/movie\r\n1 \r\nBLIND\r\nCLOSE\r\n");
}

TEST_F(RipSubtitleTest, ExtractsAndPacksTheSubtitles) {
    fake("rundll32.exe", "write " + out + "final.sub subpictures\nwrite " + out + "final.idx index\n");
    fake("winrar.exe", "write " + out + "final.rar archive\n");
    launch();
    EXPECT_FALSE(RipAborted);
    EXPECT_EQ(readBytes(folder.externDir() / "vsp.ini"),
              ifo + "\r\n" + out + "final\r\n0 2 \r\nBLIND\r\nCLOSE\r\n");
    const std::string externCwd = "[" + fs::canonical(folder.externDir()).string() + "]";
    const Lines extractor = runs("rundll32.exe");
    ASSERT_EQ(extractor.size(), 1u);
    EXPECT_EQ(extractor[0].rfind(externCwd, 0), 0u);
    EXPECT_TRUE(endsWith(extractor[0], " [vobsub.dll,Configure] [vsp.ini]"));
    EXPECT_EQ(runs("winrar.exe"),
              Lines{run("winrar.exe", {"a", "-ep", out + "final.rar", out + "final.sub"})});
    EXPECT_GT(RipRecord.SubStart, 0);
    EXPECT_GE(RipRecord.SubEnd, RipRecord.SubStart);
    EXPECT_TRUE(fs::equivalent(fs::current_path(), folder.path()));
    EXPECT_EQ(reports(), 1u);
}

// The extractor or the archiver leaves nothing (a damaged title, a full disc), or fails: the rip ends
// with a message naming the program and the file, and is not reported as done. The files an earlier
// rip left under those names are never taken for this rip's, and are back in place afterwards.
TEST_F(RipSubtitleTest, MissingSubtitlesOrArchiveEndTheRip) {
    writeBytes(out + "final.sub", "earlier pictures");
    writeBytes(out + "final.idx", "earlier index");
    writeBytes(out + "final.rar", "earlier archive");
    const auto earlierFilesStay = [&] {
        EXPECT_EQ(readBytes(out + "final.sub"), "earlier pictures");
        EXPECT_EQ(readBytes(out + "final.idx"), "earlier index");
        EXPECT_EQ(readBytes(out + "final.rar"), "earlier archive");
        EXPECT_FALSE(fs::exists(out + "final.sub.previous"));
    };
    fake("rundll32.exe");
    fake("winrar.exe");
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(runs("winrar.exe"), Lines{});
    EXPECT_EQ(script.texts("error"),
              Lines{"The program rundll32.exe vobsub.dll ended without writing " + out + "final.sub !"});
    EXPECT_EQ(reports(), 0u);
    earlierFilesStay();

    // Only the pictures file, no index: the same.
    script.clearShown();
    fake("rundll32.exe", "write " + out + "final.sub subpictures\n");
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(script.texts("error"),
              Lines{"The program rundll32.exe vobsub.dll ended without writing " + out + "final.idx !"});
    earlierFilesStay();

    // Both, but the extractor says it failed.
    script.clearShown();
    fake("rundll32.exe",
         "write " + out + "final.sub subpictures\nwrite " + out + "final.idx index\nexit 1\n");
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(script.texts("error"), Lines{"The program rundll32.exe vobsub.dll failed (exit status 1) : " +
                                           out + "final.sub can't be used !"});
    earlierFilesStay();

    script.clearShown();
    fake("rundll32.exe", "write " + out + "final.sub subpictures\nwrite " + out + "final.idx index\n");
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(runs("winrar.exe").size(), 1u);
    EXPECT_EQ(script.texts("error"),
              Lines{"The program winrar.exe ended without writing " + out + "final.rar !"});
    EXPECT_EQ(reports(), 0u);
    EXPECT_EQ(readBytes(out + "final.rar"), "earlier archive");
}

TEST_F(RipSubtitleTest, ExtractorThatCannotStartEndsTheRip) {
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(reports(), 0u);
}

// The extractor writes the index; the second part's subtitle comes after the first part's 2 s.
std::string extractorWriting(const std::string& out, const std::string& lastTime) {
    return "write " + out + "final.sub subpictures\nwrite " + out +
           "final.idx # VobSub index file, v7 (do not modify this line!)\\r\\n"
           "langidx: 0\\r\\n# English\\r\\nid: en, index: 0\\r\\n"
           "timestamp: 00:00:00:500, filepos: 000000000\\r\\n"
           "timestamp: " +
           lastTime + ", filepos: 000001000\\r\\n\n";
}

TEST_F(RipSubtitleTest, SplitMovieGetsItsIndexCutAndItsOwnCopies) {
    form->Split.setChecked(true);
    fake("rundll32.exe", extractorWriting(out, "00:00:03:000"));
    fake("winrar.exe", "write " + out + "final.rar archive\n");
    test::TinyAviSpec spec;
    spec.frames.assign(50, "frame100");
    spec.withAudio = false;
    writeBytes(out + "final.avi", test::tinyAvi(spec));
    writeBytes(out + "final2.avi", test::tinyAvi(spec));
    // Copies an earlier rip left belong to another movie: this rip's own replace them.
    writeBytes(out + "final2.ifo", "an earlier rip's ifo");
    writeBytes(out + "final2.rar", "an earlier rip's archive");
    launch();
    EXPECT_FALSE(RipAborted);
    EXPECT_NE(readBytes(out + "final2.idx").find("timestamp: 00:00:01:000"), std::string::npos);
    EXPECT_EQ(readBytes(out + "final2.rar"), "archive");
    EXPECT_EQ(readBytes(out + "final2.ifo"), "ifo");
    EXPECT_EQ(shown(), Lines{});
    EXPECT_EQ(reports(), 1u);

    // No subtitle after the cut: the second part gets no index and no copies, and nothing is shown.
    fake("rundll32.exe", extractorWriting(out, "00:00:01:000"));
    launch();
    EXPECT_FALSE(RipAborted);
    EXPECT_EQ(shown(), Lines{});
    EXPECT_FALSE(fs::exists(out + "final2.idx"));
    EXPECT_FALSE(fs::exists(out + "final2.rar"));
    EXPECT_FALSE(fs::exists(out + "final2.ifo"));

    // A movie without a second part gets no cut and no copies either.
    fake("rundll32.exe", extractorWriting(out, "00:00:03:000"));
    fs::remove(out + "final2.avi");
    launch();
    EXPECT_FALSE(RipAborted);
    EXPECT_EQ(shown(), Lines{});
    EXPECT_FALSE(fs::exists(out + "final2.idx"));
    EXPECT_FALSE(fs::exists(out + "final2.rar"));
    EXPECT_EQ(reports(), 3u);
}

} // namespace
} // namespace kes
