#include "platform/dshow/filters/audio_decoder.h"

#include "platform/dshow/filters/ps_parser.h"
#include "tests/platform/dshow/filters/ffmpeg_reference.h"
#include "tests/support/vobgen.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace platform::dshow::filters;
using kes::test::ReferenceCodec;
using kes::test::VobAudioKind;
using kes::test::VobAudioStream;

struct Decoded {
    std::vector<int16_t> samples; // interleaved stereo
    std::vector<int64_t> times;   // start time of each chunk
    int64_t errors = 0;
};

void append(Decoded& out, const PcmChunk& chunk) {
    const size_t start = out.samples.size();
    out.samples.resize(start + chunk.bytes.size() / 2);
    std::memcpy(out.samples.data() + start, chunk.bytes.data(), chunk.bytes.size());
    out.times.push_back(chunk.startTime.value_or(-1));
}

// Parses a generated VOB and decodes its first audio output.
Decoded decodeFirstAudio(const kes::test::VobSet& set, const char* max441 = "0") {
    MemoryByteSource source(set.bytes);
    ProgramStreamParser parser(source);
    EXPECT_TRUE(parser.open());
    std::string error;
    auto decoder = AudioDecoder::create(parser.outputs().at(1).format, decoderSettings(max441), error);
    EXPECT_TRUE(decoder) << error;
    Decoded out;
    if (!decoder)
        return out;
    const auto sink = [&](const PcmChunk& chunk) { append(out, chunk); };
    ParsedPacket packet;
    while (parser.next(packet) == ParseStatus::Packet)
        if (packet.output == 1)
            decoder->decode(packet.payload, packet.pts, sink);
    decoder->endOfStream(sink);
    out.errors = decoder->errors();
    return out;
}

kes::test::VobSet oneStream(VobAudioStream stream, double seconds = 0.5) {
    kes::test::VobSpec spec;
    spec.seconds = seconds;
    spec.audio = {stream};
    return kes::test::makeProgramStream(spec);
}

// Largest difference between two sample sequences of equal length.
int maxDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    int worst = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

TEST(AudioDecoder, Ac3AndMpegAudioMatchFfmpegsDirectDecodeOfTheSameFrames) {
    for (const auto& [stream, codec] :
         {std::pair{VobAudioStream{VobAudioKind::Ac3, 0x80, 2, 48000, 16, 192000, 440.0},
                    ReferenceCodec::Ac3},
          std::pair{VobAudioStream{VobAudioKind::Ac3, 0x82, 6, 48000, 16, 384000, 300.0},
                    ReferenceCodec::Ac3},
          std::pair{VobAudioStream{VobAudioKind::Mpeg, 0xC0, 2, 48000, 16, 224000, 440.0},
                    ReferenceCodec::Mpeg}}) {
        const auto set = oneStream(stream);
        for (const int rate : {48000, 44100}) {
            const auto decoded = decodeFirstAudio(set, rate == 44100 ? "1" : "0");
            const auto reference = kes::test::referenceDecode(codec, set.audio[0].frames, rate);
            ASSERT_FALSE(reference.empty());
            EXPECT_EQ(decoded.samples.size(), reference.size()) << stream.channels << " " << rate;
            EXPECT_LE(maxDifference(decoded.samples, reference), 1) << stream.channels << " " << rate;
            EXPECT_EQ(decoded.errors, 0);
        }
    }
}

TEST(AudioDecoder, LpcmAt48kStereoIsTheDiscsSamplesByteSwapped) {
    const auto set = oneStream({VobAudioKind::Lpcm, 0xA0, 2, 48000, 16, 0, 1000.0});
    const auto decoded = decodeFirstAudio(set);
    EXPECT_EQ(decoded.samples, set.audio[0].pcm);
    // FFmpeg's own decode of the same packets agrees.
    std::vector<uint8_t> packet = {0x00, 0x01, 0x80};
    packet.insert(packet.end(), set.audio[0].elementary.begin(), set.audio[0].elementary.end());
    EXPECT_EQ(kes::test::referenceDecode(ReferenceCodec::DvdLpcm, {packet}, 48000), set.audio[0].pcm);
}

TEST(AudioDecoder, LpcmOfOtherLayoutsIsConverted) {
    // 24-bit: the top 16 bits of each sample.
    const auto deep = oneStream({VobAudioKind::Lpcm, 0xA1, 2, 48000, 24, 0, 700.0});
    EXPECT_EQ(decodeFirstAudio(deep).samples, deep.audio[0].pcm);
    // Mono: both channels carry the one.
    const auto mono = oneStream({VobAudioKind::Lpcm, 0xA0, 1, 48000, 16, 0, 700.0});
    const auto decoded = decodeFirstAudio(mono);
    ASSERT_EQ(decoded.samples.size(), 2 * mono.audio[0].pcm.size());
    for (size_t i = 0; i < mono.audio[0].pcm.size(); ++i) {
        ASSERT_EQ(decoded.samples[2 * i], mono.audio[0].pcm[i]);
        ASSERT_EQ(decoded.samples[2 * i + 1], mono.audio[0].pcm[i]);
    }
    // 48 kHz to 44.1 kHz: about the right number of frames.
    const auto resampled = decodeFirstAudio(deep, "1");
    const double expected = static_cast<double>(deep.audio[0].pcm.size()) * 44100.0 / 48000.0;
    EXPECT_NEAR(static_cast<double>(resampled.samples.size()), expected, 200.0);
}

TEST(AudioDecoder, LpcmSplitAnywhereStillComesOutExact) {
    const auto set = oneStream({VobAudioKind::Lpcm, 0xA0, 2, 48000, 16, 0, 1000.0}, 0.1);
    std::string error;
    auto decoder = AudioDecoder::create({StreamKind::Lpcm, {48000, 2, 16}}, {}, error);
    ASSERT_TRUE(decoder);
    Decoded out;
    const auto& bytes = set.audio[0].elementary;
    for (size_t at = 0; at < bytes.size(); at += 777)
        decoder->decode(std::span(bytes).subspan(at, std::min<size_t>(777, bytes.size() - at)), std::nullopt,
                        [&](const PcmChunk& chunk) { append(out, chunk); });
    decoder->endOfStream([&](const PcmChunk& chunk) { append(out, chunk); });
    EXPECT_EQ(out.samples, set.audio[0].pcm);
}

TEST(AudioDecoder, OutputFormatSettingsAndClock) {
    EXPECT_EQ(decoderSettings("1").outputRate, 44100);
    EXPECT_EQ(decoderSettings("0").outputRate, 48000);
    EXPECT_EQ(decoderSettings("").outputRate, 48000);
    std::string error;
    auto decoder = AudioDecoder::create({StreamKind::Ac3, {}}, decoderSettings("1"), error);
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->outputFormat(), pcmWaveFormat(44100, 2, 16));
    EXPECT_EQ(decoder->outputFormat().blockAlign, 4);
    EXPECT_FALSE(AudioDecoder::create({StreamKind::Video, {}}, {}, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(AudioDecoder::create({StreamKind::Lpcm, {22050, 2, 16}}, {}, error));

    // Chunk times count output frames from the first time stamp (18000 = 0.2 s).
    const auto set = oneStream({VobAudioKind::Lpcm, 0xA0, 2, 48000, 16, 0, 1000.0});
    const auto decoded = decodeFirstAudio(set);
    ASSERT_GE(decoded.times.size(), 2u);
    EXPECT_EQ(decoded.times.front(), 2'000'000);
    EXPECT_GT(decoded.times[1], decoded.times[0]);
}

TEST(AudioDecoder, DamagedFramesAreSkippedAndFlushStartsAfresh) {
    const auto set = oneStream({VobAudioKind::Ac3, 0x80, 2, 48000, 16, 192000, 440.0});
    std::string error;
    auto decoder = AudioDecoder::create({StreamKind::Ac3, {}}, {}, error);
    ASSERT_TRUE(decoder);
    Decoded out;
    const auto sink = [&](const PcmChunk& chunk) { append(out, chunk); };
    auto frames = set.audio[0].frames;
    for (size_t i = 3; i < frames.size(); i += 4)
        for (size_t k = 8; k < frames[i].size(); k += 3)
            frames[i][k] ^= 0x5A; // keep the sync word, spoil the rest
    for (const auto& frame : frames)
        decoder->decode(frame, std::nullopt, sink);
    decoder->endOfStream(sink);
    // The AC3 decoder conceals what it cannot decode: every frame still gives its samples.
    EXPECT_EQ(out.samples.size(), kes::test::referenceDecode(ReferenceCodec::Ac3, frames, 48000).size());

    std::vector<uint8_t> noise(5000);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<uint8_t>(i * 131 + 7);
    decoder->flush();
    decoder->decode(noise, 1000, sink);
    decoder->flush(); // nothing of the noise or the frames before it reaches what follows
    Decoded clean;
    for (const auto& frame : set.audio[0].frames)
        decoder->decode(frame, std::nullopt, [&](const PcmChunk& chunk) { append(clean, chunk); });
    decoder->endOfStream([&](const PcmChunk& chunk) { append(clean, chunk); });
    EXPECT_EQ(clean.samples, kes::test::referenceDecode(ReferenceCodec::Ac3, set.audio[0].frames, 48000));
}

} // namespace
