// A new user's road: the first VOB chosen, the work and final files set on the paths page, then the
// wizard answered step by step (its preview looked at and closed), its profile saved, and the rip
// launched from the main window. The final AVI is read back with FFmpeg.
#include "tests/rip/av_probe.h"
#include "tests/rip/rip_checks.h"
#include "tests/rip/rip_road.h"

#include "tests/outside/vobsub/ffmpeg_vobsub.h"

#include "kes/form1_unit.h"
#include "kes/wizard.h"

#include "platform/ui/application.h"

#include <cstdlib>

namespace kes::test {
namespace {

namespace fs = std::filesystem;

class WizardRoadTest : public RipRoadTest {
protected:
    void SetUp() override {
        fillMissingHelpers();
        DvdTitleSpec spec;
        spec.video = true;
        makeTitle(spec);
        out = at("out/");
        fs::create_directories(out + "work");
        start();
        script.clearShown();
    }
    void TearDown() override { unsetenv(platform::ui::testing::ScriptEnv); }

    // The preview runs as a program of its own: the person looking at it closes its window without
    // taking its sizes, which its script says for it.
    void previewClosedByTheUser() {
        const fs::path file = data.path() / "preview.script";
        platform::ui::testing::writeScriptFile(file.string(), {"Cancel"});
        setenv(platform::ui::testing::ScriptEnv, file.c_str(), 1);
    }

    std::string out;
};

TEST_F(WizardRoadTest, EveryStepAnsweredGivesAFinishedRip) {
    TForm1& f = *form;
    // The main page and the paths page, as the user fills them before the wizard.
    f.Vobfile.setText(title.firstVob());
    EXPECT_EQ(f.ifofile.text(), title.ifoPath.string());
    f.AVIFile.setText(out + "work/movie.avi");
    f.WavFileEdit.setText(out + "work/audio.wav");
    f.compaudiofile.setText(out + "work/audio.mp3.wav");
    f.FinalFile.setText(out + "final.avi");
    f.destsub.setText(out + "final.sub");

    f.wizard.click();
    ASSERT_NE(Keswizard, nullptr) << ::testing::PrintToString(shown());
    TKeswizard& w = *Keswizard;
    // What the wizard took from the main window: the title's length, PAL and both subtitle languages.
    EXPECT_EQ(w.movielength.text(), "0");
    EXPECT_EQ(w.sec.text(), "6");
    EXPECT_TRUE(w.pal.checked());
    EXPECT_TRUE(w.extractsub.enabled());
    EXPECT_EQ(w.lnglist.text(), "English");

    w.Edit2.setText("Wizard movie");
    w.N0.click();
    w.pal.setChecked(true);
    w.N1.click();
    w.cd1.setChecked(true);
    w.N2.click();
    w.N3.click(); // the length read from the IFO
    w.Codec.setText("DivX 4.x");
    w.pass2.setChecked(true);
    w.N4.click();
    const int preset = w.presets.indexOf("512x384 => 512x384 [4:3]");
    ASSERT_GE(preset, 0) << ::testing::PrintToString(w.presets.items());
    w.presets.setItemIndex(preset);
    previewClosedByTheUser();
    w.Button1.click();
    unsetenv(platform::ui::testing::ScriptEnv);
    w.N5.click();
    w.no.setChecked(true);
    w.N6.click();
    w.SubStream.setText(w.SubStream.items().at(0));
    w.N7.click();
    w.mp3wma.setText("MP3");
    w.Samplerate.setText("48");
    w.Bitrate.setText("128");
    w.N8.click();
    w.split.setChecked(false);
    w.N9.click();
    w.extractsub.setChecked(true);
    w.N10.click();
    w.Shutdown.setChecked(false);
    EXPECT_EQ(shown(), Lines{}); // the preview showed nothing in the main window
    w.Button3.click();
    platform::ui::processMessages();
    EXPECT_EQ(Keswizard, nullptr);
    ASSERT_EQ(script.shown().size(), 1u) << ::testing::PrintToString(shown());
    EXPECT_EQ(script.shown()[0].kind, "plain");
    EXPECT_TRUE(fs::exists(folder.path() / "Profiles" / "Wizard movie.pfl"));
    EXPECT_EQ(f.finalsize.text(), "650");
    EXPECT_EQ(f.D4VBR.text(), "2-pass, first pass");

    launch();
    ASSERT_FALSE(RipAborted) << ::testing::PrintToString(shown());
    EXPECT_EQ(shown(), Lines{});
    ASSERT_EQ(reports().size(), 1u);

    const std::string final = f.FinalFile.text();
    const ProbedFile avi = probeMedia(final);
    ASSERT_TRUE(avi.opened) << final << ": " << avi.error;
    ASSERT_EQ(avi.streams.size(), 2u);
    const ProbedStream* video = avi.first("video");
    const ProbedStream* audio = avi.first("audio");
    ASSERT_TRUE(video && audio);
    EXPECT_EQ(video->codec, "mpeg4");
    EXPECT_EQ(video->width, 512);
    EXPECT_EQ(video->height, 384);
    EXPECT_NEAR(video->frameRate, 25.0, 1e-6);
    EXPECT_NEAR(video->seconds, title.spec.seconds, VideoFrame);
    EXPECT_EQ(audio->codec, "mp3");
    EXPECT_EQ(audio->sampleRate, 48000);
    EXPECT_NEAR(audio->seconds, title.spec.seconds, VideoFrame + 1152.0 / 48000);
    expectBeeps(flashStarts(final), title.spec.beeps, VideoFrame / 2);
    expectBeeps(beepStarts(final), title.spec.beeps, VideoFrame);
    // The English subtitles beside it; the work WAV files and the first pass's log are gone.
    EXPECT_EQ(final, out + "Wizard_movie.avi");
    std::string error;
    const auto subtitles = readWithFfmpeg(out + "Wizard_movie.idx", &error);
    ASSERT_EQ(subtitles.size(), 1u) << error;
    EXPECT_EQ(subtitles[0].language, "en");
    EXPECT_EQ(subtitles[0].subtitles.size(), englishSubtitleStarts(title.spec.seconds).size());
    EXPECT_EQ(filesUnder(out),
              (Lines{"Wizard_movie.avi", "Wizard_movie.idx", "Wizard_movie.rar", "Wizard_movie.sub",
                     "work/audio.mp3.wav", "work/movie.avi"}));
    expectOneLog(folder.path(), reports()[0]);
}

} // namespace
} // namespace kes::test
