#include "tools/synchronizer/synch_engine.h"

#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/synchronizer/tiny_avi.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

using namespace tools::synchronizer;
using kes::test::readBytes;
using kes::test::TempDir;
using kes::test::tinyAvi;
using kes::test::TinyAviSpec;
using kes::test::writeBytes;

namespace {

uint32_t le32(const std::string& bytes, int64_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[static_cast<std::size_t>(at + i)]);
    return value;
}

// The offsets at which two equally long byte strings differ.
std::vector<int64_t> differences(const std::string& a, const std::string& b) {
    std::vector<int64_t> at;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i])
            at.push_back(static_cast<int64_t>(i));
    return at;
}

struct PatchFixture : ::testing::Test {
    TempDir dir;
    std::string path = dir.file("Movie.avi");
    SynchState state;

    std::string load(const TinyAviSpec& spec) {
        const std::string bytes = tinyAvi(spec);
        writeBytes(path, bytes);
        return bytes;
    }
};

TinyAviSpec film(uint32_t scale, uint32_t rate) {
    TinyAviSpec spec;
    spec.videoScale = scale;
    spec.videoRate = rate;
    spec.audioScale = 4;
    spec.audioRate = 192000; // 48000 blocks per second
    return spec;
}

} // namespace

TEST_F(PatchFixture, ReadsRateAndDelay) {
    TinyAviSpec spec = film(1001, 24000);
    spec.audioStart = 24000; // 500 ms
    spec.videoStart = 6;     // 250.25 ms at 23.976
    load(spec);
    const ReadInfosResult read = ReadInfos(path, state);
    EXPECT_TRUE(read.videoFound);
    EXPECT_TRUE(read.audioFound);
    EXPECT_EQ(state.VideoHeaderPos, kes::test::VideoTypeOffset);
    EXPECT_EQ(state.AudioHeaderPos, kes::test::AudioTypeOffset);
    EXPECT_EQ(read.fpsText, "23.9760");
    EXPECT_EQ(state.AudioRate, 48000);
    EXPECT_EQ(read.delayMs, 500 - 250);

    spec.audioStart = -4800; // a negative audio start is read as signed
    spec.videoStart = 0;
    load(spec);
    EXPECT_EQ(ReadInfos(path, state).delayMs, -100);
}

TEST_F(PatchFixture, TestingWritesOnlyTheThreeFields) {
    const std::string before = load(film(1, 25));
    ReadInfos(path, state);
    ASSERT_EQ(setinfo(path, state, {23.976, 25, -400}), PatchStatus::Done);
    std::string after = readBytes(path);
    ASSERT_EQ(after.size(), before.size());
    const int64_t v = kes::test::VideoTypeOffset;
    const int64_t a = kes::test::AudioTypeOffset;
    EXPECT_EQ(le32(after, v + ScaleOffset), 10000u);
    EXPECT_EQ(le32(after, v + RateOffset), 239760u);
    EXPECT_EQ(le32(after, v + StartOffset), 10u); // -400 ms at the file's 25 fps
    EXPECT_EQ(le32(after, a + StartOffset), 0u);
    for (const int64_t at : differences(before, after))
        EXPECT_TRUE((at >= v + ScaleOffset && at < v + StartOffset + 4)) << at;
    // FFmpeg sees the video start ten frames of the new rate late.
    {
        const kes::test::LavfProbe probe = kes::test::probeLavf(path);
        ASSERT_TRUE(probe.first("video") && probe.first("audio"));
        EXPECT_NEAR(probe.first("video")->startSeconds, 10 * 10000 / 239760.0, 1e-6);
        EXPECT_NEAR(probe.first("audio")->startSeconds, 0, 1e-9);
    }

    ASSERT_EQ(setinfo(path, state, {25, 25, 400}), PatchStatus::Done);
    after = readBytes(path);
    EXPECT_EQ(le32(after, a + StartOffset), 19200u);
    EXPECT_EQ(le32(after, v + StartOffset), 0u);
    EXPECT_EQ(le32(after, v + RateOffset), 250000u);
    // FFmpeg sees the audio start 400 ms late and the video at once.
    {
        const kes::test::LavfProbe probe = kes::test::probeLavf(path);
        ASSERT_TRUE(probe.first("video") && probe.first("audio"));
        EXPECT_NEAR(probe.first("video")->startSeconds, 0, 1e-9);
        EXPECT_NEAR(probe.first("audio")->startSeconds, 0.4, 1e-6);
    }
    for (const int64_t at : differences(before, after))
        EXPECT_TRUE((at >= v + ScaleOffset && at < v + StartOffset + 4) ||
                    (at >= a + StartOffset && at < a + StartOffset + 4))
            << at;

    // The reset on close: the rate read from the file and both starts 0.
    ASSERT_EQ(setinfo(path, state, {25, 25, 0}), PatchStatus::Done);
    ReadInfos(path, state);
    EXPECT_EQ(le32(readBytes(path), a + StartOffset), 0u);
    EXPECT_DOUBLE_EQ(state.FileFps, 25);
}

// AC3 as FFmpeg stores it: one unit per 1536-sample frame, 31.25 units per second. The start field
// for +5000 ms is the nearest frame (156, 4992 ms), and it reads back as that delay.
TEST_F(PatchFixture, AudioCountedInFramesKeepsItsExactRate) {
    TinyAviSpec spec = film(1, 25);
    spec.audioScale = 1536;
    spec.audioRate = 48000;
    load(spec);
    ReadInfos(path, state);
    EXPECT_DOUBLE_EQ(state.AudioRate, 31.25);
    ASSERT_EQ(setinfo(path, state, {25, 25, 5000}), PatchStatus::Done);
    EXPECT_EQ(le32(readBytes(path), kes::test::AudioTypeOffset + StartOffset), 156u);
    EXPECT_EQ(ReadInfos(path, state).delayMs, 4992);
}

TEST_F(PatchFixture, WithoutAudioOnlyTheRateIsWritten) {
    TinyAviSpec spec = film(1, 25);
    spec.withAudio = false;
    spec.videoStart = 3;
    const std::string before = load(spec);
    const ReadInfosResult read = ReadInfos(path, state);
    EXPECT_FALSE(read.audioFound);
    ASSERT_EQ(setinfo(path, state, {30, 25, -1000}), PatchStatus::Done);
    const std::string after = readBytes(path);
    EXPECT_EQ(le32(after, kes::test::VideoTypeOffset + StartOffset), 3u);
    EXPECT_EQ(le32(after, kes::test::VideoTypeOffset + RateOffset), 300000u);
    for (const int64_t at : differences(before, after))
        EXPECT_TRUE(at >= kes::test::VideoTypeOffset + ScaleOffset &&
                    at < kes::test::VideoTypeOffset + StartOffset)
            << at;
}

TEST_F(PatchFixture, LaterMatchOfTheSameTypeWins) {
    // "vids" twice before any "auds": the later position is kept.
    std::string bytes(400, 'x');
    bytes.replace(10, 4, "vids");
    bytes.replace(100, 4, "vids");
    bytes.replace(300, 4, "auds");
    writeBytes(path, bytes);
    const auto found = findStreamHeaders(path);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->video, 100);
    EXPECT_EQ(found->audio, 300);
}

TEST_F(PatchFixture, DamagedFilesNeverGrowOrBreak) {
    // A type code whose fields would lie past the end of the file.
    std::string bytes(64, 'x');
    bytes.replace(50, 4, "vids");
    writeBytes(path, bytes);
    ReadInfosResult read = ReadInfos(path, state);
    EXPECT_FALSE(read.videoFound);
    EXPECT_FALSE(read.audioFound);
    EXPECT_EQ(state.VideoHeaderPos, 0);

    // A zero scale or rate is not a frame rate.
    TinyAviSpec spec = film(0, 25);
    spec.audioRate = 0;
    const std::string zero = load(spec);
    read = ReadInfos(path, state);
    EXPECT_FALSE(read.videoFound);
    EXPECT_FALSE(read.audioFound);
    EXPECT_EQ(setinfo(path, state, {25, 25, 100}), PatchStatus::Done); // nothing found: nothing written
    EXPECT_EQ(readBytes(path), zero);

    // Positions from a longer file, patched into a shorter one: nothing is written.
    const std::string full = load(film(1, 25));
    ReadInfos(path, state);
    writeBytes(path, full.substr(0, static_cast<std::size_t>(kes::test::AudioTypeOffset + 20)));
    EXPECT_EQ(setinfo(path, state, {25, 25, 100}), PatchStatus::OutsideFile);
    EXPECT_EQ(readBytes(path), full.substr(0, static_cast<std::size_t>(kes::test::AudioTypeOffset + 20)));

    // Values that do not fit their fields.
    writeBytes(path, full);
    EXPECT_EQ(setinfo(path, state, {0, 25, 0}), PatchStatus::InvalidValue);
    EXPECT_EQ(setinfo(path, state, {500000, 25, 0}), PatchStatus::InvalidValue);
    EXPECT_EQ(setinfo(path, state, {25, 25, 2000000000}), PatchStatus::InvalidValue);
    EXPECT_EQ(readBytes(path), full);

    // Empty and missing files.
    writeBytes(path, "");
    read = ReadInfos(path, state);
    EXPECT_FALSE(read.videoFound);
    EXPECT_EQ(ReadInfos(dir.file("none.avi"), state).check, FileCheck::Missing);
    EXPECT_EQ(setinfo(dir.file("none.avi"), state, {25, 25, 0}), PatchStatus::CannotOpen);
}

// Also for a user who may write every file (root): the file's own permission counts.
TEST_F(PatchFixture, ReadOnlyFileIsReportedAndLeftAlone) {
    const std::string bytes = load(film(1, 25));
    ReadInfos(path, state);
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    EXPECT_EQ(ReadInfos(path, state).check, FileCheck::ReadOnly);
    EXPECT_EQ(setinfo(path, state, {30, 25, 0}), PatchStatus::CannotOpen);
    EXPECT_EQ(readBytes(path), bytes);
}

TEST(DelayConfirmation, OnlyShortNonZeroDelays) {
    EXPECT_TRUE(delayNeedsConfirmation(-50));
    EXPECT_TRUE(delayNeedsConfirmation(99));
    EXPECT_FALSE(delayNeedsConfirmation(-100));
    EXPECT_FALSE(delayNeedsConfirmation(100));
    EXPECT_FALSE(delayNeedsConfirmation(0));
}
