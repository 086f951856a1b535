#include "tools/synchronizer/join_engine.h"

#include "tests/support/temp_dir.h"
#include "tests/tools/synchronizer/job_avi.h"
#include "tests/tools/synchronizer/job_sink_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tools::synchronizer;
using namespace kes::test;

namespace {

struct JoinFiles {
    TempDir dir;
    std::vector<JobAviSpec> specs;
    std::vector<std::string> paths;
    std::string dest = dir.file("joined.avi");

    void add(JobAviSpec spec) {
        paths.push_back(dir.file("part" + std::to_string(paths.size() + 1) + ".avi"));
        EXPECT_TRUE(writeJobAvi(paths.back(), spec));
        specs.push_back(spec);
    }
};

JobAviSpec part(char tag, int frames, int64_t samples, uint16_t base) {
    JobAviSpec spec;
    spec.frameTag = tag;
    spec.frames = frames;
    spec.audioSamples = samples;
    spec.pcmValueBase = base;
    return spec;
}

} // namespace

TEST(Join, ThreePartsInListOrder) {
    JoinFiles files;
    files.add(part('A', 20, 6400, 1));
    JobAviSpec second = part('B', 10, 3200, 30000);
    second.keyFrames = {5}; // its first frame still starts as a key frame
    files.add(second);
    JobAviSpec third = part('C', 15, 4800, 50000);
    third.fpsRate = 30; // a different frame rate is joined; the output takes the last file's
    files.add(third);
    RecordingSink sink;
    const JoinResult r = JoinAll(files.paths, files.dest, sink);
    ASSERT_EQ(r.check.status, JoinCheckStatus::Agree);
    ASSERT_EQ(r.status, MuxStatus::Done);
    EXPECT_TRUE(r.outputKept);
    EXPECT_EQ(r.filesAppended, 3u);
    EXPECT_FALSE(sink.failed());
    ASSERT_EQ(sink.joined.size(), 3u);
    EXPECT_EQ(sink.joined[1], "2/3 " + files.paths[1]);

    const ReadBack out = readJobAvi(files.dest);
    ASSERT_EQ(out.frames.size(), 45u);
    EXPECT_EQ(out.frames[0], frameBytes(files.specs[0], 0));
    EXPECT_EQ(out.frames[20], frameBytes(second, 0));
    EXPECT_EQ(out.frames[44], frameBytes(third, 14));
    EXPECT_TRUE(out.keys[20]);
    EXPECT_FALSE(out.keys[21]);
    EXPECT_TRUE(out.keys[25]);
    EXPECT_EQ(out.video.dwRate, 30u);
    const auto samples = pcmSamples(out.audioBytes);
    ASSERT_EQ(samples.size(), 14400u);
    EXPECT_EQ(samples[0], pcmValue(files.specs[0], 0));
    EXPECT_EQ(samples[6399], pcmValue(files.specs[0], 6399));
    EXPECT_EQ(samples[6400], pcmValue(second, 0));
    EXPECT_EQ(samples[9600], pcmValue(third, 0));
    EXPECT_EQ(samples[14399], pcmValue(third, 4799));
}

// Files whose audio outlasts their video (as some encoders write them) or ends before it: each file's
// sound starts with its video, never after the sound before it.
TEST(Join, EachFilesSoundStartsWithItsVideo) {
    JoinFiles files;
    files.add(part('A', 20, 6720, 1));     // 0.8 s of video, 0.84 s of sound
    files.add(part('B', 20, 6080, 30000)); // 0.8 s of video, 0.76 s of sound
    files.add(part('C', 20, 6720, 50000));
    RecordingSink sink;
    ASSERT_EQ(JoinAll(files.paths, files.dest, sink).status, MuxStatus::Done);
    const ReadBack out = readJobAvi(files.dest);
    ASSERT_EQ(out.frames.size(), 60u);
    const auto samples = pcmSamples(out.audioBytes);
    ASSERT_EQ(samples.size(), 12800u + 6720u) << "the last file keeps all of its sound";
    EXPECT_EQ(samples[6399], pcmValue(files.specs[0], 6399)) << "the first file's sound ends with its video";
    EXPECT_EQ(samples[6400], pcmValue(files.specs[1], 0));
    EXPECT_EQ(samples[6400 + 6079], pcmValue(files.specs[1], 6079));
    for (std::size_t i = 6400 + 6080; i < 12800; ++i)
        ASSERT_EQ(samples[i], 0) << "silence where the second file's sound ended early, at " << i;
    EXPECT_EQ(samples[12800], pcmValue(files.specs[2], 0));
}

TEST(Join, DifferentFormatsAreListedAndNothingIsWritten) {
    JoinFiles files;
    files.add(part('A', 5, 1600, 1));
    JobAviSpec wide = part('B', 5, 1600, 1);
    wide.width = 8;
    files.add(wide);
    JobAviSpec compressed = part('C', 5, 1600, 1);
    compressed.audio = JobAudio::Mp3Cbr;
    files.add(compressed);
    RecordingSink sink;
    const JoinResult r = JoinAll(files.paths, files.dest, sink);
    EXPECT_EQ(r.check.status, JoinCheckStatus::Differ);
    EXPECT_EQ(r.check.differing, (std::vector<std::size_t>{1, 2}));
    EXPECT_FALSE(std::filesystem::exists(files.dest));
    EXPECT_FALSE(r.outputKept);
    EXPECT_EQ(checkJoinList(files.paths, sink).differing.size(), 2u);
}

TEST(Join, UnreadableFileEndsTheCheck) {
    JoinFiles files;
    files.add(part('A', 5, 1600, 1));
    files.paths.push_back(files.dir.file("gone.avi"));
    files.add(part('C', 5, 1600, 1));
    writeBytes(files.dest, "old join");
    RecordingSink sink;
    JoinResult r = JoinAll(files.paths, files.dest, sink);
    EXPECT_EQ(r.check.status, JoinCheckStatus::CannotOpen);
    EXPECT_EQ(r.check.failedIndex, 1u);
    EXPECT_TRUE(sink.stopFlag());
    EXPECT_TRUE(sink.failed());
    EXPECT_EQ(readBytes(files.dest), "old join");

    JobAviSpec silent = part('D', 5, 0, 1);
    silent.audio = JobAudio::None;
    files.paths[1] = files.dir.file("silent.avi");
    ASSERT_TRUE(writeJobAvi(files.paths[1], silent));
    r = JoinAll(files.paths, files.dest, sink);
    EXPECT_EQ(r.check.status, JoinCheckStatus::NoAudio);
    EXPECT_EQ(readBytes(files.dest), "old join");
}

TEST(Join, StopKeepsWhatWasAppendedOnlyForANewFile) {
    JoinFiles files;
    files.add(part('A', 10, 3200, 1));
    files.add(part('B', 10, 3200, 2));
    files.add(part('C', 10, 3200, 3));
    RecordingSink sink;
    sink.stopAfterFrames = 14; // during the second file
    JoinResult r = JoinAll(files.paths, files.dest, sink);
    EXPECT_EQ(r.status, MuxStatus::Stopped);
    EXPECT_EQ(r.filesAppended, 2u);
    EXPECT_TRUE(r.outputKept);
    EXPECT_EQ(readJobAvi(files.dest).frames.size(), 14u);

    const std::string before = readBytes(files.dest);
    RecordingSink again;
    again.stopAfterFrames = 3;
    r = JoinAll(files.paths, files.dest, again);
    EXPECT_EQ(r.status, MuxStatus::Stopped);
    EXPECT_FALSE(r.outputKept);
    EXPECT_EQ(readBytes(files.dest), before);
}

TEST(Join, FileLostWhileCopyingDiscardsTheOutput) {
    JoinFiles files;
    files.add(part('A', 10, 3200, 1));
    files.add(part('B', 10, 3200, 2));
    writeBytes(files.dest, "old join");
    RecordingSink sink;
    sink.onFrame = [&](int frame) {
        if (frame == 12)
            std::filesystem::resize_file(files.paths[1], 600);
    };
    const JoinResult r = JoinAll(files.paths, files.dest, sink);
    EXPECT_EQ(r.status, MuxStatus::ReadFailed);
    EXPECT_TRUE(sink.failed());
    EXPECT_FALSE(r.outputKept);
    EXPECT_EQ(readBytes(files.dest), "old join");
}

TEST(Join, DestinationName) {
    EXPECT_EQ(joinDestinationName("/m/all"), "/m/all.avi");
    EXPECT_EQ(joinDestinationName("/m/all.AVI"), "/m/all.AVI");
    EXPECT_EQ(joinDestinationName("/m/all.Avi"), "/m/all.Avi");
    EXPECT_EQ(joinDestinationName("/m/all.mpg"), "/m/all.mpg.avi");
    EXPECT_EQ(joinDestinationName("/m.avi/all"), "/m.avi/all.avi");
}
