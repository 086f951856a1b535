#include "tools/synchronizer/synch_engine.h"

#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/synchronizer/tiny_avi.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

using namespace tools::synchronizer;
using kes::test::TempDir;
using kes::test::tinyAvi;
using kes::test::TinyAviSpec;
using kes::test::writeBytes;

namespace {

std::string le32(uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(value >> (8 * i));
    return out;
}

} // namespace

TEST(StreamsInfo, LengthsAndSuggestedRate) {
    TempDir dir;
    TinyAviSpec spec;
    spec.frames.assign(50, "12345678");         // 2 s at 25 fps
    spec.audioData = std::string(192000, '\0'); // 1 s of 48 kHz 16-bit stereo
    writeBytes(dir.file("a.avi"), tinyAvi(spec));
    SynchState state;
    const StreamsInfo info = GetStreamsInfo(dir.file("a.avi"), state);
    ASSERT_EQ(info.status, StreamsInfoStatus::Done);
    EXPECT_DOUBLE_EQ(*info.audioLength, 1);
    EXPECT_DOUBLE_EQ(*info.videoLength, 2);
    EXPECT_DOUBLE_EQ(*info.suggestedFps, 50);
    EXPECT_EQ(state.AudioBytes, 192000);
    const int64_t movi = 4 + 50 * (8 + 8) + 8 + 192000; // list type, frame chunks, audio chunk
    EXPECT_EQ(state.VideoBytes, movi - 192000);
    EXPECT_EQ(state.TotalBytes, movi);
}

TEST(StreamsInfo, OneStreamAndBrokenFiles) {
    TempDir dir;
    TinyAviSpec spec;
    spec.withAudio = false;
    writeBytes(dir.file("v.avi"), tinyAvi(spec));
    SynchState state;
    state.AudioBytes = 7;
    EXPECT_EQ(GetStreamsInfo(dir.file("v.avi"), state).status, StreamsInfoStatus::OneStream);
    EXPECT_EQ(state.TotalBytes, state.VideoBytes + 7);

    EXPECT_EQ(GetStreamsInfo(dir.file("none.avi"), state).status, StreamsInfoStatus::Missing);
    writeBytes(dir.file("junk.avi"), "not an avi at all");
    EXPECT_EQ(GetStreamsInfo(dir.file("junk.avi"), state).status, StreamsInfoStatus::CannotOpen);
    EXPECT_EQ(state.VideoBytes, 17); // no "movi": the file size

    // Truncated anywhere: whatever can be read, never a division by an empty length.
    const std::string whole = tinyAvi(TinyAviSpec{});
    for (std::size_t cut = 0; cut < whole.size(); cut += 7) {
        writeBytes(dir.file("cut.avi"), whole.substr(0, cut));
        const StreamsInfo info = GetStreamsInfo(dir.file("cut.avi"), state);
        for (const auto& value : {info.audioLength, info.videoLength, info.suggestedFps})
            EXPECT_TRUE(!value || std::isfinite(*value)) << cut;
    }
}

TEST(StreamsInfo, MoviScanSkipsTextAndStopsAtTheEnd) {
    TempDir dir;
    const std::string path = dir.file("m.avi");
    writeBytes(path, "RIFFxxxxAVI a movie text LIST" + le32(1234) + "movi00dc");
    EXPECT_EQ(moviListBytes(path), 1234);
    writeBytes(path, "movie");
    EXPECT_EQ(moviListBytes(path), 5);
    writeBytes(path, "LIST" + le32(99) + "movi"); // nothing after the code: the scan ends
    EXPECT_EQ(moviListBytes(path), 12);
    writeBytes(path, std::string(40000, 'x') + "LIST" + le32(99) + "movi0");
    EXPECT_EQ(moviListBytes(path), 40013); // beyond the scanned positions
}

// FFmpeg writes any AVI over 1 GB in OpenDML parts ("RIFF" "AVIX" after "RIFF" "AVI "), each holding a
// "movi" list of its own; all of them hold the movie.
TEST(StreamsInfo, EveryMoviListOfAnAviOverOneGigabyteCounts) {
    TempDir dir;
    const std::string path = dir.file("large.avi");
    constexpr int64_t Frames = 136;
    constexpr int64_t FrameBytes = 8 << 20;
    std::string error;
    ASSERT_TRUE(kes::test::writeLavfLargeAvi(path, Frames, FrameBytes, &error)) << error;
    // The file's own first chunk ends before its end, where an "AVIX" part begins.
    std::ifstream file(path, std::ios::binary);
    char head[12] = {};
    file.read(head, 8);
    const uint32_t first = static_cast<uint8_t>(head[4]) | static_cast<uint8_t>(head[5]) << 8 |
                           static_cast<uint8_t>(head[6]) << 16 |
                           static_cast<uint32_t>(static_cast<uint8_t>(head[7])) << 24;
    file.seekg(8 + first);
    file.read(head, 12);
    ASSERT_EQ(std::string(head, 4), "RIFF");
    ASSERT_EQ(std::string(head + 8, 4), "AVIX");

    const int64_t chunks = Frames * (FrameBytes + 8);
    const int64_t bytes = moviListBytes(path);
    EXPECT_GE(bytes, chunks);
    EXPECT_LT(bytes, chunks + (1 << 20)); // with the parts' own small indexes
    SynchState state;
    GetStreamsInfo(path, state);
    EXPECT_EQ(state.VideoBytes, bytes);
}
