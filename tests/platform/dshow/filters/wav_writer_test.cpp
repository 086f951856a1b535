#include "platform/dshow/filters/wav_writer.h"

#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace platform::dshow::filters;

// Positioned writes into memory; can be told to refuse writes from a given one on.
class MemorySink : public WavSink {
public:
    bool write(int64_t offset, std::span<const uint8_t> bytes) override {
        ++writes;
        if (writes > failFrom)
            return false;
        const auto end = static_cast<size_t>(offset) + bytes.size();
        if (data.size() < end)
            data.resize(end);
        std::copy(bytes.begin(), bytes.end(), data.begin() + offset);
        return true;
    }
    std::vector<uint8_t> data;
    int writes = 0;
    int failFrom = 1 << 30;
};

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
std::string tag(const std::vector<uint8_t>& b, size_t at) {
    return std::string(b.begin() + at, b.begin() + at + 4);
}

// FFmpeg's reading of the bytes the writer wrote, as a file.
kes::test::LavfProbe probeBytes(const std::vector<uint8_t>& bytes) {
    kes::test::TempDir dir;
    kes::test::writeBytes(dir.file("out.wav"), std::string(bytes.begin(), bytes.end()));
    return kes::test::probeLavf(dir.file("out.wav"), true);
}

TEST(WavWriter, PcmGetsTheCanonical44ByteHeaderCompletedAtFinish) {
    MemorySink sink;
    WavWriter writer(sink, pcmWaveFormat(48000, 2, 16));
    EXPECT_EQ(writer.headerSize(), 44u);
    ASSERT_TRUE(writer.begin());
    EXPECT_EQ(le32(sink.data, 4), 36u); // empty sizes until the end
    EXPECT_EQ(le32(sink.data, 40), 0u);
    const std::vector<uint8_t> block(1000, 0x11);
    ASSERT_TRUE(writer.append(block));
    ASSERT_TRUE(writer.append(block));
    ASSERT_TRUE(writer.finish());
    const auto& b = sink.data;
    ASSERT_EQ(b.size(), 2044u);
    EXPECT_EQ(tag(b, 0), "RIFF");
    EXPECT_EQ(le32(b, 4), 2036u);
    EXPECT_EQ(tag(b, 8), "WAVE");
    EXPECT_EQ(tag(b, 12), "fmt ");
    EXPECT_EQ(le32(b, 16), 16u);
    EXPECT_EQ(le16(b, 20), 1);
    EXPECT_EQ(le16(b, 22), 2);
    EXPECT_EQ(le32(b, 24), 48000u);
    EXPECT_EQ(le32(b, 28), 192000u);
    EXPECT_EQ(le16(b, 32), 4);
    EXPECT_EQ(le16(b, 34), 16);
    EXPECT_EQ(tag(b, 36), "data");
    EXPECT_EQ(le32(b, 40), 2000u);
    EXPECT_EQ(b[44], 0x11);
    const kes::test::LavfProbe probe = probeBytes(b);
    ASSERT_EQ(probe.format, "wav");
    ASSERT_EQ(probe.streams.size(), 1u);
    const kes::test::LavfStream& stream = probe.streams[0];
    EXPECT_EQ(stream.codec, "pcm_s16le");
    EXPECT_EQ(stream.sampleRate, 48000);
    EXPECT_EQ(stream.channels, 2);
    EXPECT_EQ(stream.samples, 500);
    ASSERT_EQ(stream.pcm.size(), 1000u);
    EXPECT_NEAR(stream.pcm[0], 0x1111 / 32768.0, 1e-6);
    EXPECT_TRUE(probe.warnings.empty()) << probe.warnings[0];
    // A second finish writes nothing more; appends after it are refused.
    const int writes = sink.writes;
    EXPECT_TRUE(writer.finish());
    EXPECT_FALSE(writer.append(block));
    EXPECT_EQ(sink.writes, writes);
}

TEST(WavWriter, OtherFormatsKeepTheirWholeFormatAndOddSizesArePadded) {
    WaveFormat format;
    format.formatTag = 0x2000;
    format.channels = 6;
    format.samplesPerSec = 48000;
    format.avgBytesPerSec = 48000;
    format.blockAlign = 1;
    format.extra = {0xAB};
    MemorySink sink;
    WavWriter writer(sink, format);
    EXPECT_EQ(writer.headerSize(), 12u + 8 + 20 + 8); // 19-byte format padded to 20
    const std::vector<uint8_t> odd(5, 0x22);
    ASSERT_TRUE(writer.append(odd)); // begins by itself
    ASSERT_TRUE(writer.finish());
    const auto& b = sink.data;
    EXPECT_EQ(le32(b, 16), 19u);
    EXPECT_EQ(le16(b, 36), 1); // cbSize
    EXPECT_EQ(b[38], 0xAB);
    EXPECT_EQ(b[39], 0); // format pad
    EXPECT_EQ(tag(b, 40), "data");
    EXPECT_EQ(le32(b, 44), 5u);
    ASSERT_EQ(b.size(), 48u + 6);
    EXPECT_EQ(b.back(), 0); // data pad
    EXPECT_EQ(le32(b, 4), b.size() - 8);
    const kes::test::LavfProbe probe = probeBytes(b);
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_EQ(probe.streams[0].codec, "ac3");
    EXPECT_EQ(probe.streams[0].sampleRate, 48000);
    EXPECT_EQ(probe.streams[0].channels, 6);
}

TEST(WavWriter, FailedWritesAreReportedAndStick) {
    MemorySink sink;
    sink.failFrom = 2;
    WavWriter writer(sink, pcmWaveFormat(44100, 2, 16));
    ASSERT_TRUE(writer.begin());
    const std::vector<uint8_t> block(8, 1);
    EXPECT_TRUE(writer.append(block));
    EXPECT_FALSE(writer.append(block));
    EXPECT_TRUE(writer.failed());
    EXPECT_FALSE(writer.finish());
    EXPECT_EQ(writer.dataSize(), 8u);

    MemorySink empty;
    WavWriter nothing(empty, pcmWaveFormat(48000, 2, 16));
    EXPECT_TRUE(nothing.finish());
    EXPECT_EQ(empty.data.size(), 44u);
    EXPECT_EQ(le32(empty.data, 40), 0u);
}

TEST(WavWriter, SizesBeyondFourGigabytesAreHeldAtTheLargestValue) {
    const auto header = WavWriter::header(pcmWaveFormat(48000, 2, 16), uint64_t{5} << 30);
    EXPECT_EQ(le32(header, 4), 0xFFFFFFFFu);
    EXPECT_EQ(le32(header, 40), 0xFFFFFFFFu);
}

} // namespace
