// The subtitle filter module in rendered graphs: it joins only where the movie has subtitles beside it
// (".idx" with ".sub", or with a ".rar" holding the ".sub"), draws them over the pictures at their
// times, and keeps out of movies whose subtitles are damaged.

#include "outside/dvobsub/subtitle_filter.h"
#include "outside/rar/rar_writer.h"

#include "platform/dshow/filters/playback_filters.h"
#include "platform/dshow/filters/video_renderer.h"
#include "platform/dshow/filters/video_window.h"
#include "tests/outside/dvobsub/vobsub_sample.h"
#include "tests/platform/dshow/playback/playback_graph.h"
#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

using namespace kes::test;
namespace fs = std::filesystem;
using platform::dshow::filters::VideoRendererFilter;

constexpr char kFilter[] = "DirectVobSub (auto-loading version)";

struct SubtitleGraph : ::testing::Test {
    TempDir dir;
    std::string movie = dir.file("movie.avi");

    void SetUp() override {
        const char* program = std::getenv("KES_PROGRAM_DIR");
        ASSERT_NE(program, nullptr);
        const fs::path module = fs::path(program) / "extern" / "dvobsub.ax";
        ASSERT_TRUE(fs::exists(module));
        // The filter finds "unrar.dll" beside its own file.
        fs::create_directories(dir.path() / "extern");
        fs::copy_file(module, dir.path() / "extern" / "dvobsub.ax");
        if (fs::exists(fs::path(program) / "extern" / "unrar.dll"))
            fs::copy_file(fs::path(program) / "extern" / "unrar.dll", dir.path() / "extern" / "unrar.dll");
        PlaybackGraph registration; // the playback filters first
        ASSERT_TRUE(
            platform::dshow::filters::registerFilterModule((dir.path() / "extern" / "dvobsub.ax").string()));
        std::string error;
        ASSERT_TRUE(writeMovie(movie, MovieSpec{}, &error)) << error;
    }

    static bool has(PlaybackGraph& graph, const std::string& name) {
        const auto names = graph.filterNames();
        return std::find(names.begin(), names.end(), name) != names.end();
    }
};

// The luma of the picture shown at the bar's place when the picture of a time is up.
int barLumaAt(PlaybackGraph& graph, REFERENCE_TIME time) {
    auto* renderer = dynamic_cast<VideoRendererFilter*>(graph.filter("Video Renderer").get());
    if (!renderer)
        return -1;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 4000) {
        const auto shown = renderer->shownLog();
        if (!shown.empty() && shown.back().start >= time) {
            const QImage picture = renderer->window()->picture();
            return qGray(picture.pixel(SubX + SubWidth / 2, SubY + SubHeight / 2));
        }
        PlaybackGraph::pump(5);
    }
    return -1;
}

TEST_F(SubtitleGraph, JoinsWithIdxAndSubAndDrawsAtTheirTimes) {
    writeBytes(dir.file("movie.idx"), sampleIdx());
    writeBytes(dir.file("movie.sub"), sampleSub());
    PlaybackGraph graph;
    ASSERT_EQ(graph.render(movie), S_OK);
    ASSERT_TRUE(has(graph, kFilter));
    EXPECT_EQ(graph.filterNames().size(), 5u) << "one subtitle filter between decoder and renderer";
    ASSERT_EQ(graph.control->Run(), S_OK);
    EXPECT_LT(barLumaAt(graph, 200 * 10'000), 100) << "before the subtitle";
    EXPECT_GT(barLumaAt(graph, 1000 * 10'000), 200) << "while it is shown";
    EXPECT_LT(barLumaAt(graph, 1700 * 10'000), 100) << "after it";
    graph.control->Stop();
}

TEST_F(SubtitleGraph, HiddenSubtitlesAreNotDrawn) {
    writeBytes(dir.file("movie.idx"), sampleIdx());
    writeBytes(dir.file("movie.sub"), sampleSub());
    PlaybackGraph graph;
    ASSERT_EQ(graph.render(movie), S_OK);
    platform::com::ComPtr<outside::dvobsub::ISubtitleSettings> settings;
    ASSERT_TRUE(SUCCEEDED(graph.filter(kFilter).as(outside::dvobsub::IID_ISubtitleSettings, settings)));
    outside::dvobsub::SubtitleSettings chosen;
    chosen.hidden = true;
    settings->SetSettings(&chosen);
    outside::dvobsub::SubtitleSettings now;
    settings->GetSettings(&now);
    EXPECT_TRUE(now.hidden);
    ASSERT_EQ(graph.control->Run(), S_OK);
    EXPECT_LT(barLumaAt(graph, 1000 * 10'000), 100);
    graph.control->Stop();
    chosen.hidden = false;
    settings->SetSettings(&chosen);
}

TEST_F(SubtitleGraph, ReadsTheSubFromARarOfTheSameNameWhateverTheMemberIsCalled) {
    if (!fs::exists(dir.path() / "extern" / "unrar.dll"))
        GTEST_SKIP() << "unrar.dll is not built";
    writeBytes(dir.file("movie.idx"), sampleIdx());
    writeBytes(dir.file("movie.rar"), outside::rar::buildArchive(std::nullopt, {{"final.sub", sampleSub()}}));
    PlaybackGraph graph;
    ASSERT_EQ(graph.render(movie), S_OK);
    EXPECT_TRUE(has(graph, kFilter));
}

TEST_F(SubtitleGraph, KeepsOutWithoutSubtitlesOrWithDamagedOnes) {
    {
        PlaybackGraph graph;
        ASSERT_EQ(graph.render(movie), S_OK);
        EXPECT_FALSE(has(graph, kFilter));
        EXPECT_TRUE(has(graph, "Video Renderer"));
    }
    writeBytes(dir.file("movie.idx"), "junk");
    writeBytes(dir.file("movie.sub"), sampleSub());
    PlaybackGraph graph;
    ASSERT_EQ(graph.render(movie), S_OK);
    EXPECT_FALSE(has(graph, kFilter)) << "the movie plays without the subtitles";
    EXPECT_TRUE(has(graph, "Video Renderer"));
}

} // namespace
