#include "platform/dshow/guids.h"
#include "pull_sink.h"
#include "source_fixture.h"

#include <QLabel>
#include <QProgressBar>

#include <thread>

namespace quillon {
namespace {

class PullThroughTest : public test::SourceFixture {};

TEST_F(PullThroughTest, TheWholeStreamReachesASinkThroughThePin) {
    ASSERT_EQ(load(makeSet({70000, 0, 1, 65536, 12345})), S_OK);
    auto* puller = new test::PullSinkFilter(32768);
    puller->NonDelegatingAddRef();
    CBasePin* out = filter->GetPin(0);
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(out->Connect(puller->pin(), nullptr), S_OK);

    // As a graph runs them: downstream first; Run on this (the windows') thread.
    ASSERT_EQ(puller->Run(0), S_OK);
    ASSERT_EQ(filter->Run(0), S_OK);
    ASSERT_TRUE(puller->waitForEnd(30));
    EXPECT_EQ(puller->bytes(), stream);
    EXPECT_NE(puller->pullThread, std::this_thread::get_id());
    EXPECT_EQ(puller->error.load(), S_OK);

    // The pull thread stops before the source closes its files.
    ASSERT_EQ(puller->Stop(), S_OK);
    ASSERT_EQ(filter->Stop(), S_OK);
    EXPECT_TRUE(sink.warnings.empty());
    filter->progress().tick();
    puller->pin()->Disconnect();
    out->Disconnect();
    puller->NonDelegatingRelease();
}

TEST_F(PullThroughTest, TheWindowTicksWhileTheThreadReadsAndEndsOnTheLastFile) {
    ASSERT_EQ(load(makeSet({400000, 300000, 200000})), S_OK);
    auto* puller = new test::PullSinkFilter(2048);
    puller->NonDelegatingAddRef();
    CBasePin* out = filter->GetPin(0);
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(out->Connect(puller->pin(), nullptr), S_OK);
    // The reader runs before the filter that pulls from it, as the graph orders them: a source that
    // became active after the reads would have forgotten the file they ended on.
    ASSERT_EQ(filter->Run(0), S_OK);
    ASSERT_EQ(puller->Run(0), S_OK);
    ProgressWindow* window = filter->progress().window();
    ASSERT_NE(window, nullptr);
    // Timer messages on this thread while the reads go on on the pull thread.
    int ticks = 0;
    while (!puller->ended && puller->error.load() == S_OK && ticks < 1000000) {
        filter->progress().timerMessage();
        ++ticks;
    }
    ASSERT_TRUE(puller->waitForEnd(30));
    filter->progress().tick();
    EXPECT_EQ(window->bar()->value(), 100);
    EXPECT_EQ(window->currentFileLabel()->text().toStdString(), names.back());
    EXPECT_EQ(filter->outputPin().lastFileIndex(), 2);
    ASSERT_EQ(puller->Stop(), S_OK);
    ASSERT_EQ(filter->Stop(), S_OK);
    EXPECT_EQ(filter->outputPin().lastFileIndex(), -1);
    puller->pin()->Disconnect();
    out->Disconnect();
    puller->NonDelegatingRelease();
}

} // namespace
} // namespace quillon
