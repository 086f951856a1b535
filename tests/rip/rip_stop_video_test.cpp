// Stops in the rip's video passes, the mux and the subtitle extraction.
#include "tests/rip/rip_stop_fixture.h"

#include "tools/amplifier/tform3.h"
#include "tools/audio_converter/tform2.h"
#include "tools/muxer/tform5.h"

namespace kes::test {
namespace {

namespace fs = std::filesystem;

// Stop in the converter's first pass: the converter writes nothing, the second pass finds no log of
// the first, and the mux finds no video.
TEST_F(StopRoadTest, FirstVideoPass) {
    stoppedConverterRun(1);
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(), (Lines{"information: The second pass needs the log file written by the first pass.\r\n"
                              "Log file not found : " +
                                  out +
                                  "work/Stopped.log\r\n"
                                  "Run the first pass with the same final file name first,\r\n"
                                  "or choose another DivX 4 rate mode.\r\n",
                              "error: Cannot open video stream !"}));
    expectNothingLost();
}

TEST_F(StopRoadTest, SecondVideoPass) {
    stoppedConverterRun(2);
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(readBytes(folder.externDir() / "wrapped.runs"), "2\n");
    // The first pass's output is no movie: it is not muxed in place of the second's.
    EXPECT_EQ(shown(), Lines{"error: Cannot open video stream !"});
    expectNothingLost();
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

// The subtitle extractor is ended: it wrote nothing, which ends the rip with its message; the movie
// muxed before stays.
TEST_F(StopRoadTest, Subtitles) {
    slowRun("rundll32.exe");
    launchAndStop([this] { return closeSlowRun("vobsub.dll"); });
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(),
              Lines{"error: Can't extract the subtitles : " + out + "Stopped.sub was not written !"});
    expectNothingLost(true);
    EXPECT_EQ(filesUnder(out), (Lines{"Stopped.avi", "work/Stopped.log", "work/audio.ac3",
                                      "work/audio.mp3.wav", "work/audio.wav", "work/movie.avi"}));
}

} // namespace
} // namespace kes::test
