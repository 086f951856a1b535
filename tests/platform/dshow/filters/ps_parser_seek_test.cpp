// Seeking by time over streams whose byte rate varies (a quiet part, then a busy one), and the scan
// that finds streams beginning late in a title.

#include "platform/dshow/filters/ps_parser.h"

#include "tests/platform/dshow/filters/filter_test_util.h"
#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vobgen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using namespace platform::dshow::filters;
using kes::test::VobAudioKind;
using kes::test::VobSpec;

constexpr int64_t kTicks = 90000;
constexpr int64_t kAc3FrameTicks = 2880; // 1536 samples at 48 kHz
constexpr size_t kAc3Output = 1;
constexpr size_t kLpcmOutput = 2;

// 24 s: 6 s of nearly nothing but audio, then 6 s of busy pictures, twice.
VobSpec variableRate() {
    VobSpec spec;
    spec.seconds = 24.0;
    spec.audio = {{VobAudioKind::Ac3, 0x80, 2, 48000, 16, 192000, 440.0},
                  {VobAudioKind::Lpcm, 0xA1, 1, 48000, 16, 0, 660.0}};
    spec.videoMaker = kes::test::variableRateVideo({{6.0, 20000}, {6.0, 900000}});
    return spec;
}

struct FirstPacket {
    bool found = false;
    int64_t pts = 0;
    std::vector<uint8_t> payload;
};

// The first packet of an output from the parser's position, with its time stamp.
FirstPacket firstPacketOf(ProgramStreamParser& parser, size_t output) {
    ParsedPacket packet;
    for (int i = 0; i < 100000; ++i) {
        const auto status = parser.next(packet);
        if (status == ParseStatus::EndOfStream || status == ParseStatus::Error)
            break;
        if (status == ParseStatus::Packet && packet.output == output && packet.pts)
            return {true, *packet.pts, {packet.payload.begin(), packet.payload.end()}};
    }
    return {};
}

bool startsAt(const std::vector<uint8_t>& whole, size_t offset, const std::vector<uint8_t>& part) {
    return offset + part.size() <= whole.size() && kes::test::matchesAt(whole, offset, part);
}

class ParserSeek : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        set_ = new kes::test::VobSet(kes::test::makeProgramStream(variableRate()));
    }
    static void TearDownTestSuite() { delete set_; }
    static const kes::test::VobSet& set() { return *set_; }
    static inline kes::test::VobSet* set_ = nullptr;
    const int64_t first_ = VobSpec{}.firstPts;
};

TEST_F(ParserSeek, AnAc3SeekStartsAtTheFrameThatHoldsTheTime) {
    MemoryByteSource source(set().bytes);
    ProgramStreamParser parser(source);
    ASSERT_TRUE(parser.open());
    ASSERT_EQ(parser.outputs()[kAc3Output].name, "AC3");
    const auto& ac3 = set().audio[0];
    for (const double seconds : {0.5, 3.7, 8.26, 13.03, 17.5, 21.9}) {
        const int64_t target = first_ + std::llround(seconds * kTicks);
        const auto landed = parser.seekTime(target, kAc3Output);
        ASSERT_TRUE(landed) << seconds;
        EXPECT_LE(*landed, target);
        const auto packet = firstPacketOf(parser, kAc3Output);
        ASSERT_TRUE(packet.found) << seconds;
        EXPECT_LE(packet.pts, target) << seconds;
        EXPECT_LT(target, packet.pts + kAc3FrameTicks) << seconds;
        // The bytes are those of that frame on.
        const auto unit = std::find_if(ac3.units.begin(), ac3.units.end(),
                                       [&](const auto& u) { return u.pts == packet.pts - first_; });
        ASSERT_NE(unit, ac3.units.end()) << seconds;
        EXPECT_TRUE(startsAt(ac3.elementary, unit->offset, packet.payload)) << seconds;
    }
}

TEST_F(ParserSeek, AnLpcmSeekStartsAtTheSampleOfTheTime) {
    MemoryByteSource source(set().bytes);
    ProgramStreamParser parser(source);
    ASSERT_TRUE(parser.open());
    const auto& lpcm = set().audio[1];
    for (const double seconds : {1.01, 6.5, 11.333, 19.0}) {
        const int64_t target = first_ + std::llround(seconds * kTicks);
        ASSERT_TRUE(parser.seekTime(target, kLpcmOutput));
        const auto packet = firstPacketOf(parser, kLpcmOutput);
        ASSERT_TRUE(packet.found);
        const auto sample = static_cast<size_t>((target - first_) * 48000 / kTicks);
        EXPECT_TRUE(startsAt(lpcm.elementary, sample * 2, packet.payload)) << seconds;
        EXPECT_LE(packet.pts, target);
        EXPECT_LE(target - packet.pts, 2) << seconds; // one sample: 1.875 ticks
    }
}

// A VOB of FFmpeg's muxer, whose LPCM packets all say their audio starts at pointer 4: the pointer
// counts the three LPCM header bytes as a DVD's does. After each seek the parser's samples must be
// FFmpeg's own decode, run for run; counted from the wrong byte they are full-scale noise. FFmpeg
// stamps each packet with the time of a frame of its encoder that begins inside it, so the place found
// may lie up to one such frame (under 600 samples) before the stamp.
TEST(ParserSeekForeign, AnLpcmSeekInFfmpegsVobGivesTheSamplesFfmpegDecodes) {
    kes::test::TempDir dir;
    const std::string path = dir.file("lpcm.vob");
    std::string error;
    constexpr int kRate = 48000;
    constexpr int64_t kEncoderFrame = 600;
    ASSERT_TRUE(kes::test::writeLavfLpcmVob(path, 3.0, kRate, 2, 16, &error)) << error;
    const auto reference = kes::test::probeLavf(path, true);
    const auto* decoded = reference.first("audio");
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->codec, "pcm_dvd");
    std::vector<int> pcm;
    for (const double v : decoded->pcm)
        pcm.push_back(static_cast<int>(std::lround(v * 32768.0)));
    const std::string text = kes::test::readBytes(path);
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    MemoryByteSource source(bytes);
    ProgramStreamParser parser(source);
    ASSERT_TRUE(parser.open());
    ASSERT_EQ(parser.outputs().size(), 2u); // the video output is always there
    constexpr size_t kLpcm = 1;
    ASSERT_TRUE(parser.seekTime(0, kLpcm));
    const auto start = firstPacketOf(parser, kLpcm);
    ASSERT_TRUE(start.found);
    constexpr size_t kRun = 64; // interleaved samples compared
    for (const double seconds : {0.25, 1.0, 1.777, 2.5}) {
        const int64_t target = start.pts + std::llround(seconds * kTicks);
        ASSERT_TRUE(parser.seekTime(target, kLpcm)) << seconds;
        const auto packet = firstPacketOf(parser, kLpcm);
        ASSERT_TRUE(packet.found) << seconds;
        ASSERT_GE(packet.payload.size(), kRun * 2) << seconds;
        EXPECT_LE(target - packet.pts, 2) << seconds;
        std::vector<int> run;
        for (size_t i = 0; i < kRun; ++i)
            run.push_back(static_cast<int16_t>(packet.payload[2 * i] << 8 | packet.payload[2 * i + 1]));
        const auto found = std::search(pcm.begin(), pcm.end(), run.begin(), run.end());
        ASSERT_NE(found, pcm.end()) << seconds << ": not FFmpeg's samples";
        const int64_t frame = (found - pcm.begin()) / 2;
        EXPECT_EQ((found - pcm.begin()) % 2, 0) << seconds << ": channels swapped";
        const int64_t stamped = (packet.pts - start.pts) * kRate / kTicks;
        EXPECT_LE(frame, stamped) << seconds;
        EXPECT_GT(frame, stamped - kEncoderFrame) << seconds;
    }
}

TEST_F(ParserSeek, TheLinearGuessIsFarOffOnThisStreamAndEndsAreHeld) {
    MemoryByteSource source(set().bytes);
    ProgramStreamParser parser(source);
    ASSERT_TRUE(parser.open());
    const auto duration = parser.durationPts();
    ASSERT_TRUE(duration);
    // What the time in proportion to the bytes gives at 9 s: seconds away.
    const auto length = static_cast<double>(set().bytes.size());
    parser.seek(static_cast<int64_t>(length * 9.0 * kTicks / static_cast<double>(*duration)));
    const auto guessed = firstPacketOf(parser, kAc3Output);
    ASSERT_TRUE(guessed.found);
    EXPECT_GT(std::abs(guessed.pts - (first_ + 9 * kTicks)), kTicks);

    // Before the first stamp and past the last one: the first and the last packets.
    ASSERT_TRUE(parser.seekTime(0, kAc3Output));
    EXPECT_EQ(firstPacketOf(parser, kAc3Output).pts, first_);
    ASSERT_TRUE(parser.seekTime(first_ + 100 * kTicks, kAc3Output));
    const auto last = firstPacketOf(parser, kAc3Output);
    ASSERT_TRUE(last.found);
    EXPECT_GT(last.pts, first_ + 23 * kTicks);
    // A plain byte seek afterwards trims nothing: the packet comes whole.
    parser.seek(0);
    EXPECT_TRUE(startsAt(set().audio[0].elementary, 0, firstPacketOf(parser, kAc3Output).payload));
}

TEST(ParserSeekStamps, StampsThatRestartOrAreMissingDoNotHang) {
    // Two parts whose stamps both begin at the same time: a time names a pack in each, and the seek
    // lands on one of them.
    VobSpec part;
    part.seconds = 4.0;
    part.audio = {{VobAudioKind::Ac3, 0x80, 2, 48000, 16, 192000, 440.0}};
    auto bytes = kes::test::makeProgramStream(part).bytes;
    const auto second = kes::test::makeProgramStream(part).bytes;
    bytes.insert(bytes.end(), second.begin(), second.end());
    MemoryByteSource source(bytes);
    ProgramStreamParser parser(source);
    ASSERT_TRUE(parser.open());
    for (const double seconds : {1.0, 3.0}) {
        const int64_t target = part.firstPts + std::llround(seconds * kTicks);
        if (!parser.seekTime(target, kAc3Output))
            continue;
        const auto packet = firstPacketOf(parser, kAc3Output);
        ASSERT_TRUE(packet.found);
        EXPECT_LE(packet.pts, target);
        EXPECT_LT(target, packet.pts + kAc3FrameTicks);
    }

    // Without a length, or for an output that does not exist, nothing moves.
    class Unsized : public ByteSource {
    public:
        explicit Unsized(MemoryByteSource& inner) : inner_(inner) {}
        SourceRead read(int64_t offset, std::span<uint8_t> into) override {
            return inner_.read(offset, into);
        }

    private:
        MemoryByteSource& inner_;
    } unsized(source);
    ProgramStreamParser blind(unsized);
    ASSERT_TRUE(blind.open());
    EXPECT_FALSE(blind.seekTime(part.firstPts + kTicks, kAc3Output));
    EXPECT_EQ(firstPacketOf(blind, kAc3Output).pts, part.firstPts);
    EXPECT_FALSE(parser.seekTime(part.firstPts, 7));
}

// A title whose first part holds pictures and one audio stream only, over 8 MiB, before the second
// stream begins.
std::vector<uint8_t> lateSecondStream(double leadSeconds) {
    VobSpec lead;
    lead.seconds = leadSeconds;
    lead.videoBytesPerSecond = 1'000'000;
    lead.audio = {{VobAudioKind::Ac3, 0x80, 2, 48000, 16, 192000, 440.0}};
    VobSpec rest = lead;
    rest.seconds = 1.0;
    rest.firstPts = lead.firstPts + static_cast<int64_t>(leadSeconds * kTicks);
    rest.audio.push_back({VobAudioKind::Ac3, 0x81, 2, 48000, 16, 192000, 880.0});
    auto bytes = kes::test::makeProgramStream(lead).bytes;
    const auto after = kes::test::makeProgramStream(rest).bytes;
    bytes.insert(bytes.end(), after.begin(), after.end());
    return bytes;
}

TEST(ParserScan, AStreamThatBeginsAfterTheFirstEightMebibytesIsFound) {
    const auto bytes = lateSecondStream(10.0);
    ASSERT_GT(bytes.size(), size_t{9} * 1024 * 1024);
    MemoryByteSource source(bytes);
    ProgramStreamParser parser(source);
    ASSERT_TRUE(parser.open());
    ASSERT_EQ(parser.outputs().size(), 3u);
    EXPECT_EQ(parser.outputs()[2].id, 0x81);
    EXPECT_EQ(parser.outputs()[2].firstPts, VobSpec{}.firstPts + 10 * kTicks);

    // The scan is bounded by the stream's time: a stream that begins later than that stays unseen,
    // and so it does within the bytes alone or without time to read on.
    ProgramStreamParser shortTime(source, {.scanSeconds = 5});
    ASSERT_TRUE(shortTime.open());
    EXPECT_EQ(shortTime.outputs().size(), 2u);
    ProgramStreamParser shortBytes(source, {.scanMaxBytes = 8 * 1024 * 1024});
    ASSERT_TRUE(shortBytes.open());
    EXPECT_EQ(shortBytes.outputs().size(), 2u);
    ProgramStreamParser noTime(source, {.scanBudget = std::chrono::milliseconds(0)});
    ASSERT_TRUE(noTime.open());
    EXPECT_EQ(noTime.outputs().size(), 2u);
}

} // namespace
