#include "tools/synchronizer/remux_engine.h"
#include "tools/synchronizer/split_engine.h"

#include "tests/support/temp_dir.h"
#include "tests/tools/synchronizer/job_avi.h"
#include "tests/tools/synchronizer/job_sink_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

using namespace tools::synchronizer;
using namespace kes::test;

namespace {

std::function<bool(int64_t)> keysAt(std::set<int64_t> keys) {
    return [keys](int64_t frame) { return keys.count(frame) == 1; };
}

} // namespace

TEST(SplitPoint, NearestKeyFrameWithTiesGoingForward) {
    EXPECT_EQ(splitFrame(50, 2.0, keysAt({0, 10, 20, 30, 40})), 30); // 25 is halfway between 20 and 30
    EXPECT_EQ(splitFrame(50, 2.0, keysAt({0, 22, 40})), 22);
    EXPECT_EQ(splitFrame(50, 2.0, keysAt({0, 10, 27})), 27);
    EXPECT_EQ(splitFrame(50, 2.0, keysAt({0, 49})), 49);
    // No key frame after the middle: the end; none before it but frame 0: 0 when nearer.
    EXPECT_EQ(splitFrame(50, 2.0, keysAt({0, 20})), 20);
    EXPECT_EQ(splitFrame(50, 2.0, keysAt({0})), 50);
    EXPECT_EQ(splitFrame(49, 2.0, keysAt({0})), 0);      // c = round(24.5) = 24: frame 0 is nearer
    EXPECT_EQ(splitFrame(50, 1.0, keysAt({0, 10})), 50); // one part: the end of the video
    EXPECT_EQ(splitFrame(0, 2.0, keysAt({0})), 0);
    EXPECT_EQ(splitFrame(50, 4.0, keysAt({0, 10, 20})), 10); // c = round(12.5) = 12
}

TEST(SplitPoint, PartCount) {
    EXPECT_DOUBLE_EQ(partCount(SplitWay::None, "650", 1 << 30, 0), 1.0);
    EXPECT_DOUBLE_EQ(partCount(SplitWay::Halves, "650", 10, 0), 2.0);
    EXPECT_DOUBLE_EQ(partCount(SplitWay::Wizard, "", 10, 0), 2.0);
    EXPECT_DOUBLE_EQ(partCount(SplitWay::BySize, "650", 650 * 1024000 * 3LL, 650 * 1024000LL), 4.0);
    EXPECT_DOUBLE_EQ(partCount(SplitWay::BySize, "700", 1000, 1000), 1.0); // smaller than one part
    EXPECT_DOUBLE_EQ(partCount(SplitWay::BySize, "0", 1 << 30, 0), 1.0);
    EXPECT_DOUBLE_EQ(partCount(SplitWay::BySize, "abc", 1 << 30, 0), 1.0);
}

TEST(SplitPoint, AudioRanges) {
    // 8000 samples per second, 25 fps; half a second later: silence first.
    const AudioRange whole = audioRange(false, true, {0, 50}, -0.5, 8000, 25, 16000);
    EXPECT_EQ(whole.begin, -4000);
    EXPECT_EQ(whole.end, 16000);
    const AudioRange one = audioRange(true, true, {0, 30}, 0, 8000, 25, 16000);
    EXPECT_EQ(one.begin, 0);
    EXPECT_EQ(one.end, 9601);
    const AudioRange two = audioRange(true, false, {30, 50}, 0, 8000, 25, 16000);
    EXPECT_EQ(two.begin, 9601);
    EXPECT_EQ(two.end, 16000);
    EXPECT_EQ(audioRange(true, false, {30, 50}, 0.25, 8000, 25, 16000).begin, 11601);
}

TEST(SplitPoint, WizardHelpers) {
    EXPECT_EQ(wizardPartSizeText(25, 50, 10485760), "+/-   5.0 Mb");
    EXPECT_EQ(wizardPartSizeText(25, 0, 10485760), "+/-   0.0 Mb");
    EXPECT_TRUE(wizardSplitAllowed(100, 100));
    EXPECT_TRUE(wizardSplitAllowed(100, 90)); // overlapping parts
    EXPECT_FALSE(wizardSplitAllowed(100, 101));
    EXPECT_EQ(gotoTimeFrame("00:01:00", 25), 1500);
    EXPECT_FALSE(gotoTimeFrame("00:00:00", 25));
    EXPECT_FALSE(gotoTimeFrame("0:1:00", 25));
}

struct SplitJob {
    TempDir dir;
    JobAviSpec spec;
    RemuxRequest request;
    SplitJob(SplitWay way) {
        request.source = dir.file("movie.avi");
        request.destination = dir.file("cut.avi");
        request.delayText = "0";
        request.split = way;
        EXPECT_TRUE(writeJobAvi(request.source, spec));
    }
};

TEST(SplitRemux, HalvesAtAKeyFrameWithoutLosingAudio) {
    SplitJob job(SplitWay::Halves);
    RecordingSink sink;
    const RemuxJobResult r = runRemuxJob(job.request, sink);
    ASSERT_EQ(r.part1.status, MuxStatus::Done);
    ASSERT_TRUE(r.part2);
    ASSERT_EQ(r.part2->status, MuxStatus::Done);
    EXPECT_EQ(r.part2->outputPath, job.dir.file("cut2.avi"));
    EXPECT_EQ(sink.started, 2);

    const ReadBack one = readJobAvi(job.dir.file("cut.avi"));
    const ReadBack two = readJobAvi(job.dir.file("cut2.avi"));
    ASSERT_EQ(one.frames.size(), 30u);
    ASSERT_EQ(two.frames.size(), 20u);
    EXPECT_EQ(two.frames[0], frameBytes(job.spec, 30));
    EXPECT_TRUE(two.keys[0]);
    const auto a = pcmSamples(one.audioBytes);
    const auto b = pcmSamples(two.audioBytes);
    ASSERT_EQ(a.size(), 9601u);
    ASSERT_EQ(b.size(), 6399u);
    EXPECT_EQ(a.back(), pcmValue(job.spec, 9600));
    EXPECT_EQ(b.front(), pcmValue(job.spec, 9601));
    EXPECT_EQ(readBytes(job.dir.file("cut2.avi"))[45], 1);
}

TEST(SplitRemux, BySizeAndSmallFile) {
    SplitJob job(SplitWay::BySize);
    job.request.splitSizeText = "1";
    job.request.videoBytes = 3 * 1024000;
    job.request.audioBytes = 1024000; // four parts' worth: the split comes at frame 10
    RecordingSink sink;
    RemuxJobResult r = runRemuxJob(job.request, sink);
    EXPECT_EQ(r.part1.frames.end, 10);
    EXPECT_EQ(readJobAvi(job.dir.file("cut.avi")).frames.size(), 10u);
    EXPECT_EQ(readJobAvi(job.dir.file("cut2.avi")).frames.size(), 40u);

    // Smaller than a part: the whole file, audio included, and no empty second part.
    std::filesystem::remove(job.dir.file("cut2.avi"));
    job.request.videoBytes = 1000;
    r = runRemuxJob(job.request, sink);
    EXPECT_EQ(r.part1.status, MuxStatus::Done);
    EXPECT_TRUE(r.part1.wholeFile);
    EXPECT_FALSE(r.part2);
    const ReadBack whole = readJobAvi(job.dir.file("cut.avi"));
    EXPECT_EQ(whole.frames.size(), 50u);
    EXPECT_EQ(pcmSamples(whole.audioBytes).size(), 16000u);
    EXPECT_FALSE(std::filesystem::exists(job.dir.file("cut2.avi")));
}

TEST(SplitRemux, NoKeyFrameToSplitAtWritesTheWholeFile) {
    SplitJob job(SplitWay::Halves);
    job.spec.keyFrames = {0};
    ASSERT_TRUE(writeJobAvi(job.request.source, job.spec));
    RecordingSink sink;
    const RemuxJobResult r = runRemuxJob(job.request, sink);
    EXPECT_TRUE(r.part1.wholeFile);
    EXPECT_FALSE(r.part2);
    EXPECT_EQ(readJobAvi(job.dir.file("cut.avi")).frames.size(), 50u);

    // A wizard part 1 ending at frame 0 would be empty: the file is written whole too.
    job.request.split = SplitWay::Wizard;
    job.request.part1End = 0;
    job.request.part2Begin = 0;
    EXPECT_TRUE(runRemuxJob(job.request, sink).part1.wholeFile);
    EXPECT_FALSE(std::filesystem::exists(job.dir.file("cut2.avi")));
}

TEST(SplitRemux, WizardPartsMayOverlapAndStayInsideTheFile) {
    SplitJob job(SplitWay::Wizard);
    job.request.part1End = 20;
    job.request.part2Begin = 15;
    RecordingSink sink;
    runRemuxJob(job.request, sink);
    const ReadBack one = readJobAvi(job.dir.file("cut.avi"));
    const ReadBack two = readJobAvi(job.dir.file("cut2.avi"));
    EXPECT_EQ(one.frames.size(), 20u);
    ASSERT_EQ(two.frames.size(), 35u);
    EXPECT_EQ(two.frames[0], frameBytes(job.spec, 15));
    EXPECT_TRUE(two.keys[0]); // the first frame of a part is always a key frame

    job.request.part1End = 900; // beyond the end
    job.request.part2Begin = -5;
    const RemuxJobResult r = runRemuxJob(job.request, sink);
    EXPECT_EQ(r.part1.frames.end, 50);
    ASSERT_TRUE(r.part2);
    EXPECT_EQ(r.part2->frames.begin, 0);
}
