// The window-free parts of the rip's audio steps: the decoders' command lines, the join of the AC3
// pieces and the 44.1 kHz relabelling of a WAV header.
#include "kes/ac3_join.h"
#include "kes/rip_audio_lines.h"
#include "kes/wav_rate_patch.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::writeBytes;

TEST(RipAudioLines, AzidPathLinesQuoteEveryPath) {
    EXPECT_EQ(bbdmuxLine("/p/extern/", "/dvd/VTS_01_2.VOB", "/w a/", 2, "0x81"),
              "/p/extern/bbdmux.exe \"/dvd/VTS_01_2.VOB\" 0xbd \"/w a/audio2.ac3\" 0x81");
    EXPECT_EQ(azidLine("/p/extern/", "/w a/", "/w a/one.wav", 1),
              "/p/extern/azid.exe -c normal -L -3dB \"/w a/audio.ac3\" \"/w a/one.wav\"");
    // The second stream is decoded at maximum gain.
    EXPECT_EQ(azidLine("/p/extern/", "/w/", "/w/two.wav", 2),
              "/p/extern/azid.exe -c normal -g max -L -3dB \"/w/audio.ac3\" \"/w/two.wav\"");
}

TEST(RipAudioLines, TonegrabGetsFiveParametersWithQuotedPaths) {
    EXPECT_EQ(tonegrabLine("/p/extern/", "/my dvd/VTS_01_1.VOB", "/w a/s.wav", "0x82", "48", false),
              "/p/extern/Tonegrab.exe \"/my dvd/VTS_01_1.VOB\" \"/w a/s.wav\" 2 48 X ");
    EXPECT_EQ(tonegrabLine("/p/extern/", "/d/V.VOB", "/w/s.wav", "0x80", "44.1", true),
              "/p/extern/Tonegrab.exe \"/d/V.VOB\" \"/w/s.wav\" 0 44.1 1 ");
    // A sub-stream text too short for a digit leaves the parameter empty.
    EXPECT_EQ(tonegrabLine("/e/", "/d/V.VOB", "/w/s.wav", "", "48", false),
              "/e/Tonegrab.exe \"/d/V.VOB\" \"/w/s.wav\"  48 X ");
}

class Ac3JoinTest : public ::testing::Test {
protected:
    struct Recorder : Ac3JoinSink {
        std::vector<std::pair<std::string, int64_t>> pieces;
        std::vector<int64_t> reads;
        int pumps = 0;
        void pieceStarted(const std::string& name, int64_t size) override { pieces.emplace_back(name, size); }
        void blockRead(int64_t bytes) override { reads.push_back(bytes); }
        void processMessages() override { ++pumps; }
    };

    std::string folder() const { return dir.str() + "/"; }
    std::string piece(int i, size_t size, char fill) {
        const std::string bytes(size, fill);
        writeBytes(dir.path() / ac3PieceName(i), bytes);
        return bytes;
    }
    std::string joined() const { return readBytes(dir.path() / "audio.ac3"); }

    test::TempDir dir{"kes-join"};
    Recorder sink;
};

TEST_F(Ac3JoinTest, OnePieceIsJoinedAndDeleted) {
    const std::string bytes = piece(1, 5000, 'a');
    const Ac3JoinResult result = joinAc3Pieces(folder(), 1, sink);
    EXPECT_EQ(result.status, Ac3JoinStatus::Joined);
    EXPECT_EQ(result.bytes, 5000);
    EXPECT_EQ(joined(), bytes);
    EXPECT_FALSE(fs::exists(dir.path() / "audio1.ac3"));
    EXPECT_EQ(sink.pieces, (std::vector<std::pair<std::string, int64_t>>{{"audio1.ac3", 5000}}));
    EXPECT_EQ(sink.reads, std::vector<int64_t>{5000});
    EXPECT_EQ(sink.pumps, 1);
}

TEST_F(Ac3JoinTest, PieceOfExactlyOneMebibyteEndsWithAnEmptyRead) {
    const std::string bytes = piece(1, Ac3JoinBlockBytes, 'x');
    ASSERT_EQ(joinAc3Pieces(folder(), 1, sink).status, Ac3JoinStatus::Joined);
    EXPECT_EQ(sink.reads, (std::vector<int64_t>{1048576, 0}));
    EXPECT_EQ(joined(), bytes);
}

TEST_F(Ac3JoinTest, SeveralPiecesAreJoinedInOrder) {
    const std::string a = piece(1, Ac3JoinBlockBytes + 10, 'a');
    const std::string b = piece(2, 0, 'b');
    const std::string c = piece(3, 3, 'c');
    writeBytes(dir.path() / "audio.ac3", "older");
    const Ac3JoinResult result = joinAc3Pieces(folder(), 3, sink);
    EXPECT_EQ(result.status, Ac3JoinStatus::Joined);
    EXPECT_EQ(joined(), a + b + c);
    EXPECT_EQ(sink.reads, (std::vector<int64_t>{1048576, 10, 0, 3}));
    EXPECT_EQ(sink.pieces.size(), 3U);
    EXPECT_EQ(sink.pieces[1], (std::pair<std::string, int64_t>{"audio2.ac3", 0}));
    for (int i = 1; i <= 3; ++i)
        EXPECT_FALSE(fs::exists(dir.path() / ac3PieceName(i)));
}

TEST_F(Ac3JoinTest, MissingPieceLosesNothing) {
    piece(1, 100, 'a');
    piece(3, 100, 'c');
    writeBytes(dir.path() / "audio.ac3", "older");
    const Ac3JoinResult result = joinAc3Pieces(folder(), 3, sink);
    EXPECT_EQ(result.status, Ac3JoinStatus::MissingPiece);
    EXPECT_EQ(result.path, folder() + "audio2.ac3");
    // The pieces stay, and an older joined file is not replaced by a partial one.
    EXPECT_TRUE(fs::exists(dir.path() / "audio1.ac3"));
    EXPECT_TRUE(fs::exists(dir.path() / "audio3.ac3"));
    EXPECT_EQ(joined(), "older");
    // No temporary file is left behind either.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

TEST_F(Ac3JoinTest, JoinIntoMissingFolderFailsToWrite) {
    const Ac3JoinResult result = joinAc3Pieces(folder() + "none/", 1, sink);
    EXPECT_EQ(result.status, Ac3JoinStatus::WriteFailed);
    EXPECT_EQ(result.path, folder() + "none/audio.ac3");
}

// A canonical 44-byte header of a PCM file labelled with the given rate, and some samples.
std::string wavFile(uint32_t rate, uint16_t channels, uint16_t bits, const std::string& samples) {
    auto le32 = [](uint32_t v) {
        return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF),
                           static_cast<char>(v >> 16 & 0xFF), static_cast<char>(v >> 24 & 0xFF)};
    };
    auto le16 = [](uint16_t v) {
        return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    };
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    return "RIFF" + le32(static_cast<uint32_t>(36 + samples.size())) + "WAVEfmt " + le32(16) + le16(1) +
           le16(channels) + le32(rate) + le32(rate * align) + le16(align) + le16(bits) + "data" +
           le32(static_cast<uint32_t>(samples.size())) + samples;
}

class WavRatePatchTest : public ::testing::Test {
protected:
    test::TempDir dir{"kes-patch"};
    std::string path = dir.file("s.wav");
};

TEST_F(WavRatePatchTest, OnlyTheRateAndByteRateChange) {
    const std::string before = wavFile(48000, 2, 16, std::string(1000, '\x7F'));
    writeBytes(path, before);
    ASSERT_EQ(patchWavRate(path, Rate44100), WavPatchResult::Patched);
    const std::string after = readBytes(path);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after, wavFile(44100, 2, 16, std::string(1000, '\x7F')));
    for (size_t i = 0; i < before.size(); ++i) {
        if (i < 24 || i > 31) {
            ASSERT_EQ(after[i], before[i]) << "byte " << i;
        }
    }
}

TEST_F(WavRatePatchTest, ByteRateFollowsTheBlockAlign) {
    writeBytes(path, wavFile(48000, 1, 16, "ab"));
    ASSERT_EQ(patchWavRate(path, Rate44100), WavPatchResult::Patched);
    EXPECT_EQ(readBytes(path), wavFile(44100, 1, 16, "ab")); // 88200 bytes per second
}

TEST_F(WavRatePatchTest, MissingOrUnusualFilesAreLeftAlone) {
    EXPECT_EQ(patchWavRate(path, Rate44100), WavPatchResult::Missing);
    EXPECT_FALSE(fs::exists(path));

    // A "LIST" chunk before "fmt ": offsets 24 and 28 hold no rate.
    const std::string list = "RIFF" + std::string("\x40\x00\x00\x00", 4) + "WAVELIST" +
                             std::string("\x10\x00\x00\x00", 4) + std::string(16, 'i') + std::string(20, 'z');
    writeBytes(path, list);
    EXPECT_EQ(patchWavRate(path, Rate44100), WavPatchResult::NotCanonical);
    EXPECT_EQ(readBytes(path), list);

    for (const std::string& bad : {std::string("RIFF"), std::string(44, '\0'),
                                   wavFile(48000, 0, 16, "").replace(32, 2, std::string(2, '\0'))}) {
        writeBytes(path, bad);
        EXPECT_EQ(patchWavRate(path, Rate44100), WavPatchResult::NotCanonical);
        EXPECT_EQ(readBytes(path), bad);
    }
}

} // namespace
} // namespace kes
