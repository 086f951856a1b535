// A one-CD rip of a title with video: the first AC3 stream through the per-VOB demultiplexer and
// the AC3 file decoder, normalised and compressed to MP3 at 128 kbit/s; the video in two DivX 4
// passes with the codec dialog automated, resized; both muxed into the final AVI; the report and
// the log.
#include "tests/rip/av_probe.h"
#include "tests/rip/rip_checks.h"
#include "tests/rip/rip_road.h"

#include "kes/form1_unit.h"

namespace kes::test {
namespace {

namespace fs = std::filesystem;

class OneCdRoadTest : public RipRoadTest {
protected:
    void SetUp() override {
        fillMissingHelpers();
        DvdTitleSpec spec;
        spec.video = true;
        makeTitle(spec);
        out = at("out/");
        start();
    }
    std::string out;
};

TEST_F(OneCdRoadTest, AzidMp3AndTwoPassDivX4MuxedIntoOneAvi) {
    saveProfile("OneCd", "onecd.pfl", [&](TForm1& f) { chooseOneCdRip(f); });
    loadProfile("OneCd");
    EXPECT_EQ(loadBoxes, Lines{});
    launch();
    ASSERT_FALSE(RipAborted) << ::testing::PrintToString(shown());
    EXPECT_EQ(shown(), Lines{});
    ASSERT_EQ(reports().size(), 1u);
    const std::string report = reports()[0];

    // The final AVI: DivX 4 video at the profile's picture size and MP3 audio, both as long as the
    // title, the beeps with the flashes.
    const std::string final = out + "OneCd.avi";
    EXPECT_EQ(form->FinalFile.text(), final);
    const ProbedFile avi = probeMedia(final);
    ASSERT_TRUE(avi.opened) << avi.error;
    EXPECT_EQ(avi.format, "avi");
    ASSERT_EQ(avi.streams.size(), 2u);
    const ProbedStream* video = avi.first("video");
    const ProbedStream* audio = avi.first("audio");
    ASSERT_TRUE(video && audio);
    EXPECT_EQ(video->codec, "mpeg4");
    EXPECT_EQ(video->fourcc, "DIVX");
    EXPECT_EQ(video->width, 320);
    EXPECT_EQ(video->height, 256);
    EXPECT_NEAR(video->frameRate, 25.0, 1e-6);
    EXPECT_NEAR(video->seconds, title.spec.seconds, VideoFrame);
    EXPECT_EQ(audio->codec, "mp3");
    EXPECT_EQ(audio->sampleRate, 48000);
    // The MP3 stream carries the encoder's delay and its last frame's padding on top.
    EXPECT_NEAR(audio->seconds, title.spec.seconds, VideoFrame + 1152.0 / 48000);
    expectBeeps(flashStarts(final), title.spec.beeps, VideoFrame / 2);
    // In step with the pictures within one frame; the encoder's delay puts the sound behind.
    expectBeeps(beepStarts(final), title.spec.beeps, VideoFrame);

    // The report's lengths are the file's, in whole seconds; the log holds the report.
    EXPECT_NEAR(reportSeconds(report, "Video length in the final AVI"), video->seconds, 0.5);
    EXPECT_NEAR(reportSeconds(report, "Audio length in the final AVI"), audio->seconds, 0.5);
    const ProbedFile mp3 = probeMedia(out + "work/audio.mp3.wav");
    ASSERT_EQ(mp3.streams.size(), 1u) << mp3.error;
    EXPECT_NEAR(reportSeconds(report, "Compressed audio length"), mp3.streams[0].seconds, 0.01);
    EXPECT_NE(report.find("1CD-PAL-320x256-MP3/48/128- DivX 4 [2-pass]"), std::string::npos) << report;
    expectOneLog(folder.path(), report);

    // What the rip leaves: the renamed converter output, the first pass's log, the work audio files
    // and the final AVI.
    EXPECT_EQ(filesUnder(out), (Lines{"OneCd.avi", "work/OneCd.log", "work/audio.ac3", "work/audio.mp3.wav",
                                      "work/audio.wav", "work/movie.avi"}));
}

} // namespace
} // namespace kes::test
