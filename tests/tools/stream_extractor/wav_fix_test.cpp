// The byte swap of "Fix" and the PCM header patch, on WAV files made here: what is swapped and what
// is left, refused and damaged files, a stop, and the header fields the patch writes.

#include "tools/stream_extractor/lpcm_repack.h"
#include "tools/stream_extractor/pcm_header_fix.h"
#include "tools/stream_extractor/wav_byte_swap.h"

#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace tools::stream_extractor {
namespace {

using kes::test::readBytes;
using kes::test::TempDir;
using kes::test::writeBytes;

void put16(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void put32(std::string& out, uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// A canonical 44-byte header followed by the data.
std::string wavFile(const std::string& data, uint16_t tag = 1, uint16_t channels = 2, uint16_t bits = 16,
                    uint16_t blockAlign = 4) {
    std::string out = "RIFF";
    put32(out, static_cast<uint32_t>(36 + data.size()));
    out += "WAVEfmt ";
    put32(out, 16);
    put16(out, tag);
    put16(out, channels);
    put32(out, 48000);
    put32(out, 48000u * blockAlign);
    put16(out, blockAlign);
    put16(out, bits);
    out += "data";
    put32(out, static_cast<uint32_t>(data.size()));
    return out + data;
}

std::string pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return bytes;
}

std::string pairSwapped(std::string bytes) {
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

size_t fileCount(const std::filesystem::path& folder) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

TEST(WavByteSwap, SwapsEveryPairOfTheDataAcrossBlocksAndTwiceGivesTheFileBack) {
    TempDir dir;
    // More than two blocks, and an odd length: the last byte has no partner.
    const std::string data = pattern(2 * kSwapBlockSize + 1001);
    const std::string original = wavFile(data);
    const auto file = dir.path() / "a.wav";
    writeBytes(file, original);

    int blocks = 0;
    int64_t announced = 0;
    SwapProgress progress;
    progress.started = [&](int64_t size) { announced = size; };
    progress.blockDone = [&](int64_t) { ++blocks; };
    ASSERT_EQ(swapWavBytes(file.string(), progress), SwapStatus::Finished);
    EXPECT_EQ(announced, static_cast<int64_t>(original.size()));
    EXPECT_EQ(blocks, 3);
    const std::string swapped = readBytes(file);
    EXPECT_EQ(swapped.substr(0, 44), original.substr(0, 44));
    EXPECT_EQ(swapped.substr(44), pairSwapped(data));
    EXPECT_EQ(swapped.back(), data.back());

    ASSERT_EQ(swapWavBytes(file.string()), SwapStatus::Finished);
    EXPECT_EQ(readBytes(file), original);
    EXPECT_EQ(fileCount(dir.path()), 1u);
}

TEST(WavByteSwap, ChunksAfterTheDataAreLeftAndAnOpenHeaderRunsToTheEnd) {
    TempDir dir;
    const std::string data = pattern(64);
    const std::string trailer("LIST\x04\0\0\0abcd", 12);
    const auto file = dir.path() / "b.wav";
    writeBytes(file, wavFile(data) + trailer);
    ASSERT_EQ(swapWavBytes(file.string()), SwapStatus::Finished);
    EXPECT_EQ(readBytes(file).substr(44), pairSwapped(data) + trailer);

    // A header whose data size was never written (0) or is larger than the file: up to the end.
    for (const uint32_t stated : {0u, 1000000u}) {
        std::string bytes = wavFile(data);
        bytes.replace(40, 4, std::string(reinterpret_cast<const char*>(&stated), 4));
        writeBytes(file, bytes);
        ASSERT_EQ(swapWavBytes(file.string()), SwapStatus::Finished);
        EXPECT_EQ(readBytes(file).substr(44), pairSwapped(data)) << stated;
    }
}

TEST(WavByteSwap, RefusedFilesAreLeftAsTheyWere) {
    TempDir dir;
    const auto file = dir.path() / "c.wav";

    // The "data" tag beyond byte 99 is not found.
    std::string late = wavFile(pattern(200));
    late.replace(36, 4, "junk");
    late.replace(96, 4, "data");
    writeBytes(file, late);
    EXPECT_EQ(swapWavBytes(file.string()), SwapStatus::InvalidHeader);
    EXPECT_EQ(readBytes(file), late);

    // The tag may still start at byte 95.
    std::string edge = late;
    edge.replace(95, 4, "data");
    writeBytes(file, edge);
    EXPECT_EQ(swapWavBytes(file.string()), SwapStatus::Finished);

    // Floating-point samples (format tag 3) are not swapped.
    const std::string floats = wavFile(pattern(40), 3);
    writeBytes(file, floats);
    EXPECT_EQ(swapWavBytes(file.string()), SwapStatus::NotPcm);
    EXPECT_EQ(readBytes(file), floats);

    // Too short to hold a format tag, an empty file, and no file at all.
    writeBytes(file, "data1234");
    EXPECT_EQ(swapWavBytes(file.string()), SwapStatus::NotPcm);
    writeBytes(file, "");
    EXPECT_EQ(swapWavBytes(file.string()), SwapStatus::InvalidHeader);
    EXPECT_EQ(swapWavBytes((dir.path() / "none.wav").string()), SwapStatus::CannotOpen);
    EXPECT_EQ(fileCount(dir.path()), 1u);
}

TEST(WavByteSwap, HeaderOnlyAndStopLeaveTheFileUntouched) {
    TempDir dir;
    const auto file = dir.path() / "d.wav";
    const std::string empty = wavFile("");
    writeBytes(file, empty);
    EXPECT_EQ(swapWavBytes(file.string()), SwapStatus::Finished);
    EXPECT_EQ(readBytes(file), empty);

    const std::string original = wavFile(pattern(3 * kSwapBlockSize));
    writeBytes(file, original);
    int blocks = 0;
    SwapProgress progress;
    progress.blockDone = [&](int64_t) { ++blocks; };
    progress.stopRequested = [&] { return blocks == 2; };
    EXPECT_EQ(swapWavBytes(file.string(), progress), SwapStatus::UserBreak);
    EXPECT_EQ(blocks, 2);
    EXPECT_EQ(readBytes(file), original);
    EXPECT_EQ(fileCount(dir.path()), 1u);
}

TEST(PcmHeaderFix, WritesThePcmTagAndTheFrameAlignment) {
    TempDir dir;
    const auto file = dir.path() / "e.wav";
    const std::string data = pattern(32);

    // Bytes 20 and 32 become 1 and 4 for 16-bit stereo; nothing else changes.
    std::string wrong = wavFile(data, 0xFFFE, 2, 16, 0);
    writeBytes(file, wrong);
    ASSERT_EQ(setPcmHeader(file.string()), PcmHeaderStatus::Patched);
    std::string expected = wrong;
    expected[20] = 1;
    expected[21] = 0;
    expected[32] = 4;
    EXPECT_EQ(readBytes(file), expected);

    // The alignment follows the header's own layout.
    writeBytes(file, wavFile(data, 1, 1, 16, 4));
    ASSERT_EQ(setPcmHeader(file.string()), PcmHeaderStatus::Patched);
    EXPECT_EQ(readBytes(file)[32], 2);
    writeBytes(file, wavFile(data, 1, 2, 24, 4));
    ASSERT_EQ(setPcmHeader(file.string()), PcmHeaderStatus::Patched);
    EXPECT_EQ(readBytes(file)[32], 6);
}

// A DVD's LPCM written as it came (big-endian samples under a header that names no PCM layout): the
// header patch and the swap make a file that FFmpeg reads as the intended 16-bit stereo samples.
TEST(PcmHeaderFix, PatchAndSwapGiveAFileOtherReadersTake) {
    TempDir dir;
    const auto file = dir.path() / "lpcm.wav";
    std::vector<int16_t> values;
    std::string bigEndian;
    for (int i = 0; i < 960; ++i) {
        const auto v = static_cast<int16_t>(std::lround(12000 * std::sin(i * 0.05)));
        values.push_back(v);
        bigEndian.push_back(static_cast<char>((static_cast<uint16_t>(v) >> 8) & 0xFF));
        bigEndian.push_back(static_cast<char>(static_cast<uint16_t>(v) & 0xFF));
    }
    writeBytes(file, wavFile(bigEndian, 0xFFFE, 2, 16, 0));
    ASSERT_EQ(setPcmHeader(file.string()), PcmHeaderStatus::Patched);
    ASSERT_EQ(swapWavBytes(file.string()), SwapStatus::Finished);
    const kes::test::LavfProbe probe = kes::test::probeLavf(file.string(), true);
    ASSERT_EQ(probe.format, "wav");
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_EQ(probe.streams[0].codec, "pcm_s16le");
    EXPECT_EQ(probe.streams[0].sampleRate, 48000);
    EXPECT_EQ(probe.streams[0].channels, 2);
    ASSERT_EQ(probe.streams[0].pcm.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i)
        ASSERT_EQ(std::lround(probe.streams[0].pcm[i] * 32768.0), values[i]) << i;
}

TEST(PcmHeaderFix, LeavesFilesThatAreNotCanonicalWavs) {
    TempDir dir;
    const auto file = dir.path() / "f.wav";
    const std::string notRiff = "RIFX" + wavFile(pattern(8)).substr(4);
    const std::string shortHeader = wavFile("").substr(0, 40);
    std::string smallFormat = wavFile(pattern(8));
    smallFormat[16] = 14;
    for (const auto& bytes : {notRiff, shortHeader, smallFormat, std::string(60, 'x')}) {
        writeBytes(file, bytes);
        EXPECT_EQ(setPcmHeader(file.string()), PcmHeaderStatus::NotAWav);
        EXPECT_EQ(readBytes(file), bytes);
    }
    EXPECT_EQ(setPcmHeader((dir.path() / "none.wav").string()), PcmHeaderStatus::NotAWav);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "none.wav"));
}

// The disc's layout of 20 and 24-bit samples, packed here: per group of four samples (two for mono)
// the top 16 bits of each big-endian, then the low bits (a byte each, or a nibble each, high first).
std::string dvdLayout(const std::vector<int32_t>& samples, int bits, int channels) {
    const size_t group = channels == 1 ? 2 : 4;
    std::string out;
    for (size_t first = 0; first < samples.size(); first += group) {
        for (size_t i = first; i < first + group; ++i) {
            const auto top = static_cast<uint16_t>(samples[i] >> (bits - 16));
            out.push_back(static_cast<char>(top >> 8));
            out.push_back(static_cast<char>(top & 0xFF));
        }
        for (size_t i = first; i < first + group; i += bits == 24 ? 1 : 2) {
            if (bits == 24)
                out.push_back(static_cast<char>(samples[i] & 0xFF));
            else
                out.push_back(static_cast<char>((samples[i] & 0xF) << 4 | (samples[i + 1] & 0xF)));
        }
    }
    return out;
}

TEST(LpcmRepack, TwentyAndTwentyFourBitSamplesBecomePcmThatFfmpegReads) {
    TempDir dir;
    for (const int bits : {20, 24}) {
        for (const int channels : {1, 2, 6}) {
            SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(channels) + " channels");
            std::vector<int32_t> samples;
            const int32_t top = (1 << (bits - 1)) - 1;
            for (int i = 0; i < 2 * channels * 10; ++i)
                samples.push_back(
                    static_cast<int32_t>((i * 2654435761u) % (2u * static_cast<uint32_t>(top))) - top);
            const auto blockAlign = static_cast<uint16_t>(2 * channels * bits / 8 / 2);
            const std::string path = dir.file("lpcm.wav");
            writeBytes(path, wavFile(dvdLayout(samples, bits, channels), 1, static_cast<uint16_t>(channels),
                                     static_cast<uint16_t>(bits), blockAlign));
            ASSERT_EQ(repackDvdLpcm(path), RepackStatus::Repacked);
            const kes::test::LavfProbe probe = kes::test::probeLavf(path, true);
            ASSERT_EQ(probe.streams.size(), 1u);
            EXPECT_EQ(probe.streams[0].codec, "pcm_s24le");
            EXPECT_EQ(probe.streams[0].channels, channels);
            ASSERT_EQ(probe.streams[0].pcm.size(), samples.size());
            for (size_t i = 0; i < samples.size(); ++i)
                ASSERT_EQ(std::lround(probe.streams[0].pcm[i] * 8388608.0), samples[i] << (24 - bits)) << i;
        }
    }
    // 16-bit files are left to the byte swap; a file of no chunks is left as it is.
    writeBytes(dir.file("s16.wav"), wavFile(std::string(8, '\1')));
    EXPECT_EQ(repackDvdLpcm(dir.file("s16.wav")), RepackStatus::NotNeeded);
    writeBytes(dir.file("junk.wav"), "junk");
    EXPECT_EQ(repackDvdLpcm(dir.file("junk.wav")), RepackStatus::NotAWav);
    EXPECT_EQ(readBytes(dir.file("junk.wav")), "junk");
}

} // namespace
} // namespace tools::stream_extractor
