// Whole rips on a title that is not as it should be, or into a folder that fills up: the rip goes
// as far as it can, ends with its message, and leaves no half-written file.
#include "tests/rip/av_probe.h"
#include "tests/rip/rip_checks.h"
#include "tests/rip/rip_road.h"

#include "kes/form1_unit.h"

namespace kes::test {
namespace {

namespace fs = std::filesystem;

class BadInputRoadTest : public RipRoadTest {
protected:
    void SetUp() override {
        fillMissingHelpers();
        makeTitle();
        out = at("out/");
        start();
    }
    // The built-in audio path into a 44.1 kHz WAV and its MP3, and the two subtitle languages.
    void saveAudioProfile() {
        saveProfile("Damaged", "damaged.pfl", [&](TForm1& f) {
            f.RipAudio.setChecked(true);
            f.arip.setText("Internal");
            f.Samplerate.setText("44.1");
            f.compress.setChecked(true);
            f.mp3wma.setText("MP3");
            f.Bitrate.setText("128");
            f.ifofile.setText(title.ifoPath.string());
            for (int i = 0; i < f.IFOlngList.itemCount(); ++i)
                f.IFOlngList.setSelected(i, true);
            f.SpeedButton5Click();
        });
    }
    std::string out;
};

TEST_F(BadInputRoadTest, MissingMiddleVobEndsTheListAndTheRipTakesTheVobsBeforeIt) {
    saveAudioProfile();
    fs::remove(title.set.files[1]);
    loadProfile("Damaged");
    launch();
    ASSERT_FALSE(RipAborted) << ::testing::PrintToString(shown());
    EXPECT_EQ(readBytes(title.folder / "vob.lst"), title.firstVob() + "\r\n");
    // The first VOB holds a third of the title and its first beep.
    const ProbedFile wav = probeMedia(out + "work/audio.wav");
    ASSERT_EQ(wav.streams.size(), 1u) << wav.error;
    EXPECT_NEAR(wav.streams[0].seconds, title.spec.seconds / 3, 0.2);
    expectBeeps(beepStarts(out + "work/audio.wav"), {title.spec.beeps[0]}, VideoFrame);
    EXPECT_EQ(reports().size(), 1u);
}

// The subtitle languages cannot be read: the load says so, the audio steps go on, the extractor finds
// no stream to take, fails and writes nothing, and the rip ends on that, naming it, instead of
// reporting success.
TEST_F(BadInputRoadTest, DamagedIfoIsReportedAtLoadAndGivesNoSubtitles) {
    saveAudioProfile();
    const std::string ifo = readBytes(title.ifoPath);
    writeBytes(title.ifoPath, ifo.substr(0, 0x260));
    loadProfile("Damaged");
    ASSERT_FALSE(loadBoxes.empty());
    for (const std::string& box : loadBoxes)
        EXPECT_TRUE(box.starts_with("error: ")) << box;
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(), Lines{"error: The program rundll32.exe vobsub.dll failed (exit status 1) : " +
                             form->destsub.text() + " can't be used !"});
    EXPECT_EQ(reports().size(), 0u);
    EXPECT_EQ(filesUnder(out), (Lines{"work/audio.mp3.wav", "work/audio.wav"}));
    EXPECT_EQ(readBytes(title.ifoPath), ifo.substr(0, 0x260));
}

// A disc that fills up while the extractor writes the WAV. The extractor is started through a small
// script that gives it a file size limit of 300 kB, with the limit's signal ignored: beyond it, writes
// fail as they do on a full disc.
TEST_F(BadInputRoadTest, FullDiscEndsTheRipAndLeavesNoHalfWrittenWav) {
    saveAudioProfile();
    const fs::path extractor = folder.externDir() / "Tonegrab.exe";
    fs::rename(extractor, folder.externDir() / "Tonegrab.bin");
    writeBytes(extractor,
               "#!/bin/sh\ntrap '' XFSZ\nulimit -f 600\nexec \"$(dirname \"$0\")/Tonegrab.bin\" \"$@\"\n");
    fs::permissions(extractor, fs::perms::owner_all);
    writeBytes(out + "work/audio.mp3.wav", "the user's own file");
    loadProfile("Damaged");
    launch();

    // The extractor could not write its WAV: the rip ends there, naming the extractor and the file.
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(), Lines{"error: The program Tonegrab.exe failed (exit status 1) : " + out +
                             "work/audio.wav can't be used !"});
    EXPECT_EQ(reports().size(), 0u);
    // No part of the WAV is left, not even under a temporary name; the user's file is untouched.
    EXPECT_EQ(filesUnder(out), Lines{"work/audio.mp3.wav"});
    EXPECT_EQ(readBytes(out + "work/audio.mp3.wav"), "the user's own file");
}

} // namespace
} // namespace kes::test
