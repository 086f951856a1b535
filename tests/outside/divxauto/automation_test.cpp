// The codec dialog answered by its script, by "divxauto.exe" started before or after it, and by
// "delayer.exe" for the second dialog.

#include "outside/delayer/delayed_line.h"
#include "platform/core/process.h"
#include "platform/ui/dialog_script.h"
#include "platform/vfw/codec_dialog_channel.h"
#include "platform/vfw/compressor_choose.h"
#include "platform/vfw/compressor_dialog.h"
#include "tests/outside/divxauto/child.h"
#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kes::test {
namespace {

namespace vfw = platform::vfw;

// The items of the lines the main program builds, as the command line hands them over.
const std::vector<std::string> DivX4Items = {
    "WI00:ICCompressorChoose", "CB00:DivX Codec 4.",        "BT04:", "WI01:", "ED00:900", "ED06:250",
    "CB01:2-pass, first pass", "ED07:/movies/My Movie.log", "BT00:", "WI00:", "BT02:",    "QU00:"};
const std::vector<std::string> DivX3FastItems = {"WI00:ICCompressorChoose",
                                                 "CB00:DivX ;-) MPEG-4 Fast-Motion",
                                                 "BT04:",
                                                 "WI01:",
                                                 "ED00:10",
                                                 "SB00:100",
                                                 "SB01:653",
                                                 "BT05:",
                                                 "WI00:",
                                                 "BT02:",
                                                 "QU00:"};

class Automation : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KESTROVA_SYSTEM_DIR", (builtProgramDir() / "system").c_str(), 1);
        setenv("KESTROVA_CODEC_CHANNEL", dir_.str().c_str(), 1); // private to this test
        setenv("KESTROVA_CODEC_TIMEOUT", "10000", 1);
    }
    void TearDown() override {
        for (const char* name : {"KESTROVA_SYSTEM_DIR", "KESTROVA_CODEC_CHANNEL", "KESTROVA_CODEC_TIMEOUT"})
            unsetenv(name);
    }
    static std::string program(const std::string& name) {
        return (builtProgramDir() / "extern" / name).string();
    }
    std::string errFile(const std::string& name) const { return dir_.file(name); }

    TempDir dir_{"kes-divxauto"};
};

TEST_F(Automation, ItemsAreParsedAndBadOnesNamed) {
    vfw::AutomationItem item;
    std::string error;
    ASSERT_TRUE(vfw::parseAutomationItem("ED07:/a b/c.log", item, error));
    EXPECT_EQ(item.kind, "ED");
    EXPECT_EQ(item.number, 7);
    EXPECT_EQ(item.value, "/a b/c.log");
    ASSERT_TRUE(vfw::parseAutomationItem("BT04:", item, error));
    EXPECT_EQ(item.value, "");
    for (const char* bad : {"XX00:a", "ED7:1", "ed00:1", "ED00", ""}) {
        EXPECT_FALSE(vfw::parseAutomationItem(bad, item, error)) << bad;
        EXPECT_NE(error.find(bad), std::string::npos);
    }
}

TEST_F(Automation, ScriptsConfigureTheChosenCodec) {
    vfw::CompressorDialog dialog(1);
    std::vector<vfw::AutomationItem> items;
    std::string error;
    ASSERT_TRUE(vfw::parseAutomationScript(DivX4Items, items, error));
    ASSERT_TRUE(dialog.run(items, error)) << error;
    ASSERT_EQ(dialog.outcome(), vfw::CompressorDialog::Outcome::Accepted);
    auto c = dialog.take();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->info().file, "divx.dll");
    EXPECT_EQ(c->control("ED00"), "900");
    EXPECT_EQ(c->control("ED06"), "250");
    EXPECT_EQ(c->control("CB01"), "2-pass, first pass");
    EXPECT_EQ(c->control("ED07"), "/movies/My Movie.log");

    vfw::CompressorDialog fast(1);
    ASSERT_TRUE(vfw::parseAutomationScript(DivX3FastItems, items, error));
    ASSERT_TRUE(fast.run(items, error)) << error;
    c = fast.take();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->info().file, "divxc32f.dll");
    EXPECT_EQ(c->control("SB01"), "653");
}

TEST_F(Automation, ScriptsThatCannotBeDoneStopAtTheirItem) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"WI00:ICCompressorChoose", "CB00:XviD"}, "CB00:XviD"},
        {{"WI00:", "ED00:900"}, "ED00:900"},      // the chooser has no edit box
        {{"WI01:", "ED00:900"}, "WI01:"},         // the settings window is not open
        {{"BT04:", "WI01:", "SB00:5"}, "SB00:5"}, // a DivX 3 slider in the DivX 4 window
        {{"BT04:", "WI01:", "BT07:"}, "BT07:"},
    };
    for (const auto& [texts, culprit] : cases) {
        vfw::CompressorDialog dialog(1);
        std::vector<vfw::AutomationItem> items;
        std::string error;
        ASSERT_TRUE(vfw::parseAutomationScript(texts, items, error));
        EXPECT_FALSE(dialog.run(items, error)) << culprit;
        EXPECT_NE(error.find(culprit), std::string::npos) << error;
        EXPECT_EQ(dialog.outcome(), vfw::CompressorDialog::Outcome::Open);
    }
    // QU00 ends the script: nothing after it is done.
    vfw::CompressorDialog dialog(1);
    std::vector<vfw::AutomationItem> items;
    std::string error;
    ASSERT_TRUE(vfw::parseAutomationScript({"QU00:", "BT02:"}, items, error));
    EXPECT_TRUE(dialog.run(items, error));
    EXPECT_EQ(dialog.outcome(), vfw::CompressorDialog::Outcome::Open);
}

TEST_F(Automation, TheDialogScriptAnswersInTheProcess) {
    platform::ui::testing::DialogScript script;
    script.answer("WI00:ICCompressorChoose \"CB00:DivX ;-) MPEG-4 Low-Motion\" BT04: WI01: ED00:5 SB00:40 "
                  "SB01:700 BT05: WI00: BT02: QU00:");
    script.answerCancel();
    std::string error;
    auto c = vfw::chooseCompressor(1, error);
    ASSERT_TRUE(c) << error;
    EXPECT_EQ(c->info().file, "divxc32.dll");
    EXPECT_EQ(c->control("SB00"), "40");
    EXPECT_FALSE(vfw::chooseCompressor(2, error));
    EXPECT_NE(error.find("cancelled"), std::string::npos);
    ASSERT_EQ(script.shown().size(), 2u);
    EXPECT_EQ(script.shown()[0].kind, "codec");
    EXPECT_EQ(script.shown()[1].text, "2");
}

TEST_F(Automation, AScriptWithoutAnAnswerPressesOkUnlessAnAutomationWaits) {
    platform::ui::testing::DialogScript script;
    std::string error;
    auto c = vfw::chooseCompressor(1, error);
    ASSERT_TRUE(c) << error;
    EXPECT_EQ(c->info().file, "divx.dll");
    ASSERT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(script.shown()[0].answer, "OK");

    // An automation started before the dialog is waiting when it opens, and is taken first.
    Child automation(program("divxauto.exe"), DivX3FastItems, errFile("waiting.err"));
    Child twin(program("divxauto.exe"), DivX4Items, errFile("twin.err"), 200);
    EXPECT_EQ(twin.wait(), 1); // one automation per dialog
    EXPECT_NE(readBytes(errFile("twin.err")).find("already waiting"), std::string::npos);
    c = vfw::chooseCompressor(1, error);
    ASSERT_TRUE(c) << error;
    EXPECT_EQ(c->info().file, "divxc32f.dll");
    EXPECT_EQ(script.shown().back().answer, "automation");
    EXPECT_EQ(automation.wait(), 0) << readBytes(errFile("waiting.err"));
}

TEST_F(Automation, AutomationStartedBeforeTheDialog) {
    std::vector<std::string> args = DivX4Items;
    Child automation(program("divxauto.exe"), args, errFile("before.err"));
    std::string error;
    auto c = vfw::chooseCompressor(1, error);
    ASSERT_TRUE(c) << error;
    EXPECT_EQ(c->control("ED00"), "900");
    EXPECT_EQ(automation.wait(), 0) << readBytes(errFile("before.err"));
}

TEST_F(Automation, AutomationStartedAfterTheDialog) {
    Child automation(program("divxauto.exe"), DivX3FastItems, errFile("after.err"), 700);
    std::string error;
    auto c = vfw::chooseCompressor(1, error);
    ASSERT_TRUE(c) << error;
    EXPECT_EQ(c->info().file, "divxc32f.dll");
    EXPECT_EQ(automation.wait(), 0) << readBytes(errFile("after.err"));
}

TEST_F(Automation, DelayerAnswersTheSecondDialogWhicheverStartsFirst) {
    // The second line goes through the delayer as the rip hands it over: split at blanks, quotes as "@".
    std::string line = program("divxauto.exe");
    for (const std::string& item : DivX4Items)
        line += item.find(' ') == std::string::npos ? " " + item : " \"" + item + "\"";
    std::string quoted = line;
    for (char& ch : quoted)
        if (ch == '"')
            ch = '@';
    std::vector<std::string> words;
    for (size_t start = 0, blank; start <= quoted.size(); start = blank + 1) {
        blank = quoted.find(' ', start);
        if (blank == std::string::npos)
            blank = quoted.size();
        words.push_back(quoted.substr(start, blank - start));
    }
    EXPECT_EQ(delayer::joinLine(words), line);

    Child second(program("delayer.exe"), words, errFile("second.err"));
    Child first(program("divxauto.exe"), DivX3FastItems, errFile("first.err"), 300);
    std::string error;
    auto one = vfw::chooseCompressor(1, error);
    ASSERT_TRUE(one) << error;
    auto two = vfw::chooseCompressor(2, error);
    ASSERT_TRUE(two) << error;
    EXPECT_EQ(one->info().file, "divxc32f.dll");
    EXPECT_EQ(two->info().file, "divx.dll");
    EXPECT_EQ(two->control("ED07"), "/movies/My Movie.log");
    EXPECT_EQ(first.wait(), 0) << readBytes(errFile("first.err"));
    EXPECT_EQ(second.wait(), 0) << readBytes(errFile("second.err"));
}

TEST_F(Automation, NobodyToAnswerEndsWithAMessage) {
    setenv("KESTROVA_CODEC_TIMEOUT", "400", 1);
    Child lonely(program("divxauto.exe"), DivX4Items, errFile("lonely.err"));
    EXPECT_EQ(lonely.wait(), 1);
    EXPECT_NE(readBytes(errFile("lonely.err")).find("No codec dialog 1 appeared"), std::string::npos);

    std::string error;
    EXPECT_FALSE(vfw::chooseCompressor(1, error));
    EXPECT_NE(error.find("no automation answered it"), std::string::npos) << error;

    Child bad(program("divxauto.exe"), {"WI00:ICCompressorChoose", "PRESS:OK"}, errFile("bad.err"));
    EXPECT_EQ(bad.wait(), 2);
    EXPECT_NE(readBytes(errFile("bad.err")).find("PRESS:OK"), std::string::npos);
}

TEST_F(Automation, ARefusedScriptIsReportedToBothSides) {
    Child automation(program("divxauto.exe"), {"WI00:ICCompressorChoose", "CB00:Cinepak", "BT02:", "QU00:"},
                     errFile("refused.err"));
    std::string error;
    EXPECT_FALSE(vfw::chooseCompressor(1, error));
    EXPECT_NE(error.find("Cinepak"), std::string::npos) << error;
    EXPECT_EQ(automation.wait(), 1);
    EXPECT_NE(readBytes(errFile("refused.err")).find("Cinepak"), std::string::npos);
}

} // namespace
} // namespace kes::test
