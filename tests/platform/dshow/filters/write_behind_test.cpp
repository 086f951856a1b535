// Writes made by the File Writer's own thread: the file holds what the writes in their given order
// leave, whatever the thread gathered or replaced, and a failed write is reported.

#include "platform/dshow/filters/write_behind.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace platform::dshow::filters {
namespace {

using kes::test::readBytes;
using kes::test::TempDir;

std::span<const uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// Applies the same writes to a plain buffer, as a file written in order would hold them.
void applyTo(std::string& expected, int64_t offset, const std::string& bytes) {
    const auto end = static_cast<size_t>(offset) + bytes.size();
    if (expected.size() < end)
        expected.resize(end, '\0');
    expected.replace(static_cast<size_t>(offset), bytes.size(), bytes);
}

TEST(WriteBehind, TheFileHoldsWhatTheWritesInTheirOrderLeave) {
    TempDir dir("kes-writebehind");
    const std::string target = dir.file("out.wav");
    // Small bounds, so that the writer waits for room, gathers and hands over many batches.
    WriteBehind file(std::make_unique<PositionedFile>(target), WriteBehind::Limits{64, 16});
    std::string expected;
    const auto put = [&](int64_t offset, const std::string& bytes) {
        ASSERT_TRUE(file.write(offset, bytesOf(bytes)));
        applyTo(expected, offset, bytes);
    };
    // A header rewritten after every appended piece, as the WAV writer does.
    int64_t end = 4;
    put(0, "H000");
    for (int i = 0; i < 200; ++i) {
        const std::string piece(static_cast<size_t>(1 + i % 7), static_cast<char>('a' + i % 26));
        put(end, piece);
        end += static_cast<int64_t>(piece.size());
        put(0, "H" + std::to_string(100 + i % 900).substr(0, 3));
    }
    // A later write over part of an earlier one, then the earlier place again: the order counts, so
    // the last write may not take the place of the first one past the one between them.
    put(end, "XXXX");
    put(end + 2, "YYYY");
    put(end, "ZZZZ");
    // Writes larger than the bound, and beyond the end (a hole).
    put(end + 100, std::string(200, 'L'));
    put(3, std::string(100, 'M'));
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(readBytes(target), expected);
}

// With the default bounds nothing is taken before the commit, so every write meets the ones still
// waiting: a write of the place of an earlier one may not replace it past a write between them.
TEST(WriteBehind, AnOverlappingWriteKeepsItsPlaceInTheOrder) {
    TempDir dir("kes-writebehind");
    const std::string target = dir.file("order.bin");
    WriteBehind file(std::make_unique<PositionedFile>(target));
    ASSERT_TRUE(file.write(0, bytesOf("XXXX")));
    ASSERT_TRUE(file.write(2, bytesOf("YYYY")));
    ASSERT_TRUE(file.write(0, bytesOf("ZZZZ")));
    ASSERT_TRUE(file.write(8, bytesOf("hh")));
    ASSERT_TRUE(file.write(8, bytesOf("HH"))); // nothing between: replaced
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(readBytes(target), std::string("ZZZZYY\0\0HH", 10));
}

TEST(WriteBehind, RandomWritesEndAsInOrder) {
    TempDir dir("kes-writebehind");
    const std::string target = dir.file("random.bin");
    std::mt19937 random(7);
    WriteBehind file(std::make_unique<PositionedFile>(target), WriteBehind::Limits{256, 64});
    std::string expected;
    for (int i = 0; i < 3000; ++i) {
        const auto offset = static_cast<int64_t>(random() % 400);
        const std::string bytes(1 + random() % 40, static_cast<char>('0' + random() % 64));
        ASSERT_TRUE(file.write(offset, bytesOf(bytes)));
        applyTo(expected, offset, bytes);
        if (i % 500 == 0) {
            ASSERT_TRUE(file.flush());
        }
    }
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(readBytes(target), expected);
}

TEST(WriteBehind, WithoutACommitTheTargetStaysAsItWas) {
    TempDir dir("kes-writebehind");
    const std::string target = dir.file("kept.wav");
    kes::test::writeBytes(target, "old");
    {
        WriteBehind file(std::make_unique<PositionedFile>(target));
        ASSERT_TRUE(file.write(0, bytesOf("new bytes")));
        ASSERT_TRUE(file.flush());
    }
    EXPECT_EQ(readBytes(target), "old");
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()),
        1); // no temporary file left
}

// A file that cannot grow (the file size limit of the process, lowered for this test only) fails the
// writes after the one that hit it, the flush and the commit, and the target is left as it was.
TEST(WriteBehind, AFailedWriteIsReportedAndNothingIsCommitted) {
    TempDir dir("kes-writebehind");
    const std::string target = dir.file("full.wav");
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit low = saved;
    low.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
    bool queued = true;
    bool flushed = true;
    bool laterWrite = true;
    bool committed = true;
    {
        WriteBehind file(std::make_unique<PositionedFile>(target));
        const std::string block(1024, 'b');
        for (int i = 0; i < 8; ++i)
            queued = file.write(i * 1024, bytesOf(block)) && queued; // not yet made: none fails here
        flushed = file.flush();
        laterWrite = file.write(8192, bytesOf(block));
        committed = file.commit();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_TRUE(queued);
    EXPECT_FALSE(flushed);
    EXPECT_FALSE(laterWrite);
    EXPECT_FALSE(committed);
    EXPECT_FALSE(std::filesystem::exists(target));
}

} // namespace
} // namespace platform::dshow::filters
