// An unattended night: two whole-rip profiles in the multi-rip list, each into its own final AVI.
// Nothing waits for a person, each rip writes its log, and the machine is switched off once, after
// the last rip.
#include "tests/rip/av_probe.h"
#include "tests/rip/rip_checks.h"
#include "tests/rip/rip_road.h"

#include "kes/form1_unit.h"

#include "platform/core/process.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace kes::test {
namespace {

namespace fs = std::filesystem;

class MultiRoadTest : public RipRoadTest {
protected:
    void SetUp() override {
        fillMissingHelpers();
        DvdTitleSpec spec;
        spec.video = true;
        makeTitle(spec);
        start();
        recorder_ = platform::core::shutdownCommand();
    }
    void TearDown() override { setenv("KESTROVA_SHUTDOWN_COMMAND", recorder_.c_str(), 1); }

    // A shutdown command of this test's own, so that a late request of another test is not counted.
    void recordShutdownsAs(const std::string& word) {
        setenv("KESTROVA_SHUTDOWN_COMMAND", (recorder_.substr(0, recorder_.rfind(' ')) + " " + word).c_str(),
               1);
    }
    static size_t requests(const std::string& word) {
        const char* log = std::getenv("KES_RECORDER_LOG");
        const std::string text = log && fs::exists(log) ? readBytes(log) : std::string();
        size_t n = 0;
        for (size_t at = text.find("[" + word + "]"); at != std::string::npos;
             at = text.find("[" + word + "]", at + 1))
            ++n;
        return n;
    }
    // The requests once they had time to arrive, with room for one too many.
    static size_t requestsArrived(const std::string& word) {
        for (int i = 0; i < 100 && requests(word) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return requests(word);
    }

    // A rip of the video in one DivX 4 pass and the first stream, muxed; the audio path and format
    // are the profile's own.
    void wholeRip(TForm1& f, const std::string& out) {
        f.RipAudio.setChecked(true);
        f.compress.setChecked(true);
        f.Mode.setText("Stereo");
        f.RipVid.setChecked(true);
        f.DivxAuto.setChecked(true);
        f.Codec.setText("DivX 4.x");
        f.D4VBR.setText("1-pass");
        f.finalsize.setText("2");
        f.DivFR.setText(f.SBitRate.text());
        f.DownX.setChecked(true);
        f.DownY.setChecked(true);
        f.XSize.setText("320");
        f.YSize.setText("256");
        f.Merge.setChecked(true);
        f.Shut.setChecked(false);
        f.FinalFile.setText(out + "final.avi");
    }

    static void expectMovie(const std::string& path, const DvdTitle& title, const std::string& audioCodec,
                            int rate) {
        SCOPED_TRACE(path);
        const ProbedFile avi = probeMedia(path);
        ASSERT_TRUE(avi.opened) << avi.error;
        ASSERT_EQ(avi.streams.size(), 2u);
        const ProbedStream* video = avi.first("video");
        const ProbedStream* audio = avi.first("audio");
        ASSERT_TRUE(video && audio);
        EXPECT_EQ(video->codec, "mpeg4");
        EXPECT_EQ(video->width, 320);
        EXPECT_NEAR(video->seconds, title.spec.seconds, VideoFrame);
        EXPECT_EQ(audio->codec, audioCodec);
        EXPECT_EQ(audio->sampleRate, rate);
        EXPECT_NEAR(audio->seconds, title.spec.seconds, 0.1);
        expectBeeps(flashStarts(path), title.spec.beeps, VideoFrame / 2);
        expectBeeps(beepStarts(path), title.spec.beeps, VideoFrame);
    }

    std::string recorder_;
};

TEST_F(MultiRoadTest, TwoProfilesRipUnattendedAndTheMachineStopsOnceAfterTheLast) {
    saveProfile("Night one", "one.pfl", [&](TForm1& f) {
        baseSettings(f, title, at("one/"));
        wholeRip(f, at("one/"));
        f.arip.setText("Internal");
        f.Samplerate.setText("44.1");
        f.mp3wma.setText("MP3");
        f.Bitrate.setText("128");
    });
    saveProfile("Night two", "two.pfl", [&](TForm1& f) {
        baseSettings(f, title, at("two/"));
        wholeRip(f, at("two/"));
        f.arip.setText("AC3Dec");
        f.normal.setChecked(true);
        f.mp3wma.setText("MP3");
        f.Samplerate.setText("48");
        f.Bitrate.setText("96");
        f.log.setChecked(false); // the list writes it all the same
    });
    start();
    script.clearShown();
    for (const char* entry : {"Night one (one.pfl)", "Night two (two.pfl)"}) {
        const int index = form->memo1.indexOf(entry);
        ASSERT_GE(index, 0) << entry;
        form->memo1.setItemIndexSilent(index);
        form->addtomultiClick();
    }
    form->usemulti.setChecked(true);
    ASSERT_TRUE(form->LaunchMulti.enabled());
    recordShutdownsAs("night");
    form->LaunchMulti.click();

    EXPECT_EQ(script.shown(), std::vector<platform::ui::testing::ShownBox>{});
    EXPECT_EQ(requestsArrived("night"), 1u);
    expectMovie(at("one/Night_one.avi"), title, "mp3", 44100);
    expectMovie(at("two/Night_two.avi"), title, "mp3", 48000);
    // Every rip deleted its work WAV files and wrote its log.
    EXPECT_FALSE(fs::exists(at("one/work/audio.wav")));
    EXPECT_FALSE(fs::exists(at("two/work/audio.wav")));
    EXPECT_EQ(filesUnder(folder.path() / "Logs").size(), 2u)
        << ::testing::PrintToString(filesUnder(folder.path() / "Logs"));
}

} // namespace
} // namespace kes::test
