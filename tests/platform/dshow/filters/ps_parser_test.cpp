#include "platform/dshow/filters/ps_parser.h"

#include "tests/platform/dshow/filters/filter_test_util.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vobgen.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace platform::dshow::filters;
using kes::test::VobAudioKind;
using kes::test::VobSpec;

VobSpec fourStreams() {
    VobSpec spec;
    spec.seconds = 0.6;
    spec.audio = {{VobAudioKind::Ac3, 0x81, 2, 48000, 16, 192000, 440.0},
                  {VobAudioKind::Mpeg, 0xC0, 2, 48000, 16, 192000, 550.0},
                  {VobAudioKind::Lpcm, 0xA2, 2, 48000, 16, 0, 660.0},
                  {VobAudioKind::Ac3, 0x80, 2, 48000, 16, 192000, 770.0}};
    return spec;
}

std::vector<std::string> names(const ProgramStreamParser& parser) {
    std::vector<std::string> result;
    for (const auto& output : parser.outputs())
        result.push_back(output.name);
    return result;
}

std::vector<int> ids(const ProgramStreamParser& parser) {
    std::vector<int> result;
    for (const auto& output : parser.outputs())
        result.push_back(output.id);
    return result;
}

TEST(ProgramStreamParser, OutputsFollowDvdStreamNumbersWithTiesByFirstAppearance) {
    const auto set = kes::test::makeProgramStream(fourStreams());
    MemoryByteSource source(set.bytes);
    ProgramStreamParser parser(source);
    ASSERT_TRUE(parser.open()) << parser.error();
    // Stream numbers: 0xC0 -> 0, 0x80 -> 0, 0x81 -> 1, 0xA2 -> 2; 0xC0 appears before 0x80.
    EXPECT_EQ(names(parser), (std::vector<std::string>{"Video", "Audio", "AC3", "AC3", "LPCM"}));
    EXPECT_EQ(ids(parser), (std::vector<int>{0xE0, 0xC0, 0x80, 0x81, 0xA2}));
    EXPECT_EQ(std::string(kParserInputName), "Input");

    // The same streams with 0x80 first in the stream: the tie now goes to the AC3 stream.
    auto spec = fourStreams();
    std::swap(spec.audio[1], spec.audio[3]);
    const auto swapped = kes::test::makeProgramStream(spec);
    MemoryByteSource source2(swapped.bytes);
    ProgramStreamParser parser2(source2);
    ASSERT_TRUE(parser2.open());
    EXPECT_EQ(ids(parser2), (std::vector<int>{0xE0, 0x80, 0xC0, 0x81, 0xA2}));
}

TEST(ProgramStreamParser, VideoOutputExistsWithoutVideoAndAudioFormatsAreKnown) {
    VobSpec spec;
    spec.seconds = 0.3;
    spec.video = false;
    spec.audio = {{VobAudioKind::Lpcm, 0xA1, 2, 48000, 24, 0, 500.0},
                  {VobAudioKind::Lpcm, 0xA0, 1, 48000, 16, 0, 300.0}};
    const auto set = kes::test::makeProgramStream(spec);
    MemoryByteSource source(set.bytes);
    ProgramStreamParser parser(source);
    ASSERT_TRUE(parser.open());
    ASSERT_EQ(names(parser), (std::vector<std::string>{"Video", "LPCM", "LPCM"}));
    EXPECT_EQ(parser.outputs()[1].id, 0xA0);
    EXPECT_EQ(parser.outputs()[1].format.lpcm, (LpcmFormat{48000, 1, 16}));
    EXPECT_EQ(parser.outputs()[2].format.lpcm, (LpcmFormat{48000, 2, 24}));
    EXPECT_EQ(parser.outputs()[1].format.kind, StreamKind::Lpcm);
}

// One damaged packet whose sub-stream id or stream id was hit names a stream that is not there: it is
// not offered beside the real ones.
TEST(ProgramStreamParser, OnePacketOfAnUnknownStreamIsNoStream) {
    VobSpec spec;
    spec.seconds = 0.6;
    spec.audio = {{VobAudioKind::Ac3, 0x80, 2, 48000, 16, 192000, 440.0},
                  {VobAudioKind::Mpeg, 0xC0, 2, 48000, 16, 192000, 550.0}};
    auto set = kes::test::makeProgramStream(spec);
    // The second packet of each audio stream gets another id.
    int privateSeen = 0;
    int mpegSeen = 0;
    for (size_t at = 0; at + 16 < set.bytes.size(); ++at) {
        if (set.bytes[at] != 0 || set.bytes[at + 1] != 0 || set.bytes[at + 2] != 1)
            continue;
        if (set.bytes[at + 3] == 0xBD && ++privateSeen == 2)
            set.bytes[at + 9 + set.bytes[at + 8]] = 0x83;
        if (set.bytes[at + 3] == 0xC0 && ++mpegSeen == 2)
            set.bytes[at + 3] = 0xC5;
    }
    ASSERT_EQ(privateSeen > 2 && mpegSeen > 2, true);
    MemoryByteSource source(set.bytes);
    ProgramStreamParser parser(source);
    ASSERT_TRUE(parser.open());
    EXPECT_EQ(ids(parser), (std::vector<int>{0xE0, 0x80, 0xC0}));
}

TEST(ProgramStreamParser, PayloadsReassembleTheElementaryStreamsWithTheirTimeStamps) {
    const auto spec = fourStreams();
    const auto set = kes::test::makeProgramStream(spec);
    MemoryByteSource source(set.bytes);
    ProgramStreamParser parser(source);
    ASSERT_TRUE(parser.open());
    const auto run = kes::test::runParser(parser);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.end, ParseStatus::EndOfStream);
    EXPECT_FALSE(parser.sawDamage());
    EXPECT_EQ(run.payloads[0], set.video);
    for (size_t i = 1; i < parser.outputs().size(); ++i) {
        const auto& out = parser.outputs()[i];
        const auto& data = *std::find_if(set.audio.begin(), set.audio.end(),
                                         [&](const auto& a) { return a.stream.id == out.id; });
        EXPECT_EQ(run.payloads[i], data.elementary) << out.name << " " << int(out.id);
        ASSERT_FALSE(run.pts[i].empty());
        EXPECT_EQ(run.pts[i].front(), spec.firstPts);
        EXPECT_EQ(out.firstPts, spec.firstPts);
        EXPECT_TRUE(std::is_sorted(run.pts[i].begin(), run.pts[i].end()));
    }
    const auto duration = parser.durationPts();
    ASSERT_TRUE(duration.has_value());
    EXPECT_NEAR(static_cast<double>(*duration), spec.seconds * 90000, 0.1 * 90000);
}

TEST(ProgramStreamParser, ReadsAVobSetSplitOverSeveralFiles) {
    kes::test::TempDir dir;
    auto spec = fourStreams();
    spec.packsPerFile = 40;
    const auto set = kes::test::writeVobSet(dir.path(), spec);
    ASSERT_GT(set.files.size(), 2u);
    EXPECT_EQ(set.files[1].filename(), "VTS_01_2.VOB");
    EXPECT_EQ(set.bytes.size() % kes::test::kVobPackSize, 0u);
    const std::string list = kes::test::readBytes(set.list);
    EXPECT_EQ(list.substr(0, set.files[0].string().size() + 2), set.files[0].string() + "\r\n");

    kes::test::FileSetSource source(set.files);
    ProgramStreamParser parser(source);
    ASSERT_TRUE(parser.open());
    const auto run = kes::test::runParser(parser);
    EXPECT_EQ(run.end, ParseStatus::EndOfStream);
    EXPECT_EQ(run.payloads[1], set.audio[1].elementary); // 0xC0
    // The same VobSpec gives the same bytes.
    EXPECT_EQ(kes::test::makeProgramStream(spec).bytes, set.bytes);
}

TEST(ProgramStreamParser, SeekResumesAtTheNextPackWithFreshDiscontinuities) {
    const auto set = kes::test::makeProgramStream(fourStreams());
    MemoryByteSource source(set.bytes);
    ProgramStreamParser parser(source);
    ASSERT_TRUE(parser.open());
    const int64_t middle = static_cast<int64_t>(set.bytes.size() / 2) + 77;
    parser.seek(middle);
    ParsedPacket packet;
    ASSERT_EQ(parser.next(packet), ParseStatus::Packet);
    EXPECT_GE(packet.position, middle);
    EXPECT_TRUE(packet.discontinuity);
    parser.seek(middle);
    const auto run = kes::test::runParser(parser);
    EXPECT_EQ(run.end, ParseStatus::EndOfStream);
    // What follows a pack boundary is a tail of each elementary stream.
    for (size_t i = 1; i < parser.outputs().size(); ++i) {
        const auto& data = *std::find_if(set.audio.begin(), set.audio.end(), [&](const auto& a) {
            return a.stream.id == parser.outputs()[i].id;
        });
        ASSERT_LT(run.payloads[i].size(), data.elementary.size());
        EXPECT_TRUE(kes::test::matchesAt(data.elementary, data.elementary.size() - run.payloads[i].size(),
                                         run.payloads[i]));
    }
    parser.seek(int64_t{1} << 40); // beyond the end
    EXPECT_EQ(parser.next(packet), ParseStatus::EndOfStream);
}

TEST(ProgramStreamParser, RefusesWhatIsNotAProgramStream) {
    std::vector<uint8_t> noise(300000);
    std::mt19937 random(7);
    for (auto& b : noise)
        b = static_cast<uint8_t>(random());
    MemoryByteSource source(noise);
    ProgramStreamParser parser(source);
    EXPECT_FALSE(parser.open());
    EXPECT_FALSE(parser.error().empty());

    MemoryByteSource empty(std::vector<uint8_t>{});
    ProgramStreamParser none(empty);
    EXPECT_FALSE(none.open());
}

TEST(ProgramStreamParser, TruncatedStreamsEndWithWhatCameBefore) {
    const auto set = kes::test::makeProgramStream(fourStreams());
    for (const size_t cut : {size_t{3}, size_t{2048 + 10}, set.bytes.size() / 3, set.bytes.size() / 3 + 1500,
                             set.bytes.size() - 1}) {
        MemoryByteSource source(std::vector<uint8_t>(set.bytes.begin(), set.bytes.begin() + cut));
        ProgramStreamParser parser(source);
        if (!parser.open())
            continue; // too short to hold a stream at all
        const auto run = kes::test::runParser(parser);
        ASSERT_TRUE(run.finished) << cut;
        EXPECT_EQ(run.end, ParseStatus::EndOfStream) << cut;
        for (size_t i = 1; i < parser.outputs().size(); ++i) {
            const auto& data = *std::find_if(set.audio.begin(), set.audio.end(), [&](const auto& a) {
                return a.stream.id == parser.outputs()[i].id;
            });
            EXPECT_TRUE(kes::test::matchesAt(data.elementary, 0, run.payloads[i])) << cut;
        }
    }
}

// A source whose reads stop short at a given offset, or fail there.
class BrokenSource : public ByteSource {
public:
    BrokenSource(std::vector<uint8_t> bytes, int64_t stopAt, bool fail)
        : inner_(std::move(bytes)), stopAt_(stopAt), fail_(fail) {}
    SourceRead read(int64_t offset, std::span<uint8_t> into) override {
        if (offset >= stopAt_)
            return {0, fail_};
        const auto room = static_cast<size_t>(stopAt_ - offset);
        auto got = inner_.read(offset, into.first(std::min(into.size(), room)));
        got.failed = fail_ && got.count < into.size();
        return got;
    }

private:
    MemoryByteSource inner_;
    int64_t stopAt_;
    bool fail_;
};

TEST(ProgramStreamParser, AShortReadEndsTheStreamAndAFailedReadIsAnError) {
    const auto set = kes::test::makeProgramStream(fourStreams());
    const int64_t stop = static_cast<int64_t>(set.bytes.size() / 2);
    BrokenSource shortSource(set.bytes, stop, false);
    ProgramStreamParser parser(shortSource);
    ASSERT_TRUE(parser.open());
    EXPECT_EQ(kes::test::runParser(parser).end, ParseStatus::EndOfStream);

    BrokenSource failing(set.bytes, stop, true);
    ProgramStreamParser parser2(failing, {.scanLimit = 4096});
    ASSERT_TRUE(parser2.open());
    EXPECT_EQ(kes::test::runParser(parser2).end, ParseStatus::Error);

    BrokenSource failsAtOnce(set.bytes, 0, true);
    ProgramStreamParser parser3(failsAtOnce);
    EXPECT_FALSE(parser3.open());
}

TEST(ProgramStreamParser, LongRunsOfGarbageReturnPendingAndParsingGoesOn) {
    const auto set = kes::test::makeProgramStream(fourStreams());
    const size_t half = (set.packs / 2) * kes::test::kVobPackSize;
    std::vector<uint8_t> bytes(set.bytes.begin(), set.bytes.begin() + static_cast<std::ptrdiff_t>(half));
    bytes.insert(bytes.end(), 3 * 1024 * 1024, 0x00);
    bytes.insert(bytes.end(), set.bytes.begin() + static_cast<std::ptrdiff_t>(half), set.bytes.end());
    MemoryByteSource source(bytes);
    ProgramStreamParser parser(source);
    ASSERT_TRUE(parser.open());
    const auto run = kes::test::runParser(parser);
    EXPECT_EQ(run.end, ParseStatus::EndOfStream);
    EXPECT_GE(run.pendings, 2u);
    EXPECT_TRUE(parser.sawDamage());
    EXPECT_EQ(run.payloads[0], set.video);
}

// Damaged copies of a stream: bytes overwritten, runs zeroed, lengths broken. Every run must end
// cleanly, and what comes out for a stream is never more than the stream had.
TEST(ProgramStreamParser, DamagedStreamsNeverHangOrCrash) {
    auto spec = fourStreams();
    spec.seconds = 0.3;
    const auto set = kes::test::makeProgramStream(spec);
    std::mt19937 random(2024);
    for (int round = 0; round < 150; ++round) {
        auto bytes = set.bytes;
        const int damages = 1 + round % 40;
        for (int d = 0; d < damages; ++d) {
            const size_t at = random() % bytes.size();
            switch (random() % 4) {
            case 0:
                bytes[at] = static_cast<uint8_t>(random());
                break;
            case 1: // a PES length or a pack's stuffing count
                for (size_t k = at; k < std::min(bytes.size(), at + 3); ++k)
                    bytes[k] = 0xFF;
                break;
            case 2:
                std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                          bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + 500)), 0);
                break;
            default: // a start code where none belongs
                if (at + 4 < bytes.size()) {
                    bytes[at] = 0;
                    bytes[at + 1] = 0;
                    bytes[at + 2] = 1;
                    bytes[at + 3] = static_cast<uint8_t>(0xB9 + random() % 0x47);
                }
            }
        }
        if (round % 3 == 0)
            bytes.resize(random() % bytes.size());
        MemoryByteSource source(bytes);
        ProgramStreamParser parser(source);
        if (!parser.open())
            continue;
        const auto run = kes::test::runParser(parser, 200000);
        ASSERT_TRUE(run.finished) << round;
        EXPECT_EQ(run.end, ParseStatus::EndOfStream) << round;
        size_t total = 0;
        for (const auto& payload : run.payloads)
            total += payload.size();
        EXPECT_LE(total, bytes.size()) << round;
    }
}

} // namespace
