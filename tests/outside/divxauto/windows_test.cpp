// The chooser and settings windows show what the dialog holds and hand a person's edits to it.

#include "platform/ui/dialog_script.h"
#include "platform/vfw/compressor_dialog.h"
#include "platform/vfw/compressor_windows.h"
#include "tests/support/program_folder.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

#include <cstdlib>

namespace kes::test {
namespace {

namespace vfw = platform::vfw;

class CodecWindows : public ::testing::Test {
protected:
    void SetUp() override { setenv("KESTROVA_SYSTEM_DIR", (builtProgramDir() / "system").c_str(), 1); }
    void TearDown() override { unsetenv("KESTROVA_SYSTEM_DIR"); }
};

void run(vfw::CompressorDialog& dialog, const std::vector<std::string>& texts) {
    std::vector<vfw::AutomationItem> items;
    std::string error;
    ASSERT_TRUE(vfw::parseAutomationScript(texts, items, error)) << error;
    ASSERT_TRUE(dialog.run(items, error)) << error;
}

TEST_F(CodecWindows, AutomationShowsInTheWindows) {
    vfw::CompressorDialog dialog(1);
    vfw::ChooserWindow window(dialog);
    dialog.changed = [&] { window.refresh(); };
    auto* list = window.findChild<QComboBox*>();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->count(), 3);
    EXPECT_TRUE(list->itemText(0).startsWith("DivX Codec 4."));

    run(dialog, {"WI00:ICCompressorChoose", "CB00:DivX ;-) MPEG-4 Fast-Motion", "BT04:", "WI01:", "SB00:70"});
    EXPECT_EQ(list->currentIndex(), 2);
    auto* settings = window.findChild<vfw::SettingsWindow*>();
    ASSERT_TRUE(settings);
    auto* crisp = settings->findChild<QSlider*>("SB00");
    ASSERT_TRUE(crisp);
    EXPECT_EQ(crisp->value(), 70);
    EXPECT_EQ(crisp->maximum(), 100);

    run(dialog, {"BT05:"});
    EXPECT_FALSE(dialog.settingsOpen());
}

TEST_F(CodecWindows, APersonsEditsReachTheCodec) {
    platform::ui::testing::DialogScript script;
    vfw::CompressorDialog dialog(1);
    vfw::ChooserWindow window(dialog);
    dialog.changed = [&] { window.refresh(); };
    std::string error;
    ASSERT_TRUE(dialog.configure(error)) << error; // DivX 4, the first entry
    auto* settings = window.findChild<vfw::SettingsWindow*>();
    ASSERT_TRUE(settings);
    auto* rate = settings->findChild<QLineEdit*>("ED00");
    auto* mode = settings->findChild<QComboBox*>("CB01");
    auto* ok = settings->findChild<QPushButton*>();
    ASSERT_TRUE(rate && mode && ok);

    rate->setText("lots");
    ok->click(); // refused with a box; the window stays
    EXPECT_TRUE(dialog.settingsOpen());
    ASSERT_EQ(script.texts("warning").size(), 1u);
    EXPECT_NE(script.texts("warning")[0].find("lots"), std::string::npos);

    rate->setText("1200");
    mode->setCurrentText("2-pass, first pass");
    ok->click();
    EXPECT_FALSE(dialog.settingsOpen());
    ASSERT_TRUE(dialog.accept(error));
    auto c = dialog.take();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->control("ED00"), "1200");
    EXPECT_EQ(c->control("CB01"), "2-pass, first pass");
}

} // namespace
} // namespace kes::test
