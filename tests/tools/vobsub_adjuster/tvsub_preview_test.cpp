// The index adjuster's preview on a movie written by libavformat: the swap while it plays and the
// timer's swap back, the scroll bar, "DVobSub", the closed video window and the closed adjuster.

#include "tools/vobsub_adjuster/tvsub.h"
#include "tools/vobsub_adjuster/tvsub_preview.h"

#include "platform/dshow/filters/video_renderer.h"
#include "platform/dshow/filters/video_window.h"
#include "platform/ui/dialog_script.h"
#include "tests/outside/dvobsub/vobsub_sample.h"
#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace tools::vobsub_adjuster;
using kes::test::readBytes;
using kes::test::TempDir;
using kes::test::writeBytes;
namespace fs = std::filesystem;
namespace filters = platform::dshow::filters;

const std::string Original =
    "# VobSub index file, v7 (do not modify this line!)\r\nlangidx: 0\r\n# English\r\n"
    "id: en, index: 0\r\ntimestamp: 00:00:00:500, filepos: 000000000\r\n";
const std::string Adjusted =
    "# VobSub index file, v7 (do not modify this line!)\r\nlangidx: 0\r\n# English\r\n"
    "id: en, index: 0\r\ntimestamp: 00:00:01:000, filepos: 000000000\r\n";

struct AdjusterPreview : ::testing::Test {
    platform::ui::testing::DialogScript script;
    TempDir dir;
    std::string idx = dir.file("movie.idx");
    std::string adjusted = dir.file("movie_adjust.idx");
    std::string parked = dir.file("_$TMP.idx");

    void SetUp() override {
        setenv("KESTROVA_SOUND_DEVICE", "none", 1);
        std::string error;
        ASSERT_TRUE(kes::test::writeMovie(dir.file("movie.avi"), kes::test::MovieSpec{}, &error)) << error;
        writeBytes(idx, Original);
        writeBytes(adjusted, Adjusted);
    }
    filters::VideoRendererFilter* renderer(TVSUB& window) {
        platform::com::ComPtr<platform::dshow::IBaseFilter> found;
        window.preview()->graph->FindFilterByName(u"Video Renderer", found.put());
        return found ? dynamic_cast<filters::VideoRendererFilter*>(found.get()) : nullptr;
    }
    void expectBack() {
        EXPECT_EQ(readBytes(idx), Original);
        EXPECT_EQ(readBytes(adjusted), Adjusted);
        EXPECT_FALSE(fs::exists(parked));
    }
};

TEST_F(AdjusterPreview, PlaysWithTheAdjustedIndexAndPutsBothBack) {
    TVSUB window;
    window.Edit1.setText(idx);
    window.Button8.click();
    ASSERT_TRUE(window.Previewing);
    EXPECT_EQ(window.Button8.caption(), "STOP");
    EXPECT_EQ(readBytes(idx), Adjusted) << "the filter finds the adjusted index under the index's name";
    EXPECT_EQ(readBytes(parked), Original);
    ASSERT_NE(window.preview(), nullptr);
    ASSERT_TRUE(window.preview()->rendered);
    auto* video = renderer(window);
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->window()->windowTitle().toStdString(), "Preview");

    window.ScrollBar1.setPosition(50);
    window.ScrollBar1Scroll();
    double current = 0;
    window.preview()->position->get_CurrentPosition(&current);
    EXPECT_NEAR(current, 0.8, 0.05) << "the key frame before the middle";
    window.Timer1Timer();
    EXPECT_TRUE(window.Previewing);
    EXPECT_FALSE(fs::exists(adjusted)) << "nothing goes back while the movie plays";

    window.Button8.click();
    EXPECT_FALSE(window.Previewing);
    EXPECT_EQ(window.Button8.caption(), "Play AVI");
    window.Timer1Timer();
    expectBack();
}

TEST_F(AdjusterPreview, DVobSubNeedsAPlayingMovieAndRestartsIt) {
    TVSUB window;
    window.Edit1.setText(idx);
    window.Button9.click();
    EXPECT_EQ(script.texts("error"), std::vector<std::string>{"AVI is not playing !"});
    window.Button8.click();
    ASSERT_TRUE(window.Previewing);
    window.Button9.click();
    EXPECT_TRUE(window.Previewing) << "the preview starts again";
    EXPECT_EQ(readBytes(idx), Adjusted);
    window.Button8.click();
    window.Timer1Timer();
    expectBack();
}

TEST_F(AdjusterPreview, ClosingTheVideoWindowOrTheAdjusterStopsAndRestores) {
    {
        TVSUB window;
        window.Edit1.setText(idx);
        window.Button8.click();
        ASSERT_TRUE(window.Previewing);
        renderer(window)->window()->close();
        window.Timer1Timer();
        EXPECT_FALSE(window.Previewing);
        window.Timer1Timer();
        expectBack();
    }
    TVSUB window;
    window.Edit1.setText(idx);
    window.Button8.click();
    ASSERT_TRUE(window.Previewing);
    window.close();
    expectBack();
}

TEST_F(AdjusterPreview, ASwapLeftByAKilledAdjusterIsPutBackWhenTheIndexIsOpened) {
    writeBytes(dir.file("_$TMP.idx.owner"), "movie.idx\n");
    fs::rename(idx, parked);
    fs::rename(adjusted, idx); // as a kill during the preview leaves them
    TVSUB window;
    window.Edit1.setText(idx);
    expectBack();
    EXPECT_EQ(window.index().languages().size(), 1u);
}

TEST_F(AdjusterPreview, AMissingMovieIsSaid) {
    fs::remove(dir.file("movie.avi"));
    TVSUB window;
    window.Edit1.setText(idx);
    window.Button8.click();
    EXPECT_EQ(script.texts("error"),
              std::vector<std::string>{"File : " + dir.file("movie.avi") + " doesn't exist"});
    EXPECT_FALSE(window.Previewing);
    EXPECT_EQ(readBytes(idx), Original);
}

} // namespace

namespace {

// With the subtitle filter installed in the system folder, the preview shows the adjusted subtitles
// through it and "DVobSub" opens its page.
TEST_F(AdjusterPreview, TheSubtitleFilterJoinsAndDVobSubOpensItsPage) {
    const char* program = std::getenv("KES_PROGRAM_DIR");
    ASSERT_NE(program, nullptr);
    const fs::path module = fs::path(program) / "extern" / "dvobsub.ax";
    ASSERT_TRUE(fs::exists(module));
    fs::create_directories(dir.path() / "system");
    fs::copy_file(module, dir.path() / "system" / "dvobsub.ax");
    setenv("KESTROVA_SYSTEM_DIR", (dir.path() / "system").c_str(), 1);
    const std::string adjustedIdx = kes::test::sampleIdx();
    writeBytes(idx, adjustedIdx);
    writeBytes(adjusted, adjustedIdx);
    writeBytes(dir.file("movie.sub"), kes::test::sampleSub());
    TVSUB window;
    window.Edit1.setText(idx);
    window.Button8.click();
    ASSERT_TRUE(window.Previewing);
    EXPECT_TRUE(window.preview()->subtitles) << "found by its name in the rendered graph";
    window.Button9.click();
    ASSERT_FALSE(script.shown().empty());
    EXPECT_EQ(script.shown().back().kind, "properties");
    EXPECT_EQ(script.shown().back().text, "Subtitles");
    EXPECT_TRUE(window.Previewing);
    window.Button8.click();
    unsetenv("KESTROVA_SYSTEM_DIR");
    window.Timer1Timer();
    EXPECT_EQ(readBytes(idx), adjustedIdx);
    EXPECT_FALSE(fs::exists(parked));
}

} // namespace
