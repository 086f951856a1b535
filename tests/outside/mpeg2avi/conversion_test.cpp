// The conversion engine with the codec drivers of the build: a stop leaves no file, a whole run
// leaves the file with every frame.

#include "outside/mpeg2avi/conversion.h"
#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vobgen_video.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace mpeg2avi {
namespace {

namespace fs = std::filesystem;
namespace vfw = platform::vfw;

class ConversionEngine : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KESTROVA_SYSTEM_DIR", (kes::test::builtProgramDir() / "system").c_str(), 1);
        kes::test::VobSpec spec;
        spec.seconds = 0.8;
        spec.videoMaker = kes::test::mpeg2Video({});
        set = kes::test::writeVobSet(vobs.path(), spec);
        options.list = set.list.string();
        options.outputFolder = out.str();
        options.halfRes = true;
    }
    void TearDown() override { unsetenv("KESTROVA_SYSTEM_DIR"); }

    std::unique_ptr<Conversion> prepared() {
        std::string error;
        auto conversion = Conversion::prepare(options, error);
        EXPECT_TRUE(conversion) << error;
        for (int output = 1; conversion && output <= (options.dual ? 2 : 1); ++output) {
            auto compressor = vfw::VideoCompressor::openFile(output == 1 ? "divx.dll" : "divxc32.dll", error);
            EXPECT_TRUE(compressor) << error;
            EXPECT_TRUE(compressor && conversion->attach(output, std::move(compressor), error)) << error;
        }
        return conversion;
    }

    kes::test::TempDir vobs{"kes-vob"};
    kes::test::TempDir out{"kes-out"};
    kes::test::VobSet set;
    ConvertOptions options;
};

TEST_F(ConversionEngine, AStopLeavesNoFile) {
    options.dual = true;
    auto conversion = prepared();
    ASSERT_TRUE(conversion);
    ConversionProgress progress;
    progress.stopRequested = true;
    std::string error;
    EXPECT_FALSE(conversion->run(progress, error));
    EXPECT_EQ(error, "Stopped.");
    conversion.reset();
    EXPECT_TRUE(fs::is_empty(out.path()));
}

TEST_F(ConversionEngine, AWholeRunWritesEveryFrame) {
    auto conversion = prepared();
    ASSERT_TRUE(conversion);
    EXPECT_EQ(conversion->geometry().width, 360);
    EXPECT_EQ(conversion->rate(), (FrameRate{25, 1}));
    ConversionProgress progress;
    std::string error;
    ASSERT_TRUE(conversion->run(progress, error)) << error;
    EXPECT_EQ(conversion->framesWritten(), 20);
    EXPECT_EQ(progress.framesDone, 20);
    EXPECT_EQ(conversion->damagedPictures(), 0);
    EXPECT_TRUE(fs::exists(out.path() / "movie.avi"));
}

} // namespace
} // namespace mpeg2avi
