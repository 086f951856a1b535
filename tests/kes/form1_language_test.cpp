// The main window's language: start-up with the program's English file, the language menu, a menu
// choice, the fall-back to English and the first-use box.
#include "kes/about_window.h"
#include "kes/form1.h"
#include "kes/form1_unit.h"

#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include "platform/core/registry.h"
#include "platform/ui/application.h"
#include "platform/ui/dialog_script.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QTimer>

#include <filesystem>
#include <memory>

namespace kes {
namespace {

namespace fs = std::filesystem;
using platform::core::RootKey;
using test::readBytes;
using test::writeBytes;
namespace registry = platform::core::registry;

constexpr const char* LanguageKey = "Software\\Kestrova\\Lang1.24";

// A complete language file (399 entry lines) whose captions read "<prefix> n".
std::string completeLanguage(const std::string& prefix, const std::string& caption10 = "Delete Wav file") {
    std::string text = "1.24\r\n";
    int lines = 0;
    for (int n = 1; n <= 120; ++n, ++lines)
        text +=
            "#" + std::to_string(n) + "=" + (n == 10 ? caption10 : prefix + " " + std::to_string(n)) + "\r\n";
    text += "----Messages----\r\n";
    for (int n = 1; lines < 399; ++n, ++lines)
        text += "#" + std::to_string(n) + "=" + prefix + " message " + std::to_string(n) + "\r\n";
    return text + "----Wizard----\r\n";
}

class LanguageWindowTest : public ::testing::Test {
protected:
    LanguageWindowTest() {
        folder.copyFromBuild("LANG/English.lng");
        // With the DivX 4 codec installed the default codec starts without complaint.
        for (const char* codecFile : {"divxdec.ax", "divx.dll"})
            writeBytes(folder.path() / "system" / codecFile, "");
        registry::createKey(RootKey::CurrentUser, LanguageKey);
    }
    ~LanguageWindowTest() override {
        fs::current_path(previous);
        registry::deleteKey(RootKey::CurrentUser, LanguageKey);
        CaptionTable.clear();
        MessageTable.clear();
    }
    std::unique_ptr<TForm1> start() {
        fs::current_path(folder.path());
        auto form = std::make_unique<TForm1>();
        fs::current_path(previous);
        return form;
    }
    fs::path lang(const std::string& name) const { return folder.path() / "LANG" / name; }
    std::vector<ui::MenuItem*> menu(TForm1& f) {
        return {&f.s0, &f.s1, &f.s2,  &f.s3,  &f.s4,  &f.s5,  &f.s6, &f.s7,
                &f.s8, &f.s9, &f.s10, &f.s11, &f.s12, &f.s13, &f.s14};
    }

    fs::path previous = fs::current_path();
    platform::ui::testing::DialogScript script;
    test::ProgramFolder folder;
};

TEST_F(LanguageWindowTest, StartUpShowsTheEnglishCaptionsOnEveryPage) {
    auto form = start();
    EXPECT_TRUE(script.texts("error").empty());
    EXPECT_EQ(readBytes(lang("default.ini")), "English.lng\r\n");
    // One control of each page, and the special cases.
    EXPECT_EQ(form->OptionsButton.caption(), "Main");
    EXPECT_EQ(form->MainPage.caption(), "Main");
    EXPECT_EQ(form->RipVid.caption(), "Rip Video");
    EXPECT_EQ(form->MovieButton.caption(), "Video");
    EXPECT_EQ(form->DownX.caption(), "Downsize X =>");
    EXPECT_EQ(form->AudioButton.caption(), "Audio");
    EXPECT_EQ(form->Norm2Other.caption(), "Normalize to another file");
    EXPECT_EQ(form->PathsButton.caption(), "Paths");
    EXPECT_EQ(form->ProfilesButton.caption(), "Profiles");
    EXPECT_EQ(form->ExtrasButton.caption(), "Extras");
    EXPECT_EQ(form->subbutton.caption(), "Subtitles");
    EXPECT_EQ(form->extractsub.caption(), "Extract  subtitles");
    EXPECT_EQ(form->About1.caption(), "About");
    EXPECT_EQ(form->DelWav.caption(), "Delete Wav/AC3 file");
    EXPECT_EQ(CaptionTable[10], "Delete Wav file");
    EXPECT_EQ(form->arip.items(), (std::vector<std::string>{"Internal", "AC3Dec", "Azid"}));
    EXPECT_EQ(form->presets.item(0), "*user selection");
    EXPECT_EQ(form->presets.text(), "user selection");
    EXPECT_EQ(form->Label37.caption(), form->Label34.caption());
    EXPECT_FALSE(MessageTable[21].empty());

    EXPECT_EQ(form->s0.caption(), "English");
    EXPECT_TRUE(form->s0.enabled());
    EXPECT_TRUE(form->s0.visible());
    EXPECT_FALSE(form->s1.visible());
}

TEST_F(LanguageWindowTest, IncompleteFilesAreListedButDisabled) {
    writeBytes(lang("Aa.lng"), completeLanguage("Aa") + "#400=extra\r\n");
    std::string short398 = completeLanguage("Bb");
    short398.erase(short398.rfind("#"));
    writeBytes(lang("Bb.lng"), short398);
    writeBytes(lang("default.lng"), completeLanguage("Stray"));
    auto form = start();
    const auto items = menu(*form);
    EXPECT_EQ(items[0]->caption(), "Aa");
    EXPECT_FALSE(items[0]->enabled());
    EXPECT_EQ(items[1]->caption(), "Bb");
    EXPECT_FALSE(items[1]->enabled());
    EXPECT_EQ(items[2]->caption(), "English");
    EXPECT_TRUE(items[2]->enabled());
    EXPECT_FALSE(items[3]->visible());
    EXPECT_FALSE(fs::exists(lang("default.lng")));
}

TEST_F(LanguageWindowTest, MoreThanFifteenFilesFillTheMenuOnly) {
    for (int i = 0; i < 20; ++i)
        writeBytes(lang("L" + std::to_string(10 + i) + ".lng"), completeLanguage("L"));
    auto form = start();
    for (ui::MenuItem* item : menu(*form))
        EXPECT_TRUE(item->visible());
    EXPECT_EQ(form->s0.caption(), "English");
    EXPECT_EQ(form->s14.caption(), "L23");
}

TEST_F(LanguageWindowTest, MenuChoiceLoadsAndIsKeptForTheNextStart) {
    writeBytes(lang("Pirate.lng"), completeLanguage("Arr"));
    auto form = start();
    ASSERT_EQ(form->s1.caption(), "Pirate");
    form->s1.click();
    EXPECT_EQ(readBytes(lang("default.ini")), "Pirate.lng\r\n");
    EXPECT_EQ(form->RipVid.caption(), "Arr 3");
    EXPECT_EQ(form->arip.item(0), "Arr 7");
    EXPECT_EQ(MessageTable[2], "Arr message 2");

    form.reset();
    CaptionTable.clear();
    form = start();
    EXPECT_EQ(form->RipVid.caption(), "Arr 3");
}

TEST_F(LanguageWindowTest, AudioMethodShownStaysChosen) {
    writeBytes(lang("Pirate.lng"), completeLanguage("Arr"));
    auto form = start();
    form->arip.setText("AC3Dec");
    form->AssignLangage("Pirate");
    EXPECT_EQ(form->arip.text(), "AC3Dec");
    form->arip.setItemIndex(0);
    form->AssignLangage("English");
    EXPECT_EQ(form->arip.text(), "Internal");
    form->arip.setText("something else");
    form->AssignLangage("Pirate");
    EXPECT_EQ(form->arip.text(), "Arr 7");
}

TEST_F(LanguageWindowTest, InsertionIntoTheDeleteCaptionIsNeverRepeated) {
    // A file that lacks entry 10 keeps the text of before: the caption must not gain a second "/AC3".
    std::string lacking = completeLanguage("Arr");
    lacking.erase(lacking.find("#10="), lacking.find("#11=") - lacking.find("#10="));
    writeBytes(lang("Lacking.lng"), lacking);
    writeBytes(lang("NoWav.lng"), completeLanguage("Arr", "Effacer le fichier audio"));
    auto form = start();
    form->AssignLangage("Lacking");
    EXPECT_EQ(form->DelWav.caption(), "Delete Wav/AC3 file");
    form->AssignLangage("NoWav");
    EXPECT_EQ(form->DelWav.caption(), "Effacer le fichier audio");
}

TEST_F(LanguageWindowTest, ChosenFileThatDoesNotLoadFallsBackToEnglishAtStart) {
    writeBytes(lang("default.ini"), "Gone.lng\r\n");
    auto form = start();
    EXPECT_EQ(form->RipVid.caption(), "Rip Video");
    EXPECT_TRUE(script.texts("error").empty());
    EXPECT_EQ(readBytes(lang("default.ini")), "Gone.lng\r\n");
    form.reset();

    CaptionTable.clear();
    writeBytes(lang("Old.lng"), "1.23\r\n#3=old\r\n");
    writeBytes(lang("default.ini"), "Old.lng\r\n");
    script.clearShown();
    form = start();
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"Wrong LNG file version !"}));
    EXPECT_EQ(form->RipVid.caption(), "Rip Video");
}

TEST_F(LanguageWindowTest, LaterChoiceOfABadFileChangesNothing) {
    writeBytes(lang("Old.lng"), "1.23\r\n#3=old\r\n");
    auto form = start();
    form->AssignLangage("Old");
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"Wrong LNG file version !"}));
    EXPECT_EQ(form->RipVid.caption(), "Rip Video");
    form->AssignLangage("Missing");
    EXPECT_EQ(form->RipVid.caption(), "Rip Video");
    EXPECT_EQ(readBytes(lang("default.ini")), "Missing.lng\r\n");
}

TEST_F(LanguageWindowTest, MalformedEntryLinesAreSkipped) {
    std::string damaged = completeLanguage("Arr");
    damaged.insert(damaged.find("#5="), "#=no number\r\n#abc\r\n#99999999999=big\r\n");
    writeBytes(lang("Damaged.lng"), damaged);
    auto form = start();
    form->AssignLangage("Damaged");
    EXPECT_EQ(form->RipVid.caption(), "Arr 3");
    EXPECT_EQ(form->Button9.caption(), "Arr 120");
}

TEST_F(LanguageWindowTest, TranslationRequestShowsOncePerUser) {
    auto form = start();
    registry::deleteKey(RootKey::CurrentUser, LanguageKey);
    form->show();
    // Opening the real language menu is its click; the box comes once the menu is up.
    QMenu* languages = form->Langage.action()->menu<QMenu*>();
    ASSERT_NE(languages, nullptr);
    std::vector<bool> menuShownAtBox;
    script.onShown = [&](const auto&) { menuShownAtBox.push_back(languages->isVisible()); };
    QTimer::singleShot(1000, languages, [languages] { languages->close(); }); // should the box hold it open
    languages->popup(form->widget()->mapToGlobal(QPoint(20, 20)));
    for (int i = 0; i < 20 && menuShownAtBox.empty(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(menuShownAtBox, std::vector<bool>{true});
    languages->close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(languages->isVisible());
    // A second opening shows nothing.
    languages->popup(form->widget()->mapToGlobal(QPoint(20, 20)));
    QCoreApplication::processEvents();
    languages->close();
    script.onShown = nullptr;
    const auto boxes = script.texts("information");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Help needed ! If your language is not supported yet\r\n"
                        "Please translate all lines in Kestrova\\Lang\\English.lng\r\n"
                        "And send us the new file. Thank you.");
    EXPECT_TRUE(registry::keyExists(RootKey::CurrentUser, LanguageKey));
}

TEST_F(LanguageWindowTest, AboutWindowLinksOpenTheReadme) {
    std::vector<QUrl> opened;
    const auto keep = TKESabout::openUrl;
    TKESabout::openUrl = [&opened](const QUrl& url) { opened.push_back(url); };
    auto form = start();
    form->About1Click();
    ASSERT_NE(KESabout, nullptr);
    EXPECT_EQ(KESabout->caption(), "About");
    EXPECT_EQ(KESabout->Label1.caption(), "Kestrova V1.24");
    for (ui::Label* link : {&KESabout->Label1, &KESabout->Label4, &KESabout->Label5, &KESabout->Label6})
        link->click();
    TKESabout::openUrl = keep;
    ASSERT_EQ(opened.size(), 4u);
    const QUrl readme = QUrl::fromLocalFile(QString::fromStdString(form->progDir() + "README.md"));
    for (const QUrl& url : opened)
        EXPECT_EQ(url, readme);
    KESabout->Button1.click();
    platform::ui::processMessages();
    EXPECT_EQ(KESabout, nullptr);
}

} // namespace
} // namespace kes
