// Stops in the rip's video passes, the mux and the subtitle extraction.
#include "tests/rip/av_probe.h"
#include "tests/rip/rip_stop_fixture.h"

#include "tools/amplifier/tform3.h"
#include "tools/audio_converter/tform2.h"
#include "tools/muxer/tform5.h"

namespace kes::test {
namespace {

namespace fs = std::filesystem;

// Stop in the converter's first pass: the converter writes nothing and says it was stopped; the rip
// ends there, naming it and its output (no second pass, no mux).
TEST_F(StopRoadTest, FirstVideoPass) {
    stoppedConverterRun(1);
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(readBytes(folder.externDir() / "wrapped.runs"), "1\n");
    EXPECT_EQ(shown(), Lines{"error: The program m2apx3g.exe failed (exit status 3) : " + out +
                             "work/movie_1.avi can't be used !"});
    expectNothingLost();
}

TEST_F(StopRoadTest, SecondVideoPass) {
    stoppedConverterRun(2);
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(readBytes(folder.externDir() / "wrapped.runs"), "2\n");
    // The first pass's output is no movie: it is not muxed in place of the second's.
    EXPECT_EQ(shown(), Lines{"error: The program m2apx3g.exe failed (exit status 3) : " + out +
                             "work/movie_1.avi can't be used !"});
    expectNothingLost();
}

// The converter is ended while it still reads the VOBs, before its codec dialog opens, and the rip is
// launched again at another rate. The automation started for the ended run must not answer the new
// run's dialog: the movie has the new rate, as FFmpeg reads it.
TEST_F(StopRoadTest, ConverterEndedBeforeItsDialogLeavesNoAnswerForTheNextRun) {
    constexpr double FirstRate = 1500;
    constexpr double SecondRate = 300;
    form->D4VBR.setText("1-pass");
    form->DivFR.setText("1500");
    wrap({"mpeg2avipx3.exe", "m2apx3g.exe", "m2apx3go.exe"}, 1, "touch \"$dir/waiting\"; sleep 20");
    launchAndStop([this] { return closeSlowRun("m2apx3"); });
    EXPECT_TRUE(RipAborted);
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_TRUE(shown()[0].starts_with("error: The program m2apx3")) << shown()[0];

    script.clearShown();
    form->DivFR.setText("300");
    launch();
    ASSERT_FALSE(RipAborted) << ::testing::PrintToString(shown());
    const ProbedFile movie = probeMedia(final);
    ASSERT_TRUE(movie.opened) << movie.error;
    const ProbedStream* video = movie.first("video");
    ASSERT_TRUE(video != nullptr);
    ASSERT_GT(video->seconds, 0);
    const double kbits = static_cast<double>(video->bytes) * 8 / video->seconds / 1000;
    EXPECT_LT(kbits, (FirstRate + SecondRate) / 2) << kbits;
    EXPECT_GT(kbits, SecondRate / 2) << kbits;
}

// The mux is stopped: the user's previous movie of that name stays, no cut-short one replaces it.
TEST_F(StopRoadTest, Mux) {
    launchAndStop([] {
        // Only while its job runs (its clock ticks): a stop before the job would be cleared by it.
        if (tools::muxer::Form5 == nullptr || !tools::muxer::Form5->Timer1.enabled())
            return false;
        tools::muxer::Form5->Stop.click();
        return true;
    });
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(), Lines{});
    expectNothingLost();
    EXPECT_EQ(filesUnder(out), (Lines{"Stopped.avi", "work/Stopped.log", "work/audio.ac3",
                                      "work/audio.mp3.wav", "work/audio.wav", "work/movie.avi"}));
}

// The subtitle extractor is ended: the rip ends with its message; the movie muxed before stays.
TEST_F(StopRoadTest, Subtitles) {
    slowRun("rundll32.exe");
    launchAndStop([this] { return closeSlowRun("vobsub.dll"); });
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(), Lines{"error: The program rundll32.exe vobsub.dll was ended before it finished : " +
                             out + "Stopped.sub is not complete !"});
    expectNothingLost(true);
    EXPECT_EQ(filesUnder(out), (Lines{"Stopped.avi", "work/Stopped.log", "work/audio.ac3",
                                      "work/audio.mp3.wav", "work/audio.wav", "work/movie.avi"}));
}

} // namespace
} // namespace kes::test
