// Stops in the rip's audio steps: extraction, decoding, normalisation, compression.
#include "tests/rip/rip_stop_fixture.h"

#include "tools/amplifier/tform3.h"
#include "tools/audio_converter/tform2.h"
#include "tools/muxer/tform5.h"

namespace kes::test {
namespace {

namespace fs = std::filesystem;

// The first VOB's demultiplexer is ended: the rip ends there, naming it and its piece; no other VOB
// is demultiplexed.
TEST_F(StopRoadTest, AudioExtraction) {
    slowRun("bbdmux.exe");
    launchAndStop([this] { return closeSlowRun("bbdmux.exe"); });
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(), Lines{"error: The program bbdmux.exe was ended before it finished : " + out +
                             "work/audio1.ac3 is not complete !"});
    expectNothingLost();
    EXPECT_EQ(filesUnder(out), (Lines{"Stopped.avi"}));
}

// The decoder is ended: the rip ends there, naming it and its WAV; nothing is normalised.
TEST_F(StopRoadTest, Decoding) {
    slowRun("azid.exe");
    launchAndStop([this] { return closeSlowRun("azid.exe"); });
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(), Lines{"error: The program azid.exe was ended before it finished : " + out +
                             "work/audio.wav is not complete !"});
    expectNothingLost();
    EXPECT_EQ(filesUnder(out), (Lines{"Stopped.avi", "work/audio.ac3"}));
}

TEST_F(StopRoadTest, Normalisation) {
    launchAndStop([] {
        // Only while its job runs (its clock ticks): a stop before the job would be cleared by it.
        if (tools::amplifier::Form3 == nullptr || !tools::amplifier::Form3->Timer1.enabled())
            return false;
        tools::amplifier::Form3->Stop.click();
        return true;
    });
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(), Lines{});
    expectNothingLost();
    EXPECT_EQ(filesUnder(out), (Lines{"Stopped.avi", "work/audio.ac3", "work/audio.wav"}));
}

// The compression is stopped: no cut-short MP3 is left for a later mux to take for a whole one.
TEST_F(StopRoadTest, Encoding) {
    launchAndStop([] {
        // Only while its job runs (its clock ticks): a stop before the job would be cleared by it.
        if (tools::audio_converter::Form2 == nullptr || !tools::audio_converter::Form2->Timer1.enabled())
            return false;
        tools::audio_converter::Form2->STOP.click();
        return true;
    });
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(), Lines{});
    expectNothingLost();
    EXPECT_EQ(filesUnder(out), (Lines{"Stopped.avi", "work/audio.ac3", "work/audio.wav"}));
}

} // namespace
} // namespace kes::test
