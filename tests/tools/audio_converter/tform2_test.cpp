#include "tools/audio_converter/tform2.h"

#include "tests/platform/acm/audio_test_util.h"
#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include "platform/ui/dialog_script.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <filesystem>

using namespace tools::audio_converter;
using namespace kes::test;

namespace {

struct Fixture {
    TempDir dir;
    platform::ui::testing::DialogScript script;
    TForm2 form{(builtProgramDir() / "extern").string()};

    Fixture() {
        writeBytes(dir.file("in.wav"), pcmWave(44100, 2, makeTone(44100, 2, 44100, 440)));
        form.Edit1.setText(dir.file("in.wav"));
        form.Edit2.setText(dir.file("out.wav"));
    }
};

} // namespace

TEST(TForm2, BatchUseAsTheRipDoesIt) {
    Fixture f;
    EXPECT_EQ(Form2, &f.form);
    f.form.ACMParams[1] = "WF=MP3/S/44.1/128";
    f.form.show();
    EXPECT_EQ(f.form.ACMParamCount, 1);
    EXPECT_EQ(f.form.Label3.caption(), "MP3");
    EXPECT_EQ(f.form.Label4.caption(), "128 kBit/s, 44.1 kHz,  Stereo");
    EXPECT_EQ(f.form.ACMParams[1], "85/2/44100/16000/1/0/12/1/0/2/0/0/0/161/1/1/0/113/5");
    EXPECT_EQ(f.form.targetFormat().nAvgBytesPerSec, 16000u);
    f.form.show(); // a second show finds no "WF=" and changes nothing
    EXPECT_EQ(f.form.targetFormat().nAvgBytesPerSec, 16000u);

    f.form.UserBreak = true;
    f.form.Conversion();
    EXPECT_FALSE(f.form.UserBreak);
    EXPECT_FALSE(f.form.JobFailed);
    EXPECT_DOUBLE_EQ(f.form.SourceSeconds, 1.0);
    EXPECT_GT(f.form.TargetSeconds, 0.9);
    EXPECT_GT(f.form.TargetByteRate, 15000);
    EXPECT_TRUE(f.script.shown().empty()); // batch use is quiet
    EXPECT_FALSE(f.form.Timer1.enabled());

    f.form.Timer1Timer(); // the source format is looked up once the label still shows "-"
    EXPECT_EQ(f.form.Label2.caption(), "PCM; 44100Hz; Stereo;");
}

TEST(TForm2, UnknownParameterLeavesNoCodecAndTheJobFails) {
    Fixture f;
    f.form.ACMParams[1] = "WF=MP3/S/48/999";
    f.form.show();
    EXPECT_EQ(f.form.Label3.caption(), "-");
    f.form.SourceSeconds = 7;
    f.form.Conversion();
    EXPECT_TRUE(f.form.JobFailed);
    EXPECT_EQ(f.form.SourceSeconds, 7); // unchanged by a failed job
    EXPECT_EQ(f.script.texts("error"), std::vector<std::string>{"Please choose a codec"});
}

TEST(TForm2, ChooseFormatFromTheDriversList) {
    Fixture f;
    platform::acm::WaveFormat format = platform::acm::pcmFormat(44100);
    std::string description, tagName;
    f.script.answer("64 kBit/s, 44100 Hz, Stereo");
    ASSERT_TRUE(f.form.ChooseFormat(format, description, tagName));
    EXPECT_EQ(format.wFormatTag, 353);
    EXPECT_EQ(format.nBlockAlign, 372);
    EXPECT_EQ(tagName, "WMA v2");
    EXPECT_EQ(f.form.Label3.caption(), "WMA v2");
    EXPECT_EQ(f.form.Label4.caption(), "64 kBit/s, 44100 Hz, Stereo");
    ASSERT_EQ(f.script.shown().size(), 1u);
    EXPECT_EQ(f.script.shown()[0].caption, "Please confirm codec");
    f.script.answerCancel();
    EXPECT_FALSE(f.form.ChooseFormat(format, description, tagName));
    EXPECT_EQ(format, platform::acm::WaveFormat{}); // cleared before the dialog
}

TEST(TForm2, StopButtonSetsTheFlag) {
    Fixture f;
    f.form.STOP.setEnabled(true);
    f.form.STOP.click();
    EXPECT_TRUE(f.form.UserBreak);
}

TEST(TForm2, BatchFailureIsShownAndReported) {
    Fixture f;
    writeBytes(f.dir.file("in.wav"), pcmWave(22050, 2, makeTone(22050, 2, 22050, 440)));
    f.form.ACMParams[1] = "WF=WMA/S/22.05/20";
    f.form.show();
    f.form.Conversion();
    EXPECT_TRUE(f.form.JobFailed);
    EXPECT_EQ(f.script.texts("error"),
              std::vector<std::string>{std::string(CannotConvertText) + "ACMERR_NOTPOSSIBLE)"});
}

// In batch use the next step would take a cut-short file for a whole one: a stopped conversion leaves
// the destination as it stood.
TEST(TForm2, StoppedBatchConversionKeepsThePreviousDestination) {
    Fixture f;
    f.form.ACMParams[1] = "WF=MP3/S/44.1/128";
    f.form.show();
    writeBytes(f.dir.file("out.wav"), "the previous audio");
    QTimer::singleShot(0, [&f] { f.form.STOP.click(); });
    f.form.Conversion();
    EXPECT_TRUE(f.form.UserBreak);
    EXPECT_FALSE(f.form.JobFailed);
    EXPECT_EQ(readBytes(f.dir.file("out.wav")), "the previous audio");
    for (const auto& entry : std::filesystem::directory_iterator(f.dir.path()))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
}
