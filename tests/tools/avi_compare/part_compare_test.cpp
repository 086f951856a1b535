#include "tools/avi_compare/tavic.h"

#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/synchronizer/tiny_avi.h"

#include <gtest/gtest.h>

using namespace tools::avi_compare;
using kes::test::TempDir;
using kes::test::tinyAvi;
using kes::test::TinyAviSpec;
using kes::test::writeBytes;

namespace {

struct RecordingSink : CompareSink {
    std::vector<int32_t> tried;
    int stopAfter = -1;
    void streamsOpened() override {}
    void trying(int32_t frame) override { tried.push_back(frame); }
    void processMessages() override {}
    bool stopRequested() override { return stopAfter >= 0 && static_cast<int>(tried.size()) >= stopAfter; }
};

struct CompareFixture : ::testing::Test {
    TempDir dir;
    std::string part1 = dir.file("part1.avi");
    std::string part2 = dir.file("part2.avi");

    CompareFixture() {
        TinyAviSpec spec;
        spec.frames = {"AAAAAAAA", "BBBBBBBB", "CCCCCCCC", "DDDDDDDD", "EEEE"};
        spec.keyFrames = {true, false, true, false, true};
        writeBytes(part1, tinyAvi(spec));
    }
    void secondPartStartsWith(const std::string& frame) {
        TinyAviSpec spec;
        spec.frames = {frame, "ZZZZZZZZ"};
        writeBytes(part2, tinyAvi(spec));
    }
};

} // namespace

TEST_F(CompareFixture, LastKeyFrameMatchesAfterOneComparison) {
    secondPartStartsWith("EEEE"); // a frame shorter than the buffer, compared on its own bytes
    RecordingSink sink;
    int32_t found = -7;
    EXPECT_EQ(findPartStart(part1, part2, found, sink), CompareStatus::Found);
    EXPECT_EQ(found, 4);
    EXPECT_EQ(sink.tried, std::vector<int32_t>{4});
}

TEST_F(CompareFixture, WalksBackOverKeyFramesOnly) {
    secondPartStartsWith("CCCCCCCC");
    RecordingSink sink;
    int32_t found = 0;
    EXPECT_EQ(findPartStart(part1, part2, found, sink), CompareStatus::Found);
    EXPECT_EQ(found, 2);
    EXPECT_EQ(sink.tried, (std::vector<int32_t>{4, 2}));

    // Present only as a non-key frame: the search ends at the first frame.
    secondPartStartsWith("BBBBBBBB");
    sink.tried.clear();
    EXPECT_EQ(findPartStart(part1, part2, found, sink), CompareStatus::NotFound);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(sink.tried, (std::vector<int32_t>{4, 2, 0}));

    // Same bytes but one more: no match.
    secondPartStartsWith("EEEEE");
    EXPECT_EQ(findPartStart(part1, part2, found, sink), CompareStatus::NotFound);
}

TEST_F(CompareFixture, UnreadablePartsAndStops) {
    writeBytes(part2, "RIFF garbage that is no AVI");
    RecordingSink sink;
    int32_t found = 123;
    EXPECT_EQ(findPartStart(part1, part2, found, sink), CompareStatus::OpenError);
    EXPECT_EQ(found, 123);
    EXPECT_EQ(findPartStart(dir.file("none.avi"), part1, found, sink), CompareStatus::OpenError);

    secondPartStartsWith("AAAAAAAA");
    sink.stopAfter = 1;
    EXPECT_EQ(findPartStart(part1, part2, found, sink), CompareStatus::Stopped);
    EXPECT_EQ(found, 4);
}

// Parts another program made: a movie FFmpeg wrote, and FFmpeg's copy of it from a key frame on.
TEST_F(CompareFixture, FindsWhereAPartCutByAnotherProgramStarts) {
    kes::test::LavfAviSpec spec;
    spec.frames = 30;
    spec.gop = 10;
    spec.audio = kes::test::LavfAudio::None;
    std::string error;
    ASSERT_TRUE(kes::test::writeLavfAvi(part1, spec, &error)) << error;
    for (const int start : {20, 10, 0}) {
        ASSERT_TRUE(kes::test::copyLavfVideo(part1, part2, start, &error)) << error;
        ASSERT_EQ(kes::test::readLavfVideo(part2).packets.size(), static_cast<size_t>(30 - start));
        RecordingSink sink;
        int32_t found = -1;
        EXPECT_EQ(findPartStart(part1, part2, found, sink), CompareStatus::Found) << start;
        EXPECT_EQ(found, start);
    }
}

TEST_F(CompareFixture, WindowReportsInItsLabels) {
    secondPartStartsWith("CCCCCCCC");
    Tavic window;
    EXPECT_EQ(avic, &window);
    window.Edit1.setText(part1);
    window.Edit2.setText(part2);
    window.cmpr();
    EXPECT_EQ(window.FoundFrame, 2);
    EXPECT_EQ(window.Label3.caption(), "Loading video streams ... OK");
    EXPECT_EQ(window.Label4.caption(), "FOUND !");
    EXPECT_EQ(window.Label2.caption(), "2");

    window.Edit2.setText(dir.file("none.avi"));
    window.cmpr();
    EXPECT_EQ(window.Label3.caption(), "Loading video streams ... ERROR");
    EXPECT_EQ(window.Label4.caption(), "");
    EXPECT_EQ(window.FoundFrame, 2);
}
