#include "tools/muxer/tform5.h"

#include "tests/tools/muxer/mux_test_files.h"

#include "tests/support/temp_dir.h"

#include "platform/ui/dialog_script.h"

#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

using namespace tools::muxer;
using namespace kes::test;
using platform::ui::testing::DialogScript;

namespace {

class TForm5Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(writeVideoAvi(dir.file("video.avi"), TestVideo{}));
        writeBytes(dir.file("audio.wav"), pcmWav(88200));
    }
    // The rip's way: options first, then the files, then the job.
    void setUpLikeTheRip(TForm5& form) {
        form.LogoPrefix = dir.file("Vexlor/Vexlor");
        form.show();
        form.SourceEdit.setText(dir.file("video.avi"));
        form.WavSourceEdit.setText(dir.file("audio.wav"));
        form.TargetEdit.setText(dir.file("movie.avi"));
    }

    DialogScript script;
    TempDir dir;
};

} // namespace

TEST_F(TForm5Test, ControlsAndTheirHandlers) {
    TForm5 form;
    EXPECT_EQ(Form5, &form);
    EXPECT_EQ(form.caption(), "DivX Mux");
    EXPECT_TRUE(form.mux.checked());
    EXPECT_FALSE(form.go.enabled());
    EXPECT_FALSE(form.BitBtn3.enabled());
    EXPECT_EQ(form.PreloadTB.position(), 50);
    EXPECT_EQ(form.Label6.caption(), "500 msec");
    EXPECT_EQ(form.temps.text(), "0.0");
    EXPECT_EQ(form.sens.text(), "later");
    EXPECT_EQ(form.splitsize.text(), "650");
    EXPECT_FALSE(form.sih.enabled());

    form.PreloadTB.setPosition(60);
    EXPECT_EQ(form.Label6.caption(), "600 msec");
    form.Split.setChecked(true);
    EXPECT_TRUE(form.sih.enabled());
    EXPECT_TRUE(form.saft.enabled());
    EXPECT_TRUE(form.splitsize.enabled());
    for (char key : {'a', '-', '5', '\b'}) {
        char k = key;
        form.splitsize.onKeyPress(k);
        EXPECT_EQ(k, key == 'a' || key == '-' ? 0 : key);
    }

    form.demux.setChecked(true);
    EXPECT_FALSE(form.WavSourceEdit.enabled());
    EXPECT_FALSE(form.Split.enabled());
    EXPECT_FALSE(form.PreloadTB.enabled());
    EXPECT_EQ(form.SaveDialog1.filter, "Wav files|*.wav|mp3 files|*.mp3");
    form.mux.setChecked(true);
    EXPECT_TRUE(form.WavSourceEdit.enabled());
    EXPECT_EQ(form.SaveDialog1.defaultExt, ".avi");

    form.AudioPercent = 50;
    form.VideoPercent = 25;
    form.ElapsedTicks = 9;
    form.Timer1Timer();
    EXPECT_EQ(form.AudioTime.caption(), "Elapsed : 00:00:10 - Total time : 00:00:20");
    EXPECT_EQ(form.VideoTime.caption(), "Elapsed : 00:00:10 - Total time : 00:00:40");
}

TEST_F(TForm5Test, BatchMuxReadsBackItsValues) {
    TForm5 form;
    form.Vexlor.setChecked(true);
    form.Vexlor.setEnabled(true);
    setUpLikeTheRip(form);
    EXPECT_EQ(form.AudioBytes, 352800);
    EXPECT_GT(form.VideoBytes, 0);
    form.MuxStreams(true);
    EXPECT_FALSE(form.UserBreak);
    EXPECT_FALSE(form.JobFailed);
    EXPECT_DOUBLE_EQ(form.AudioSeconds, 2.0);
    EXPECT_DOUBLE_EQ(form.NewFps, 25.0);
    EXPECT_EQ(form.AudioByteRate, 176400);
    EXPECT_EQ(form.TargetPath, dir.file("movie.avi"));
    EXPECT_TRUE(form.go.enabled());
    // No clip for 8 x 4: the notice, which tells the rip's report that no logo was added.
    EXPECT_EQ(form.Label9.caption(), "VEXLOR : UNSUPPORTED RESOLUTION 8x4 !");
    EXPECT_FALSE(form.Vexlor.checked());
    EXPECT_EQ(readStream(dir.file("movie.avi"), true).frames.size(), 50u);
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(TForm5Test, DelayTextThatIsNoNumberCountsAsNoDelay) {
    TForm5 form;
    setUpLikeTheRip(form);
    form.temps.setText("1,5");
    form.MuxStreams(true);
    EXPECT_EQ(script.texts("error"), std::vector<std::string>{"1,5 is not a numerical value !"});
    EXPECT_EQ(readStream(dir.file("movie.avi"), false).bytes.size(), 352800u);
}

TEST_F(TForm5Test, FailedBatchMuxIsVisibleAndRestoresTheAudioName) {
    TForm5 form;
    setUpLikeTheRip(form);
    form.SourceEdit.setText(dir.file("gone.avi"));
    form.MuxStreams(true);
    EXPECT_TRUE(form.JobFailed);
    EXPECT_FALSE(form.UserBreak);
    EXPECT_EQ(script.texts("error"), std::vector<std::string>{"Cannot open video stream !"});
    EXPECT_TRUE(std::filesystem::exists(dir.file("audio.wav")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("_tmpwav.wav")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("movie.avi")));
    EXPECT_TRUE(form.go.enabled());
}

TEST_F(TForm5Test, GoRenamesAnExistingTargetAndMuxesBothParts) {
    TForm5 form;
    setUpLikeTheRip(form);
    writeBytes(dir.file("movie.avi"), "older movie");
    writeBytes(dir.file("old.avi"), "oldest movie");
    form.Split.setChecked(true);
    form.goClick();
    EXPECT_EQ(readBytes(dir.file("old.avi")), "older movie");
    EXPECT_EQ(readStream(dir.file("movie.avi"), true).frames.size(), 30u);
    EXPECT_EQ(readStream(dir.file("movie2.avi"), true).frames.size(), 20u);
    EXPECT_EQ(
        script.texts("plain"),
        (std::vector<std::string>{"Target file already exists and renamed to OLD.AVI !", "End of process"}));
}

TEST_F(TForm5Test, GoChecksTheSourcesFirst) {
    TForm5 form;
    form.TargetEdit.setText(dir.file("movie.avi"));
    form.SourceEdit.setText(dir.file("none.avi"));
    form.goClick();
    form.SourceEdit.setText(dir.file("video.avi"));
    form.WavSourceEdit.setText(dir.file("none.wav"));
    form.goClick();
    form.WavSourceEdit.setText(dir.file("bad.wav"));
    writeBytes(dir.file("bad.wav"), "garbage");
    form.goClick();
    EXPECT_EQ(script.texts("error"),
              (std::vector<std::string>{"Video source file does not exists",
                                        "Audio source file does not exists", "Cannot open audio stream !"}));
    EXPECT_TRUE(script.texts("plain").empty()); // a failed job is no "End of process"
}

TEST_F(TForm5Test, StopDuringAMuxIsAUserBreak) {
    TForm5 form;
    setUpLikeTheRip(form);
    QTimer::singleShot(0, [&form] { form.Stop.click(); });
    form.goClick();
    EXPECT_TRUE(form.UserBreak);
    EXPECT_FALSE(form.JobFailed);
    EXPECT_EQ(script.texts("plain"), std::vector<std::string>{"User break !"});
    EXPECT_TRUE(std::filesystem::exists(dir.file("audio.wav")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("_tmpwav.wav")));
    EXPECT_LT(readStream(dir.file("movie.avi"), true).frames.size(), 50u);
}

// The rip's mux writes the final movie: stopped, it leaves the file that stood there as it was.
TEST_F(TForm5Test, StoppedMuxOfTheRipKeepsThePreviousTarget) {
    TForm5 form;
    setUpLikeTheRip(form);
    form.KeepStoppedTarget = false;
    writeBytes(dir.file("movie.avi"), "the previous movie");
    QTimer::singleShot(0, [&form] { form.Stop.click(); });
    form.MuxStreams(true);
    EXPECT_TRUE(form.UserBreak);
    EXPECT_FALSE(form.JobFailed);
    EXPECT_EQ(readBytes(dir.file("movie.avi")), "the previous movie");
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
}

TEST_F(TForm5Test, AudioExtractionLikeTheMainWindow) {
    {
        TForm5 form;
        setUpLikeTheRip(form);
        form.MuxStreams(true);
    }
    TForm5 form;
    form.SourceEdit.setText(dir.file("movie.avi"));
    form.TargetEdit.setText(dir.file("out.wav"));
    form.demux.setChecked(true);
    form.show();
    form.SaveWave();
    EXPECT_FALSE(form.UserBreak);
    EXPECT_FALSE(form.JobFailed);
    EXPECT_EQ(readBytes(dir.file("out.wav")), pcmWav(88200));
    EXPECT_TRUE(script.shown().empty());

    QTimer::singleShot(0, [&form] { form.Stop.click(); });
    form.SaveWave();
    EXPECT_TRUE(form.UserBreak);
    EXPECT_EQ(script.texts("plain"), std::vector<std::string>{"UserBreak !"});
}
