// Choosing, listing and loading the main window's language files, without a window.
#include "kes/language_choice.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

// A language file with the given number of entry lines, all in the caption block.
std::string languageWith(int entries) {
    std::string text = "1.24\r\n";
    for (int n = 1; n <= entries; ++n)
        text += "#" + std::to_string(n) + "=text " + std::to_string(n) + "\r\n";
    return text + "----Messages----\r\n";
}

class LanguageFolderTest : public ::testing::Test {
protected:
    LanguageFolderTest() { fs::create_directories(lang()); }
    fs::path lang() const { return dir.path() / "LANG"; }
    std::string prog() const { return dir.str() + "/"; }
    std::string ini() const { return readBytes(lang() / "default.ini"); }
    TempDir dir{"kes-lang"};
};

TEST_F(LanguageFolderTest, DefWithoutChoiceFileChoosesEnglishAndWritesIt) {
    EXPECT_EQ(chooseLanguageFile(prog(), "DEF"), prog() + "LANG/English.lng");
    EXPECT_EQ(ini(), "English.lng\r\n");
}

TEST_F(LanguageFolderTest, DefReadsTheChoiceFileAndLeavesIt) {
    writeBytes(lang() / "default.ini", "Deutsch.lng\r\nignored\r\n");
    EXPECT_EQ(chooseLanguageFile(prog(), "DEF"), prog() + "LANG/Deutsch.lng");
    EXPECT_EQ(ini(), "Deutsch.lng\r\nignored\r\n");
}

TEST_F(LanguageFolderTest, MenuNameLosesItsFirstAccelerator) {
    EXPECT_EQ(chooseLanguageFile(prog(), "&Fran&cais"), prog() + "LANG/Fran&cais.lng");
    EXPECT_EQ(ini(), "Fran&cais.lng\r\n");
    EXPECT_EQ(chooseLanguageFile(prog(), "Deu&tsch"), prog() + "LANG/Deutsch.lng");
    EXPECT_EQ(ini(), "Deutsch.lng\r\n");
}

TEST_F(LanguageFolderTest, ChoiceOutsideTheLanguageFolderIsRefused) {
    writeBytes(lang() / "default.ini", "../../etc/passwd\r\n");
    EXPECT_EQ(chooseLanguageFile(prog(), "DEF"), "");
    writeBytes(lang() / "default.ini", "\r\n");
    EXPECT_EQ(chooseLanguageFile(prog(), "DEF"), "");
    EXPECT_EQ(chooseLanguageFile(prog(), "../x"), "");
    EXPECT_EQ(ini(), "\r\n"); // a refused name is not kept either
}

TEST_F(LanguageFolderTest, MenuListsAtMostFifteenFilesByNameAndMarksTheComplete) {
    writeBytes(lang() / "default.lng", languageWith(399));
    writeBytes(lang() / "English.lng", languageWith(399));
    writeBytes(lang() / "Short.lng", languageWith(398));
    writeBytes(lang() / "Long.LNG", languageWith(400));
    writeBytes(lang() / "notes.txt", "x");
    for (int i = 0; i < 14; ++i)
        writeBytes(lang() / ("Z" + std::to_string(10 + i) + ".lng"), languageWith(399));

    const auto entries = scanLanguageFiles(prog());
    EXPECT_FALSE(fs::exists(lang() / "default.lng"));
    ASSERT_EQ(entries.size(), 15u);
    EXPECT_EQ(entries[0].fileName, "English.lng");
    EXPECT_EQ(entries[0].caption, "English");
    EXPECT_TRUE(entries[0].complete);
    EXPECT_EQ(entries[1].caption, "Long");
    EXPECT_FALSE(entries[1].complete);
    EXPECT_EQ(entries[2].caption, "Short");
    EXPECT_FALSE(entries[2].complete);
    EXPECT_EQ(entries[3].caption, "Z10");
    EXPECT_EQ(entries.back().caption, "Z21"); // Z22 and Z23 are beyond the menu
}

TEST_F(LanguageFolderTest, LoadKeepsWhatTheFileDoesNotSet) {
    TextTable captions;
    TextTable messages;
    captions.set(2, "before");
    writeBytes(lang() / "A.lng", "1.24\r\n#1=a=b \r\n#x=bad\r\n#301=out\r\n#0=out\r\n#=none\r\n#3\r\n"
                                 "----Messages----\r\n#5=five\r\n----Wizard----\r\n#6=wizard\r\n");
    EXPECT_EQ(loadMainLanguage((lang() / "A.lng").string(), captions, messages), LanguageLoad::Loaded);
    EXPECT_EQ(captions[1], "a=b ");
    EXPECT_EQ(captions[2], "before");
    EXPECT_EQ(captions[3], "");
    EXPECT_EQ(messages[5], "five");
    EXPECT_EQ(messages[6], "");
}

TEST_F(LanguageFolderTest, WrongVersionOrMissingFileStoresNothing) {
    TextTable captions;
    TextTable messages;
    writeBytes(lang() / "Old.lng", "1.23\r\n#1=old\r\n");
    EXPECT_EQ(loadMainLanguage((lang() / "Old.lng").string(), captions, messages),
              LanguageLoad::WrongVersion);
    EXPECT_EQ(loadMainLanguage((lang() / "None.lng").string(), captions, messages), LanguageLoad::Missing);
    EXPECT_EQ(loadMainLanguage("", captions, messages), LanguageLoad::Missing);
    EXPECT_EQ(captions[1], "");
}

TEST(DelWavCaption, InsertsAfterTheFirstWavInAnyCase) {
    EXPECT_EQ(delWavCaption("Delete Wav file"), "Delete Wav/AC3 file");
    EXPECT_EQ(delWavCaption("wav wav"), "wav/AC3 wav");
    EXPECT_EQ(delWavCaption("Supprimer le fichier audio"), "Supprimer le fichier audio");
    EXPECT_EQ(delWavCaption(""), "");
}

} // namespace
} // namespace kes
