// The three engines chained as the graph will chain them: a VOB set split over files, the parser's
// first audio output, the decoder and the WAV writer.
#include "platform/dshow/filters/audio_decoder.h"
#include "platform/dshow/filters/ps_parser.h"
#include "platform/dshow/filters/wav_writer.h"
#include "tests/platform/dshow/filters/ffmpeg_reference.h"
#include "tests/platform/dshow/filters/filter_test_util.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vobgen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace {

using namespace platform::dshow::filters;
using kes::test::VobAudioKind;

class FileSink : public WavSink {
public:
    explicit FileSink(const std::filesystem::path& path) : out_(path, std::ios::binary | std::ios::trunc) {}
    bool write(int64_t offset, std::span<const uint8_t> bytes) override {
        out_.seekp(offset);
        out_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out_.flush();
        return static_cast<bool>(out_);
    }

private:
    std::ofstream out_;
};

// Runs the chain over the first audio output; returns the WAV file's bytes.
std::string extract(ByteSource& source, const std::filesystem::path& wav,
                    size_t stopAfterPackets = SIZE_MAX) {
    ProgramStreamParser parser(source);
    EXPECT_TRUE(parser.open());
    std::string error;
    auto decoder = AudioDecoder::create(parser.outputs().at(1).format, {}, error);
    EXPECT_TRUE(decoder);
    FileSink sink(wav);
    WavWriter writer(sink, decoder->outputFormat());
    EXPECT_TRUE(writer.begin());
    const auto toWav = [&](const PcmChunk& chunk) { EXPECT_TRUE(writer.append(chunk.bytes)); };
    ParsedPacket packet;
    for (size_t n = 0; n < stopAfterPackets && parser.next(packet) == ParseStatus::Packet; ++n)
        if (packet.output == 1)
            decoder->decode(packet.payload, packet.pts, toWav);
    if (stopAfterPackets == SIZE_MAX)
        decoder->endOfStream(toWav);
    EXPECT_TRUE(writer.finish());
    return kes::test::readBytes(wav);
}

std::vector<int16_t> samplesOf(const std::string& wav) {
    std::vector<int16_t> samples((wav.size() - 44) / 2);
    std::memcpy(samples.data(), wav.data() + 44, samples.size() * 2);
    return samples;
}

uint32_t le32(const std::string& b, size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

TEST(FilterEngines, Ac3FromASplitVobSetBecomesAWavMatchingFfmpeg) {
    kes::test::TempDir dir;
    kes::test::VobSpec spec;
    spec.seconds = 1.5;
    spec.packsPerFile = 100;
    spec.audio = {{VobAudioKind::Mpeg, 0xC1, 2, 48000, 16, 192000, 330.0},
                  {VobAudioKind::Ac3, 0x80, 2, 48000, 16, 192000, 440.0}};
    const auto set = kes::test::writeVobSet(dir.path(), spec);
    kes::test::FileSetSource source(set.files);
    const std::string wav = extract(source, dir.path() / "out.wav");
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(le32(wav, 40), wav.size() - 44);
    // 0x80 is stream 0, so it is the first audio output although 0xC1 comes first in the stream.
    const auto reference =
        kes::test::referenceDecode(kes::test::ReferenceCodec::Ac3, set.audio[1].frames, 48000);
    const auto samples = samplesOf(wav);
    ASSERT_EQ(samples.size(), reference.size());
    for (size_t i = 0; i < samples.size(); ++i)
        ASSERT_LE(std::abs(samples[i] - reference[i]), 1) << i;
}

TEST(FilterEngines, ATruncatedSetOrAStopLeavesAValidWavOfWhatWasWritten) {
    kes::test::TempDir dir;
    kes::test::VobSpec spec;
    spec.seconds = 1.0;
    spec.audio = {{VobAudioKind::Lpcm, 0xA0, 2, 48000, 16, 0, 440.0}};
    const auto set = kes::test::makeProgramStream(spec);
    MemoryByteSource truncated(std::vector<uint8_t>(set.bytes.begin(), set.bytes.begin() + 100 * 2048 + 999));
    const std::string wav = extract(truncated, dir.path() / "cut.wav");
    EXPECT_EQ(le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(le32(wav, 40), wav.size() - 44);
    const auto samples = samplesOf(wav);
    ASSERT_GT(samples.size(), 0u);
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), set.audio[0].pcm.begin()));

    MemoryByteSource whole(set.bytes);
    const std::string stopped = extract(whole, dir.path() / "stopped.wav", 50);
    EXPECT_EQ(le32(stopped, 40), stopped.size() - 44);
    EXPECT_GT(stopped.size(), 44u);
}

} // namespace
