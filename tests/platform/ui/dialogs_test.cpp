// The test script answers boxes and dialogs in order and records them; it reaches a child process
// through the environment.
#include "platform/core/text.h"
#include "platform/ui/application.h"
#include "platform/ui/dialog_script.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/file_dialogs.h"
#include "platform/ui/font_dialog.h"
#include "platform/ui/print_dialog.h"
#include "tests/platform/ui/shown_box_printer.h"
#include "tests/support/temp_dir.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace ui = platform::ui;
using ui::testing::ShownBox;

TEST(DialogScript, AnswersInOrderAndRecordsEveryBox) {
    ui::setApplicationTitle("Kestrova");
    ui::testing::DialogScript script({"OK", "Yes", "No", "my rip", "Cancel"});
    ui::errorBox("Source file does not exist");
    EXPECT_TRUE(ui::askYesNo("Overwrite ?"));
    EXPECT_FALSE(ui::askYesNo("Again ?"));
    EXPECT_EQ(ui::inputBox("Oops !", "Name", "None"), "my rip");
    EXPECT_EQ(ui::inputBox("Oops !", "Name", "None"), "None"); // cancelled
    ui::showMessage("End of process");
    ui::warningBox("w", "Custom");
    EXPECT_EQ(ui::messageBox(ui::MessageKind::Question, "Stop ?", ui::Buttons::YesNoCancel),
              ui::Answer::Cancel); // no answer left

    const std::vector<ShownBox> expected{
        {"error", "Error", "Source file does not exist", "OK"},
        {"question", "Confirm", "Overwrite ?", "Yes"},
        {"question", "Confirm", "Again ?", "No"},
        {"input", "Oops !", "Name", "my rip"},
        {"input", "Oops !", "Name", "Cancel"},
        {"plain", "Kestrova", "End of process", "OK"},
        {"warning", "Custom", "w", "OK"},
        {"question", "Confirm", "Stop ?", "Cancel"},
    };
    EXPECT_EQ(script.shown(), expected);
    EXPECT_EQ(script.pendingAnswers(), 0);
}

TEST(DialogScript, AnAnswerThatDoesNotFitTheBoxCountsAsItsDefault) {
    ui::testing::DialogScript script({"Yes", "=Cancel", "Maybe"});
    ui::informationBox("first time"); // one OK button: "Yes" does not fit
    EXPECT_EQ(ui::inputBox("c", "p", "d"), "Cancel");
    EXPECT_FALSE(ui::askYesNo("?"));
    EXPECT_EQ(script.shown()[0].answer, "OK");
    EXPECT_EQ(script.shown()[2].answer, "No");
}

TEST(DialogScript, NewestScriptWinsAndOldOneComesBack) {
    ui::testing::DialogScript outer({"Yes"});
    {
        ui::testing::DialogScript inner;
        EXPECT_FALSE(ui::askYesNo("inner"));
        EXPECT_EQ(inner.shown().size(), 1u);
    }
    EXPECT_TRUE(ui::askYesNo("outer"));
    EXPECT_EQ(outer.texts("question"), (std::vector<std::string>{"outer"}));
}

TEST(FileDialogs, ScriptedChoiceGetsDefaultExtension) {
    ui::testing::DialogScript script({"/tmp/movie", "Cancel", "/v/a.VOB\n/v/b.vob"});
    ui::SaveDialog save;
    save.title = "Save profile";
    save.defaultExt = "*.pfl";
    save.initialDir = "/home/u/Profiles";
    save.fileName = "default.pfl";
    ASSERT_TRUE(save.execute());
    EXPECT_EQ(save.fileName, "/tmp/movie.pfl");
    EXPECT_FALSE(save.execute());
    EXPECT_EQ(save.fileName, "/tmp/movie.pfl"); // a cancel changes nothing

    ui::OpenDialog open;
    open.multiSelect = true;
    open.defaultExt = ".vob";
    ASSERT_TRUE(open.execute());
    EXPECT_EQ(open.files, (std::vector<std::string>{"/v/a.VOB", "/v/b.vob"}));
    EXPECT_EQ(open.fileName, "/v/a.VOB");
    EXPECT_EQ(script.shown()[0], (ShownBox{"save", "Save profile", "/home/u/Profiles", "/tmp/movie"}));
    EXPECT_EQ(script.shown()[2].kind, "open");
}

TEST(FileDialogs, FilterAndExtensionHelpers) {
    EXPECT_EQ(ui::qtNameFilter("Vob files|*.VOB|All files|*.*"), "Vob files (*.VOB);;All files (*)");
    EXPECT_EQ(ui::qtNameFilter("Jpeg images|*.jpg;*.jpeg"), "Jpeg images (*.jpg *.jpeg)");
    EXPECT_EQ(ui::qtNameFilter("Broken|"), "Broken ()");
    EXPECT_EQ(ui::qtNameFilter("lonely"), "");
    EXPECT_EQ(ui::applyDefaultExt("/a.b/file", "wav"), "/a.b/file.wav");
    EXPECT_EQ(ui::applyDefaultExt("/a/file.mp3", ".wav"), "/a/file.mp3");
    EXPECT_EQ(ui::applyDefaultExt("/a/file", ""), "/a/file");
}

TEST(FontAndPrintDialogs, ScriptedAnswers) {
    ui::testing::DialogScript script({"Arial, Narrow,15,255,bi", "12,x", "3", "Cancel"});
    ui::FontDialog dialog;
    dialog.font = ui::Font{"Courier", 10, 0, {}};
    ASSERT_TRUE(dialog.execute());
    EXPECT_EQ(dialog.font, (ui::Font{"Arial, Narrow", 15, ui::Colors::Red, {true, true, false, false}}));
    EXPECT_FALSE(dialog.execute()); // unreadable answer: cancel
    EXPECT_EQ(dialog.font.family, "Arial, Narrow");
    EXPECT_EQ(script.shown()[0].text, "Courier,10,0,");

    ui::PrintDialog print;
    EXPECT_TRUE(print.execute());
    EXPECT_EQ(print.copies, 3);
    EXPECT_FALSE(print.execute());
    EXPECT_EQ(print.copies, 3);
}

TEST(DialogScript, FilesEscapeEveryLineBreak) {
    kes::test::TempDir dir;
    const std::vector<std::string> answers{"a\tb", "line1\nline2\r", "back\\slash", ""};
    ASSERT_TRUE(ui::testing::writeScriptFile(dir.file("script"), answers));
    EXPECT_EQ(kes::test::readBytes(dir.path() / "script"), "a\\tb\nline1\\nline2\\r\nback\\\\slash\n\n");
    for (const std::string& text : answers)
        EXPECT_EQ(platform::core::unescapeLine(platform::core::escapeLine(text)), text);
    EXPECT_TRUE(ui::testing::readLogFile(dir.file("absent")).empty());
}

TEST(DialogScript, ReachesAChildThroughTheEnvironment) {
    kes::test::TempDir dir;
    const std::string log = dir.file("log");
    ASSERT_TRUE(ui::testing::writeScriptFile(dir.file("script"), {"OK", "Yes"}));

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(ui::testing::ScriptEnv, QString::fromStdString(dir.file("script")));
    env.insert(ui::testing::LogEnv, QString::fromStdString(log));
    child.setProcessEnvironment(env);
    child.start(KES_UI_SCRIPT_CHILD, {});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_EQ(child.readAllStandardOutput().toStdString(), "yes None\n");

    const std::vector<ShownBox> expected{
        {"error", "Error", "Source file not found !", "OK"},
        {"question", "Confirm", "Overwrite?", "Yes"},
        {"input", "Oops !", "Name:", "Cancel"},
    };
    EXPECT_EQ(ui::testing::readLogFile(log), expected);
}
