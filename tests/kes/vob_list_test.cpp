// The VOB run and its list file, byte for byte: the worked examples, names as they are on disk,
// the limits of the table and the failures of the main window's list routine.
#include "kes/form1.h"
#include "kes/form1_unit.h"
#include "kes/vob_list.h"

#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include "platform/ui/dialog_script.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

class VobRunTest : public ::testing::Test {
protected:
    std::string make(const std::string& name) {
        const fs::path file = dir.path() / name;
        fs::create_directories(file.parent_path());
        writeBytes(file, "VOB");
        return file.string();
    }
    std::string path(const std::string& name) const { return (dir.path() / name).string(); }

    TempDir dir{"kes-vob"};
};

TEST_F(VobRunTest, NumbersCountUpKeepingTheirWidth) {
    EXPECT_EQ(nextNumberText("1"), "2");
    EXPECT_EQ(nextNumberText("08"), "09");
    EXPECT_EQ(nextNumberText("09"), "10");
    EXPECT_EQ(nextNumberText("9"), "10");
    EXPECT_EQ(nextNumberText("099"), "100");
    EXPECT_EQ(nextNumberText(""), "1");
}

TEST_F(VobRunTest, TitleRunWithLowerCaseNamesAfterTheFirst) {
    const std::string first = make("DVD/VTS_01_1.VOB");
    make("DVD/VTS_01_2.vob");
    make("DVD/VTS_01_3.vob");

    const VobRun run = findVobRun(first);
    ASSERT_FALSE(run.firstMissing);
    EXPECT_EQ(run.files,
              (std::vector<std::string>{first, path("DVD/VTS_01_2.vob"), path("DVD/VTS_01_3.vob")}));
    EXPECT_EQ(vobListBytes(run.files, false),
              first + "\r\n" + path("DVD/VTS_01_2.vob") + "\r\n" + path("DVD/VTS_01_3.vob") + "\r\n");
}

TEST_F(VobRunTest, UpperCaseNamesOnDiskAreListedAsTheyAre) {
    const std::string first = make("VTS_01_1.VOB");
    make("VTS_01_2.VOB");
    make("VTS_01_3.VOB");

    const VobRun run = findVobRun(first);
    EXPECT_EQ(run.files, (std::vector<std::string>{first, path("VTS_01_2.VOB"), path("VTS_01_3.VOB")}));
}

TEST_F(VobRunTest, WidthOfTheNumberIsKeptOrGrows) {
    const std::string movie = make("movie08.vob");
    make("movie09.vob");
    make("movie10.vob");
    EXPECT_EQ(findVobRun(movie).files,
              (std::vector<std::string>{movie, path("movie09.vob"), path("movie10.vob")}));

    const std::string film = make("film9.vob");
    make("film10.vob");
    EXPECT_EQ(findVobRun(film).files, (std::vector<std::string>{film, path("film10.vob")}));
}

TEST_F(VobRunTest, NameWithoutDigitsContinuesWithOne) {
    const std::string movie = make("MOVIE.VOB");
    EXPECT_EQ(findVobRun(movie).files, (std::vector<std::string>{movie}));
    make("MOVIE1.vob");
    EXPECT_EQ(findVobRun(movie).files, (std::vector<std::string>{movie, path("MOVIE1.vob")}));
}

TEST_F(VobRunTest, GapEndsTheRun) {
    const std::string first = make("VTS_01_1.VOB");
    make("VTS_01_2.VOB");
    make("VTS_01_4.VOB");
    EXPECT_EQ(findVobRun(first).files.size(), 2u);
}

TEST_F(VobRunTest, OnlyTheFileNamesOwnExtensionCounts) {
    // A folder whose name holds ".VOB" does not cut the name there.
    const std::string first = make("my.VOBs/VTS_01_1.VOB");
    make("my.VOBs/VTS_01_2.VOB");
    EXPECT_EQ(findVobRun(first).files.size(), 2u);

    // Without the extension the run is the one file: nothing is looked for elsewhere.
    const std::string clip = make("my.VOBs/clip");
    make("my.VOBs/clip1.vob");
    make("1.vob");
    EXPECT_EQ(findVobRun(clip).files, (std::vector<std::string>{clip}));
}

TEST_F(VobRunTest, RunLongerThanTheTableStopsAtItsSize) {
    const std::string first = make("VTS_01_1.VOB");
    for (int i = 2; i <= VobTableSize + 1; ++i)
        make("VTS_01_" + std::to_string(i) + ".VOB");
    const VobRun run = findVobRun(first);
    EXPECT_TRUE(run.truncated);
    ASSERT_EQ(run.files.size(), static_cast<size_t>(VobTableSize));
    EXPECT_EQ(run.files.back(), path("VTS_01_16.VOB"));

    // Exactly a full table is no overflow.
    fs::remove(dir.path() / "VTS_01_17.VOB");
    EXPECT_FALSE(findVobRun(first).truncated);
    EXPECT_EQ(findVobRun(first).files.size(), static_cast<size_t>(VobTableSize));
}

TEST_F(VobRunTest, MissingFirstVobFindsNothing) {
    const VobRun run = findVobRun(path("VTS_01_1.VOB"));
    EXPECT_TRUE(run.firstMissing);
    EXPECT_TRUE(run.files.empty());
}

TEST_F(VobRunTest, ListLiesInTheFolderOfTheTextAsItStands) {
    EXPECT_EQ(vobListPath("/dvd/VTS_01_1.VOB"), "/dvd/vob.lst");
    EXPECT_EQ(vobListPath("VTS_01_1.VOB"), "vob.lst");
    EXPECT_EQ(ShortPath("/my dvd/VTS_01_1.VOB"), "/my dvd/VTS_01_1.VOB");
}

// The main window's routine: table, file, and the failures it reports.
class MakeListTest : public ::testing::Test {
protected:
    MakeListTest() {
        const fs::path previous = fs::current_path();
        fs::current_path(folder.path());
        form = std::make_unique<TForm1>();
        fs::current_path(previous);
        script.clearShown();
        RipAborted = false;
    }
    std::string make(const std::string& name) {
        const fs::path file = vobs.path() / name;
        fs::create_directories(file.parent_path());
        writeBytes(file, "VOB");
        return file.string();
    }

    platform::ui::testing::DialogScript script;
    test::ProgramFolder folder;
    TempDir vobs{"kes-vobs"};
    std::unique_ptr<TForm1> form;
};

TEST_F(MakeListTest, WritesTheListBesideTheFirstVob) {
    const std::string first = make("my dvd/VTS_01_1.VOB");
    const std::string second = make("my dvd/VTS_01_2.vob");
    form->Vobfile.setText(first);
    form->MakeList(first);

    EXPECT_FALSE(RipAborted);
    EXPECT_EQ(VobCount, 2);
    EXPECT_EQ(VobTable[0], first);
    EXPECT_EQ(VobTable[1], second);
    EXPECT_EQ(VobTable[2], "");
    EXPECT_EQ(readBytes(vobs.path() / "my dvd" / "vob.lst"), first + "\r\n" + second + "\r\n");
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(MakeListTest, MissingFirstVobAbortsAndKeepsTheOldList) {
    make("VTS_01_1.VOB");
    form->Vobfile.setText(make("VTS_01_1.VOB"));
    form->MakeList(form->Vobfile.text());
    const std::string before = readBytes(vobs.path() / "vob.lst");

    const std::string missing = (vobs.path() / "VTS_09_1.VOB").string();
    form->Vobfile.setText(missing);
    form->MakeList(missing);
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(script.texts("error").size(), 1u);
    EXPECT_EQ(VobCount, 1);
    EXPECT_EQ(readBytes(vobs.path() / "vob.lst"), before);
}

TEST_F(MakeListTest, ListThatCannotBeWrittenIsReportedAndAborts) {
    const std::string first = make("VTS_01_1.VOB");
    fs::create_directory(vobs.path() / "vob.lst"); // a folder where the list should go
    form->Vobfile.setText(first);
    form->MakeList(first);
    EXPECT_TRUE(RipAborted);
    ASSERT_EQ(script.texts("error").size(), 1u);
    EXPECT_NE(script.texts("error")[0].find("vob.lst"), std::string::npos);
    EXPECT_EQ(VobCount, 1);
}

TEST_F(MakeListTest, OverlongRunIsCutWithAWarning) {
    const std::string first = make("VTS_01_1.VOB");
    for (int i = 2; i <= VobTableSize + 2; ++i)
        make("VTS_01_" + std::to_string(i) + ".VOB");
    form->Vobfile.setText(first);
    form->MakeList(first);
    EXPECT_EQ(VobCount, VobTableSize);
    EXPECT_EQ(script.texts("warning").size(), 1u);
    EXPECT_FALSE(RipAborted);

    // A multi-rip shows nothing: the warning goes into its log.
    script.clearShown();
    const TForm1::Unattended unattended(*form);
    form->MakeList(first);
    EXPECT_TRUE(script.shown().empty());
    EXPECT_EQ(unattended.said().size(), 1u);
}

} // namespace
} // namespace kes
