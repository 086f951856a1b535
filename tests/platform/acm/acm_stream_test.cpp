#include "platform/acm/acm_stream.h"
#include "platform/acm/format_list.h"
#include "platform/acm/wma_encoder.h"

#include "tests/platform/acm/audio_test_util.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace platform::acm;
using kes::test::makeTone;

namespace {

// Runs all of input through a stream in pieces of `piece` source bytes, carrying what it leaves,
// then flushes. Returns the output.
std::string convertAll(AcmStream& stream, const std::string& input, uint32_t piece, uint32_t dstBytes) {
    std::string out;
    std::string carry;
    std::vector<uint8_t> dst(dstBytes);
    size_t at = 0;
    bool end = false;
    while (!end) {
        const size_t take = std::min<size_t>(piece, input.size() - at);
        carry += input.substr(at, take);
        at += take;
        end = at == input.size();
        StreamHeader h;
        h.pbSrc = reinterpret_cast<const uint8_t*>(carry.data());
        h.cbSrcLength = static_cast<uint32_t>(carry.size());
        h.pbDst = dst.data();
        h.cbDstLength = dstBytes;
        EXPECT_EQ(stream.prepareHeader(h), 0);
        EXPECT_EQ(stream.convert(h, ACM_STREAMCONVERTF_BLOCKALIGN), 0);
        out.append(reinterpret_cast<const char*>(dst.data()), h.cbDstLengthUsed);
        carry.erase(0, h.cbSrcLengthUsed);
        EXPECT_EQ(stream.unprepareHeader(h), 0);
    }
    for (int guard = 0; guard < 10000; ++guard) {
        StreamHeader h;
        h.pbSrc = reinterpret_cast<const uint8_t*>(carry.data());
        h.cbSrcLength = static_cast<uint32_t>(carry.size());
        h.pbDst = dst.data();
        h.cbDstLength = dstBytes;
        stream.prepareHeader(h);
        EXPECT_EQ(stream.convert(h, ACM_STREAMCONVERTF_END), 0);
        carry.erase(0, h.cbSrcLengthUsed);
        if (h.cbDstLengthUsed == 0)
            break;
        out.append(reinterpret_cast<const char*>(dst.data()), h.cbDstLengthUsed);
    }
    return out;
}

WaveFormat wma44() {
    return wmaFormat(44100, 2, 64000);
}

int16_t sampleAt(const std::string& pcm, size_t index) {
    int16_t v = 0;
    std::memcpy(&v, pcm.data() + index * 2, 2);
    return v;
}

} // namespace

TEST(AcmStream, OpensOnlyWhatADriverCanDo) {
    std::unique_ptr<AcmStream> s;
    EXPECT_EQ(AcmStream::open(s, pcmFormat(44100), pcmFormat(48000, 1, 8)), 0);
    EXPECT_EQ(AcmStream::open(s, pcmFormat(44100), wma44()), 0);
    // WMA needs the source at its own rate; nothing decodes WMA.
    EXPECT_EQ(AcmStream::open(s, pcmFormat(48000), wma44()), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(AcmStream::open(s, wma44(), pcmFormat(44100)), ACMERR_NOTPOSSIBLE);
    WaveFormat bad = pcmFormat(44100);
    bad.nBlockAlign = 0;
    EXPECT_EQ(AcmStream::open(s, bad, pcmFormat(44100)), ACMERR_NOTPOSSIBLE);
    EXPECT_FALSE(s);
}

TEST(AcmStream, HeaderAndFlagChecks) {
    std::unique_ptr<AcmStream> s;
    ASSERT_EQ(AcmStream::open(s, pcmFormat(44100), pcmFormat(44100)), 0);
    uint8_t src[8] = {}, dst[8] = {};
    StreamHeader h{src, 8, 0, dst, 8, 0, false};
    EXPECT_EQ(s->convert(h, 0), ACMERR_UNPREPARED);
    ASSERT_EQ(s->prepareHeader(h), 0);
    EXPECT_EQ(s->convert(h, 0x1000), MMSYSERR_INVALFLAG);
    EXPECT_EQ(s->unprepareHeader(h), 0);
    EXPECT_EQ(s->unprepareHeader(h), ACMERR_UNPREPARED);
}

TEST(AcmStream, TakesWholeBlocksOnly) {
    std::unique_ptr<AcmStream> s;
    ASSERT_EQ(AcmStream::open(s, pcmFormat(44100), pcmFormat(44100)), 0);
    const std::string in = makeTone(44100, 2, 100, 440) + "xyz"; // 3 bytes of an unfinished block
    std::vector<uint8_t> dst(4096);
    StreamHeader h{reinterpret_cast<const uint8_t*>(in.data()),
                   static_cast<uint32_t>(in.size()),
                   0,
                   dst.data(),
                   4096,
                   0,
                   false};
    ASSERT_EQ(s->prepareHeader(h), 0);
    ASSERT_EQ(s->convert(h, ACM_STREAMCONVERTF_BLOCKALIGN), 0);
    EXPECT_EQ(h.cbSrcLengthUsed, 400u);
    EXPECT_EQ(h.cbDstLengthUsed, 400u);
    EXPECT_EQ(std::memcmp(dst.data(), in.data(), 400), 0);
}

TEST(PcmConverter, ChannelsAndSampleSizesWithoutLevelChange) {
    std::unique_ptr<AcmStream> s;
    // 8-bit mono -> 16-bit stereo: each sample copied to both channels.
    ASSERT_EQ(AcmStream::open(s, pcmFormat(22050, 1, 8), pcmFormat(22050, 2, 16)), 0);
    const std::string in = {'\x80', '\xC0', '\x40'};
    const std::string out = convertAll(*s, in, 3, 64);
    ASSERT_EQ(out.size(), 12u);
    EXPECT_EQ(sampleAt(out, 0), 0);
    EXPECT_EQ(sampleAt(out, 2), 16384);
    EXPECT_EQ(sampleAt(out, 3), 16384);
    EXPECT_EQ(sampleAt(out, 4), -16384);
    // Stereo -> mono: the mean.
    ASSERT_EQ(AcmStream::open(s, pcmFormat(22050, 2, 16), pcmFormat(22050, 1, 16)), 0);
    std::string pair(4, '\0');
    const int16_t l = 1000, r = 3000;
    std::memcpy(pair.data(), &l, 2);
    std::memcpy(pair.data() + 2, &r, 2);
    const std::string mono = convertAll(*s, pair + pair, 8, 64);
    ASSERT_EQ(mono.size(), 4u);
    EXPECT_EQ(sampleAt(mono, 0), 2000);
}

TEST(PcmConverter, RateChangeKeepsLengthAndTone) {
    std::unique_ptr<AcmStream> s;
    ASSERT_EQ(AcmStream::open(s, pcmFormat(48000), pcmFormat(44100)), 0);
    uint32_t srcBytes = 0;
    ASSERT_EQ(s->sourceSizeFor(37200, srcBytes), 0);
    EXPECT_EQ(srcBytes, 9300u * 48000 / 44100 * 4);
    const std::string in = makeTone(48000, 2, 48000, 1000);
    const std::string out = convertAll(*s, in, 7777, 37200); // odd pieces: carries partial blocks
    EXPECT_NEAR(static_cast<double>(out.size() / 4), 44100.0, 2.0);
    std::vector<float> left;
    for (size_t i = 0; i < out.size() / 4; ++i)
        left.push_back(sampleAt(out, i * 2) / 32768.0f);
    EXPECT_GT(kes::test::toneShare(left, 44100, 1000), 0.95);
}

TEST(WmaEncoder, BitRateFollowsTheBlockAlign) {
    EXPECT_EQ(wmaFrameLength(44100), 2048);
    EXPECT_EQ(wmaFrameLength(22050), 1024);
    EXPECT_EQ(wmaFrameLength(16000), 512);
    EXPECT_EQ(wmaBitRateFor(372, 44100), 64083); // 372 x 44100 x 8 / 2048 = 64082.8
    EXPECT_EQ(wmaBitRateFor(512, 32000), 64000);
}

TEST(WmaEncoder, FormatsBelowTheEncodersMinimumAreNotPossible) {
    std::unique_ptr<AcmStream> s;
    WaveFormat low = wmaFormat(22050, 2, 20000);
    low.nBlockAlign = 117; // about 20 kbit/s
    EXPECT_EQ(AcmStream::open(s, pcmFormat(22050), low), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(AcmStream::open(s, pcmFormat(16000), wmaFormat(16000, 1, 16000)), ACMERR_NOTPOSSIBLE);
}

TEST(WmaEncoder, EveryListedFormatOpens) {
    for (const FormatChoice& choice : formatChoices(WAVE_FORMAT_WMAUDIO2)) {
        SCOPED_TRACE(choice.description);
        std::unique_ptr<AcmStream> s;
        EXPECT_EQ(AcmStream::open(s, pcmFormat(choice.format.nSamplesPerSec), choice.format), 0);
    }
    for (const FormatChoice& choice : formatChoices(WAVE_FORMAT_PCM)) {
        std::unique_ptr<AcmStream> s;
        EXPECT_EQ(AcmStream::open(s, pcmFormat(44100), choice.format), 0);
    }
}

TEST(WmaEncoder, PacketsHaveTheExactBlockSizeAndDecodeToTheTone) {
    const WaveFormat target = wma44();
    std::unique_ptr<AcmStream> s;
    ASSERT_EQ(AcmStream::open(s, pcmFormat(44100), target), 0);
    uint32_t srcBytes = 0;
    ASSERT_EQ(s->sourceSizeFor(37200, srcBytes), 0);
    EXPECT_EQ(srcBytes, 100u * 2048 * 4);
    const int64_t frames = 3 * 44100 + 123;
    const std::string out = convertAll(*s, makeTone(44100, 2, frames, 1000), srcBytes, 37200);
    ASSERT_EQ(out.size() % 372, 0u);
    const auto decoded = kes::test::decodeWma(out, target);
    ASSERT_TRUE(decoded.ok);
    // The decoder drops the first frame (the encoder's delay); the rest covers the input to within a frame.
    const auto audio = static_cast<int64_t>(decoded.first.size());
    EXPECT_GE(audio, frames);
    EXPECT_LT(audio, frames + 2048);
    const std::vector<float> middle(decoded.first.begin() + 4096, decoded.first.begin() + 4096 + 44100);
    EXPECT_GT(kes::test::toneShare(middle, 44100, 1000), 0.9);
}

TEST(WmaEncoder, MonoTargetFromStereoSource) {
    const WaveFormat target = wmaFormat(32000, 1, 32000);
    EXPECT_EQ(target.nBlockAlign, 256);
    std::unique_ptr<AcmStream> s;
    ASSERT_EQ(AcmStream::open(s, pcmFormat(32000), target), 0);
    const std::string out = convertAll(*s, makeTone(32000, 2, 32000, 500), 65536, 25600);
    const auto decoded = kes::test::decodeWma(out, target);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.channels, 1);
    const std::vector<float> middle(decoded.first.begin() + 4096, decoded.first.begin() + 4096 + 16000);
    EXPECT_GT(kes::test::toneShare(middle, 32000, 500), 0.9);
}
