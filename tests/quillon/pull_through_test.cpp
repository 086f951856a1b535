#include "platform/dshow/guids.h"
#include "pull_sink.h"
#include "source_fixture.h"

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

} // namespace
} // namespace quillon
