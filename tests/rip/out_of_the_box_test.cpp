// The first start in the program folder the build assembles: every helper file and codec file is
// there, so the only box is the first-run greeting, and the default profile's codec is installed.
#include "tests/rip/av_probe.h"
#include "tests/rip/rip_checks.h"
#include "tests/rip/rip_road.h"

#include "kes/form1_unit.h"
#include "kes/wizard.h"
#include "kes/work_folders.h"

#include "platform/core/files.h"
#include "platform/core/registry.h"

#include <QCoreApplication>

namespace kes::test {
namespace {

// Each test starts on a machine where the program has never run.
class OutOfTheBoxTest : public RipRoadTest {
protected:
    OutOfTheBoxTest() {
        using namespace platform::core;
        registry::deleteKey(RootKey::CurrentUser, "Software\\Kestrova\\Lang1.24");
        registry::deleteKey(RootKey::CurrentUser, "Software\\Kestrova");
    }
};

TEST_F(OutOfTheBoxTest, FirstStartShowsOnlyTheGreeting) {
    for (const auto& helper : HelperFiles)
        EXPECT_TRUE(platform::core::fileExists((folder.externDir() / std::string(helper.file)).string()))
            << helper.file;
    start();
    ASSERT_EQ(script.shown().size(), 1u) << ::testing::PrintToString(shown());
    EXPECT_EQ(script.shown()[0].kind, "information");
    EXPECT_TRUE(script.shown()[0].text.starts_with("It seems this is the first time you use Kestrova."));
    // Both codecs are offered: the system folder holds their files.
    EXPECT_GE(form->Codec.itemCount(), 2);
    EXPECT_EQ(form->Codec.text(), "DivX 4.x");

    // A second start greets no more; the saved default profile loads without a codec warning.
    script.clearShown();
    form->SaveDialog1.fileName = (folder.path() / "Profiles" / "default.pfl").string();
    form->CreateProfile(false);
    start();
    EXPECT_EQ(shown(), Lines{});
}

// A new user's road on the first start: the first VOB chosen with the Paths page's file dialog, the
// wizard gone through as it offers itself (but for the shutdown), "Launch rip !", and a movie that FFmpeg
// plays to its end, the sound in step with the pictures.
TEST_F(OutOfTheBoxTest, WizardAndLaunchMakeAMovieThatPlays) {
    DvdTitleSpec spec;
    spec.video = true;
    makeTitle(spec);
    start();
    ASSERT_EQ(script.shown().size(), 1u); // the greeting
    script.clearShown();

    // The VOB dialog opens in a folder that exists; the IFO file beside the VOB fills the pages.
    script.answer(title.firstVob());
    form->OpenVOBClick();
    ASSERT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(script.shown()[0].kind, "open");
    EXPECT_TRUE(std::filesystem::is_directory(script.shown()[0].text)) << script.shown()[0].text;
    EXPECT_EQ(form->Vobfile.text(), title.firstVob());
    EXPECT_EQ(form->sec.text(), "6"); // the movie length, from the IFO file
    script.clearShown();

    form->wizardClick();
    ASSERT_NE(Keswizard, nullptr) << ::testing::PrintToString(shown());
    TKeswizard& wizard = *Keswizard;
    EXPECT_TRUE(wizard.Shutdown.checked());
    wizard.Edit2.setText("Road");
    wizard.Shutdown.setChecked(false);
    wizard.Button3Click();
    QCoreApplication::processEvents(); // frees the closed wizard
    ASSERT_EQ(script.shown().size(), 1u) << ::testing::PrintToString(shown());
    EXPECT_EQ(script.shown()[0].kind, "plain");
    EXPECT_TRUE(platform::core::fileExists((folder.path() / "Profiles" / "Road.pfl").string()));

    launch();
    ASSERT_FALSE(RipAborted) << ::testing::PrintToString(shown());
    EXPECT_EQ(shown(), Lines{});
    ASSERT_EQ(reports().size(), 1u);
    const std::string report = reports()[0];
    expectOneLog(folder.path(), report);

    const std::string movie = (folder.path() / "Output" / "Road.avi").string();
    EXPECT_EQ(form->FinalFile.text(), movie);
    const ProbedFile avi = probeMedia(movie);
    ASSERT_TRUE(avi.opened) << avi.error;
    const ProbedStream* video = avi.first("video");
    const ProbedStream* audio = avi.first("audio");
    ASSERT_TRUE(video && audio);
    EXPECT_EQ(video->fourcc, "DIVX");
    EXPECT_NEAR(video->seconds, spec.seconds, VideoFrame);
    EXPECT_EQ(audio->codec, "mp3");
    EXPECT_EQ(audio->sampleRate, 44100);
    EXPECT_NEAR(audio->seconds, video->seconds, VideoFrame + 1152.0 / 44100);
    expectBeeps(flashStarts(movie), spec.beeps, VideoFrame / 2);
    expectBeeps(beepStarts(movie), spec.beeps, VideoFrame);
    EXPECT_NEAR(reportSeconds(report, "Video length in the final AVI"), video->seconds, 0.5);
    EXPECT_NEAR(reportSeconds(report, "Audio length in the final AVI"), audio->seconds, 0.5);
    // The wizard deletes the work WAV files.
    EXPECT_FALSE(platform::core::fileExists((folder.path() / "Wtemp" / "audio.wav").string()));
}

} // namespace
} // namespace kes::test
