// The preview under its dialog script: what it leaves in "m2a.bat", and what it does without anyone
// to answer it.

#include "tests/outside/mpeg2avi/converter_run.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vobgen_video.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace kes::test {
namespace {

namespace fs = std::filesystem;

class Preview : public ::testing::Test {
protected:
    void SetUp() override {
        VobSpec spec;
        spec.seconds = 0.6;
        spec.videoMaker = mpeg2Video({});
        set = writeVobSet(vobs.path(), spec);
    }
    std::string adjustFile() const {
        std::ifstream in(folder.externDir() / "m2a.bat", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool adjustFileExists() const { return fs::exists(folder.externDir() / "m2a.bat"); }

    TempDir vobs{"kes-vob"};
    VobSet set;
    ConverterFolder folder;
};

TEST_F(Preview, ConfirmedSizesGoIntoTheAdjustFile) {
    // The preview line of the main window, starting at a sector.
    auto result = folder.run("mpeg2v12.exe",
                             {"-b", set.list.string(), "-f2", "-q0", "-r1", "-1", "512", "208", "-3X", "512",
                              "-3Y", "272", "-@", "20", "-o6"},
                             {"OK"});
    ASSERT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(adjustFile(), "-3X 512 -3Y 272 -1 512 208\r\n");

    // The user's own choice, typed into the window.
    result = folder.run("m2apx3g.exe", {"-b", set.list.string(), "-o6"}, {"-3X 640 -3Y 352 -1 016 008"});
    ASSERT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(adjustFile(), "-3X 640 -3Y 352 -1 016 008\r\n");
}

TEST_F(Preview, ClosedWithoutConfirmingLeavesNoFile) {
    auto result = folder.run("mpeg2aviSVE.exe", {"-b", set.list.string(), "-df", "-o6"}, {"Cancel"});
    EXPECT_EQ(result.status, 0) << result.errors;
    EXPECT_FALSE(adjustFileExists());

    // Nobody to answer and no display: a message instead of a wait.
    result = folder.run("mpeg2v12.exe", {"-b", set.list.string(), "-o6"}, {}, false);
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.errors.find("display"), std::string::npos);
    EXPECT_FALSE(adjustFileExists());

    // An answer that is no size changes nothing.
    result = folder.run("mpeg2v12.exe", {"-b", set.list.string(), "-o6"}, {"-3X 4096"});
    EXPECT_NE(result.status, 0);
    EXPECT_FALSE(adjustFileExists());
}

} // namespace
} // namespace kes::test
