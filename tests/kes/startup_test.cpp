// Start-up and close of the main window in a temporary program folder: the work folders, the two
// control files, the warning about missing helpers, the language checks and the files removed at close.
#include "kes/form1.h"
#include "kes/form1_unit.h"
#include "kes/work_folders.h"

#include "tests/support/temp_dir.h"

#include "platform/core/registry.h"
#include "platform/ui/application.h"
#include "platform/ui/dialog_script.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

constexpr const char* Reinstall = " not found\r\nPlease check or reinstall the full Kestrova package !";

class StartupTest : public ::testing::Test {
protected:
    explicit StartupTest(const std::string& prefix = "kes-start") : dir(prefix) {
        fs::create_directories(dir.path() / "extern");
        fs::create_directories(dir.path() / "LANG");
        writeBytes(dir.path() / "LANG" / "English.lng", "1.24\r\n----Messages----\r\n");
        // With the DivX 4 codec installed the default codec starts without complaint.
        fs::create_directories(dir.path() / "system");
        for (const char* codecFile : {"divxdec.ax", "divx.dll"})
            writeBytes(dir.path() / "system" / codecFile, "");
    }
    ~StartupTest() override { fs::current_path(previous); }

    // Starts the main window with the program folder as the current directory, as the program does.
    std::unique_ptr<TForm1> start() {
        fs::current_path(dir.path());
        auto form = std::make_unique<TForm1>();
        fs::current_path(previous);
        return form;
    }
    fs::path ext(const std::string& name) const { return dir.path() / "extern" / name; }
    std::string allLabels() const {
        std::string labels;
        for (const auto& helper : HelperFiles)
            labels += helper.label;
        return labels;
    }

    fs::path previous = fs::current_path();
    platform::ui::testing::DialogScript script;
    TempDir dir;
};

TEST_F(StartupTest, FirstStartMakesTheWorkFoldersAndControlFiles) {
    auto form = start();
    for (const auto folder : WorkFolders)
        EXPECT_TRUE(fs::is_directory(dir.path() / folder)) << folder;

    const std::string externDir = fs::canonical(dir.path()).string() + "/extern/";
    EXPECT_EQ(form->externDir(), externDir);
    EXPECT_EQ(StartDir + "/", form->progDir());
    EXPECT_EQ(readBytes(ext("_nul.bin")), "0000\r\n");
    EXPECT_EQ(readBytes(ext("_nul.lst")), externDir + "_nul.bin\r\n");
    EXPECT_EQ(form->caption(), "Kestrova v1.24 [Win NT/2000/XP]");
    EXPECT_FALSE(form->tilbo.enabled());
}

TEST_F(StartupTest, SecondStartCreatesNothing) {
    fs::create_directories(dir.path() / "profiles"); // the same folder in another case
    start().reset();
    writeBytes(dir.path() / "Logs" / "keep.log", "x");
    const auto countEntries = [this] {
        return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator());
    };
    const auto before = countEntries();
    EXPECT_EQ(before, 3 + static_cast<long>(WorkFolders.size())); // extern, LANG, system and the work folders
    EXPECT_FALSE(fs::exists(dir.path() / "Profiles"));

    auto form = start();
    EXPECT_EQ(countEntries(), before);
    EXPECT_EQ(readBytes(dir.path() / "Logs" / "keep.log"), "x");
    EXPECT_EQ(makeWorkFolders(form->progDir()), 0);
}

TEST_F(StartupTest, AllHelpersMissingAreListedInOrder) {
    auto form = start();
    ASSERT_EQ(script.texts("warning").size(), 1u);
    const std::string text = script.texts("warning")[0];
    EXPECT_EQ(text, allLabels() + Reinstall);
    EXPECT_NE(text.find("DivxAuto  not found"), std::string::npos);
    EXPECT_EQ(text.rfind("_Quillon.ax - _Mpeg2Parser.ax - XmdAudioDecode.dll - _wavdest.ax - ", 0), 0u);
    EXPECT_EQ(form->AreSoftsThere(), allLabels());
}

TEST_F(StartupTest, OnlyTheMissingHelpersAreListed) {
    for (const auto& helper : HelperFiles)
        writeBytes(ext(std::string(helper.file)), "");
    fs::remove(ext("Tonegrab.exe"));
    fs::remove(ext("LAME_ENC.DLL"));
    auto form = start();
    EXPECT_EQ(script.texts("warning"),
              (std::vector<std::string>{std::string("LAME_ENC.DLL - TONEGRAB - ") + Reinstall}));

    for (const auto& helper : HelperFiles)
        writeBytes(ext(std::string(helper.file)), "");
    EXPECT_EQ(form->AreSoftsThere(), "");
}

TEST_F(StartupTest, CloseDeletesTheFiveFilesOnly) {
    auto form = start();
    for (const char* name : {"sn.fnd", "vsp.ini", "mp2a.bat", "m2a.bat", "vob.lst"})
        writeBytes(ext(name), "x");
    EXPECT_TRUE(form->close());
    for (const char* name : {"sn.fnd", "_nul.bin", "_nul.lst", "vsp.ini", "mp2a.bat"})
        EXPECT_FALSE(fs::exists(ext(name))) << name;
    EXPECT_TRUE(fs::exists(ext("m2a.bat")));
    EXPECT_TRUE(fs::exists(ext("vob.lst")));
}

TEST_F(StartupTest, MissingEnglishFileEndsTheProgramAfterCreation) {
    fs::remove(dir.path() / "LANG" / "English.lng");
    auto form = start();
    EXPECT_EQ(script.texts("error"),
              (std::vector<std::string>{"English language file not found - please reinstall !"}));
    // The rest of creation still ran; the close comes with the first events.
    EXPECT_TRUE(fs::exists(ext("_nul.bin")));
    EXPECT_EQ(script.texts("warning").size(), 1u);
    platform::ui::processMessages();
    EXPECT_FALSE(fs::exists(ext("_nul.bin")));
}

TEST_F(StartupTest, LanguageChoiceIsForgottenUntilConfirmed) {
    using namespace platform::core;
    // Forgotten: the choice file goes, and loading the default language writes it anew for English.
    writeBytes(dir.path() / "LANG" / "default.ini", "Other.lng\r\n");
    registry::deleteKey(RootKey::CurrentUser, "Software\\Kestrova\\Lang1.24");
    start().reset();
    EXPECT_EQ(readBytes(dir.path() / "LANG" / "default.ini"), "English.lng\r\n");

    writeBytes(dir.path() / "LANG" / "default.ini", "Other.lng\r\n");
    ASSERT_TRUE(registry::createKey(RootKey::CurrentUser, "Software\\Kestrova\\Lang1.24"));
    start().reset();
    EXPECT_EQ(readBytes(dir.path() / "LANG" / "default.ini"), "Other.lng\r\n");
    registry::deleteKey(RootKey::CurrentUser, "Software\\Kestrova\\Lang1.24");
}

TEST_F(StartupTest, MissingExternFolderDoesNotStopStartUp) {
    fs::remove_all(dir.path() / "extern");
    auto form = start();
    EXPECT_FALSE(fs::exists(dir.path() / "extern"));
    EXPECT_TRUE(script.texts("error").empty());
    EXPECT_EQ(script.texts("warning"), (std::vector<std::string>{allLabels() + Reinstall}));
    EXPECT_TRUE(form->close());
}

TEST_F(StartupTest, UserPresetsAreAddedAsTheyStand) {
    fs::create_directories(dir.path() / "profiles");
    writeBytes(dir.path() / "profiles" / "user.res", "600x336 => 600x304 #\r\n1000x500 => 704x400 #\r\n");
    auto form = start();
    const auto items = form->presets.items();
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items[items.size() - 2], "600x336 => 600x304 #");
    EXPECT_EQ(items.back(), "1000x500 => 704x400 #");
}

TEST_F(StartupTest, FirstShowWelcomesOnceAndKeepsOnlyTheCodecThatIsThere) {
    using namespace platform::core;
    registry::deleteKey(RootKey::CurrentUser, "Software\\Kestrova");
    auto form = start();
    script.clearShown();
    form->FormShow();
    EXPECT_EQ(script.texts("information").size(), 1u);
    EXPECT_EQ(form->Codec.items(), (std::vector<std::string>{"DivX 4.x"}));
    EXPECT_EQ(form->Codec.text(), "DivX 4.x");
    form->FormShow();
    EXPECT_EQ(script.texts("information").size(), 1u);
}

TEST_F(StartupTest, AMissingDivX4CodecIsReportedOnceAtStartAndAgainOnLaterChanges) {
    fs::remove(dir.path() / "system" / "divx.dll");
    auto form = start();
    form->FormShow();
    EXPECT_EQ(script.texts("error").size(), 1u);
    // Once the window is up, every codec change reports it, as before.
    form->CodecChange();
    EXPECT_EQ(script.texts("error").size(), 2u);
}

class DottedFolderTest : public StartupTest {
protected:
    DottedFolderTest() : StartupTest("kes.start") {}
};

TEST_F(DottedFolderTest, DotInTheProgramFolderIsReported) {
    auto form = start();
    const std::string progDir = form->progDir();
    const size_t dot = progDir.find('.');
    ASSERT_NE(dot, std::string::npos);
    const std::string withoutDot = progDir.substr(0, dot) + progDir.substr(dot + 1);
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{" " + progDir + "\r\n " + withoutDot}));
}

} // namespace
} // namespace kes
