#include "tools/amplifier/tform3.h"

#include "tests/support/temp_dir.h"

#include "platform/ui/dialog_script.h"

#include <gtest/gtest.h>

using namespace tools::amplifier;
using kes::test::readBytes;
using kes::test::TempDir;
using kes::test::writeBytes;

namespace {

// 44-byte header and two samples of 1000.
std::string smallWave() {
    std::string h =
        std::string("RIFF") + std::string("\x2c\x00\x00\x00", 4) + "WAVEfmt " +
        std::string("\x10\x00\x00\x00\x01\x00\x02\x00\x44\xac\x00\x00\x10\xb1\x02\x00\x04\x00\x10\x00", 20) +
        "data" + std::string("\x04\x00\x00\x00", 4);
    return h + std::string("\xe8\x03\xe8\x03", 4);
}

} // namespace

TEST(TForm3, ControlsAndTheirHandlers) {
    platform::ui::testing::DialogScript script;
    TForm3 form;
    EXPECT_EQ(Form3, &form);
    EXPECT_EQ(form.TB.position(), 150);
    EXPECT_EQ(form.Label6.caption(), "15.0 dB");
    form.TB.setPosition(100);
    EXPECT_EQ(form.Label6.caption(), " 10.0 db");
    form.same.setChecked(true);
    EXPECT_FALSE(form.Edit2.enabled());
    EXPECT_FALSE(form.Button3.enabled());
    form.same.setChecked(false);
    EXPECT_TRUE(form.Edit2.enabled());

    script.answer("/tmp/chosen.wav");
    form.Button1.click();
    EXPECT_EQ(form.Edit1.text(), "/tmp/chosen.wav");
}

TEST(TForm3, GoChecksSourceAndDestination) {
    platform::ui::testing::DialogScript script;
    TempDir dir;
    writeBytes(dir.file("in.wav"), smallWave());
    TForm3 form;
    form.Edit1.setText(dir.file("missing.wav"));
    form.go.click();
    form.Edit1.setText(dir.file("in.wav"));
    form.go.click();
    EXPECT_EQ(script.texts("error"),
              (std::vector<std::string>{"Source File Does not exist", "Please choose a destination file"}));
    EXPECT_EQ(readBytes(dir.file("in.wav")), smallWave());
}

TEST(TForm3, BatchInPlace) {
    platform::ui::testing::DialogScript script;
    TempDir dir;
    writeBytes(dir.file("in.wav"), smallWave());
    TForm3 form;
    form.Edit1.setText(dir.file("in.wav"));
    form.same.setChecked(true);
    form.TB.setPosition(150);
    form.show();
    form.AmplifyWav();
    EXPECT_FALSE(form.UserBreak);
    EXPECT_FALSE(form.JobFailed);
    EXPECT_TRUE(form.TB.enabled());
    EXPECT_TRUE(form.go.enabled());
    const std::string out = readBytes(dir.file("in.wav"));
    EXPECT_EQ(out.substr(44), std::string("\xf7\x15\xf7\x15", 4)); // 5623 twice
    EXPECT_TRUE(script.shown().empty());
}

TEST(TForm3, BatchFailureIsVisible) {
    platform::ui::testing::DialogScript script;
    TempDir dir;
    writeBytes(dir.file("in.wav"), std::string(50, 'x'));
    TForm3 form;
    form.Edit1.setText(dir.file("in.wav"));
    form.Edit2.setText(dir.file("out.wav"));
    form.AmplifyWav();
    EXPECT_TRUE(form.JobFailed);
    EXPECT_FALSE(form.UserBreak);
    EXPECT_EQ(script.texts("error"), std::vector<std::string>{"Invalid header in " + dir.file("in.wav")});
}
