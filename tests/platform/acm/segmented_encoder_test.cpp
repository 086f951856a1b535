#include "platform/acm/lame_enc/segmented_encoder.h"

#include "tests/platform/acm/audio_test_util.h"

#include <gtest/gtest.h>
#include <lame/lame.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

using namespace platform::acm::mp3;

namespace {

constexpr int DecoderDelay = 529 + 576; // the encoder's delay and the decoder's, in samples

struct Job {
    int rate;
    MPEG_mode mode;
    int kbits;
};

lame_global_flags* makeEncoder(const Job& s) {
    lame_global_flags* gf = lame_init();
    lame_set_num_channels(gf, 2);
    lame_set_in_samplerate(gf, s.rate);
    lame_set_out_samplerate(gf, s.rate);
    lame_set_mode(gf, s.mode);
    lame_set_VBR(gf, vbr_off);
    lame_set_brate(gf, s.kbits);
    lame_set_quality(gf, 2);
    lame_set_bWriteVbrTag(gf, 0);
    lame_set_write_id3tag_automatic(gf, 0);
    if (lame_init_params(gf) < 0) {
        lame_close(gf);
        return nullptr;
    }
    return gf;
}

// Music-like stereo: two gliding tones, a beat that starts and stops, and a little noise, so that the
// bit reservoir fills and drains.
std::vector<int16_t> music(int rate, int seconds) {
    std::vector<int16_t> pcm;
    uint32_t noise = 12345;
    double phaseL = 0, phaseR = 0;
    for (int64_t i = 0; i < static_cast<int64_t>(rate) * seconds; ++i) {
        const double t = static_cast<double>(i) / rate;
        phaseL += 2 * std::numbers::pi * (300 + 200 * std::sin(t * 0.7)) / rate;
        phaseR += 2 * std::numbers::pi * (500 + 300 * std::sin(t * 1.3)) / rate;
        noise = noise * 1664525 + 1013904223;
        const double hiss = (static_cast<double>(noise >> 16) / 65536.0 - 0.5) * 1500;
        const double beat = std::fmod(t, 0.5) < 0.06 ? 6000 * std::sin(2 * std::numbers::pi * 3000 * t) : 0;
        pcm.push_back(static_cast<int16_t>(8000 * std::sin(phaseL) + beat + hiss));
        pcm.push_back(static_cast<int16_t>(8000 * std::sin(phaseR) - beat + hiss));
    }
    return pcm;
}

std::string encodeSegmented(const Job& s, SegmentedEncoder::Shape shape, const std::vector<int16_t>& pcm) {
    SegmentedEncoder encoder([s] { return makeEncoder(s); }, shape);
    std::string mp3;
    std::vector<uint8_t> out(1 << 22);
    const size_t pairs = pcm.size() / 2;
    for (size_t at = 0; at < pairs; at += 1152) {
        const size_t n = std::min<size_t>(1152, pairs - at);
        EXPECT_TRUE(encoder.encode(pcm.data() + at * 2, n));
        mp3.append(reinterpret_cast<const char*>(out.data()), encoder.take(out.data(), out.size()));
    }
    EXPECT_TRUE(encoder.finish());
    mp3.append(reinterpret_cast<const char*>(out.data()), encoder.take(out.data(), out.size()));
    return mp3;
}

std::string encodeWhole(const Job& s, const std::vector<int16_t>& pcm) {
    lame_global_flags* gf = makeEncoder(s);
    std::vector<uint8_t> out(pcm.size() + 7200);
    int made =
        lame_encode_buffer_interleaved(gf, const_cast<short*>(pcm.data()), static_cast<int>(pcm.size() / 2),
                                       out.data(), static_cast<int>(out.size()));
    std::string mp3(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(made));
    made = lame_encode_flush(gf, out.data(), static_cast<int>(out.size()));
    mp3.append(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(made));
    lame_close(gf);
    return mp3;
}

size_t frameCount(const std::string& mp3) {
    CodedStream s;
    EXPECT_TRUE(s.append(reinterpret_cast<const uint8_t*>(mp3.data()), mp3.size()));
    EXPECT_EQ(s.parsed, mp3.size()); // whole frames, back to back
    return s.frames.size();
}

// The lowest signal-to-error ratio (dB) over windows of one frame, decoded against the first channel
// of the input (or the mean of both for a mono stream).
double worstWindowSnr(const std::vector<float>& decoded, const std::vector<int16_t>& pcm, bool mono,
                      int window) {
    double worst = 1e9;
    const size_t pairs = pcm.size() / 2;
    for (size_t start = window; start + window + DecoderDelay < std::min(pairs, decoded.size());
         start += window) {
        double signal = 0, error = 0;
        for (size_t i = start; i < start + window; ++i) {
            const double in = (mono ? (pcm[2 * i] + pcm[2 * i + 1]) / 2.0 : pcm[2 * i]) / 32768.0;
            const double d = decoded[i + DecoderDelay] - in;
            signal += in * in;
            error += d * d;
        }
        worst = std::min(worst, 10 * std::log10(signal / std::max(error, 1e-12)));
    }
    return worst;
}

} // namespace

// Segments of 40 frames, several at once: the joined stream is whole frames of one stream, as many as
// one encoder makes, decodes without a break at any join, and is as close to the input as one
// encoder's stream is. Covered: MPEG-1 at 48 kHz, 44.1 kHz with padded frames, MPEG-2 mono with 576
// samples a frame, and no overlap at all (the earlier encoder runs on until a join is possible).
TEST(SegmentedEncoder, JoinedStreamDecodesAsOneEncodersWould) {
    struct Case {
        Job job;
        int overlap;
    };
    const Case cases[] = {{{48000, STEREO, 128}, 24},
                          {{44100, STEREO, 128}, 24},
                          {{22050, MONO, 32}, 24},
                          {{48000, STEREO, 128}, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.job.rate) + " Hz, " + std::to_string(c.job.kbits) +
                     " kbit/s, overlap " + std::to_string(c.overlap));
        const int frameSamples = c.job.rate >= 32000 ? 1152 : 576;
        const auto pcm = music(c.job.rate, 6);
        SegmentedEncoder::Shape shape;
        shape.frameSamples = frameSamples;
        shape.segmentFrames = 40;
        shape.overlap = c.overlap;
        shape.threads = 4;
        const std::string joined = encodeSegmented(c.job, shape, pcm);
        const std::string whole = encodeWhole(c.job, pcm);
        EXPECT_EQ(frameCount(joined), frameCount(whole));
        const auto a = kes::test::decodeMp3(joined);
        const auto b = kes::test::decodeMp3(whole);
        ASSERT_TRUE(a.ok);
        ASSERT_TRUE(b.ok);
        EXPECT_EQ(a.first.size(), b.first.size());
        const bool mono = c.job.mode == MONO;
        const double ours = worstWindowSnr(a.first, pcm, mono, frameSamples);
        const double one = worstWindowSnr(b.first, pcm, mono, frameSamples);
        EXPECT_GT(ours, one - 3.0) << "one encoder's worst frame " << one << " dB";
    }
}

// Input shorter than a segment, and no input at all, go through one encoder.
TEST(SegmentedEncoder, ShortAndEmptyInput) {
    const Job s{48000, STEREO, 128};
    SegmentedEncoder::Shape shape;
    shape.segmentFrames = 40;
    shape.threads = 4;
    const auto pcm = music(48000, 1);
    EXPECT_EQ(encodeSegmented(s, shape, pcm), encodeWhole(s, pcm));
    EXPECT_EQ(encodeSegmented(s, shape, {}), encodeWhole(s, {}));
}

// Frame headers: slot size with and without padding, side information length, and the reservoir
// pointer of MPEG-1 (9 bits) and MPEG-2 (8 bits); a stream of these is cut and joined byte-exactly.
TEST(SegmentedEncoder, FramesAndTheirReservoir) {
    const uint8_t mpeg1[40] = {0xff, 0xfb, 0x94, 0x00, 0x81, 0x80}; // 128k 48 kHz stereo, begin 259
    auto f = parseFrame(mpeg1, sizeof mpeg1);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->size, 384u);
    EXPECT_EQ(f->sideEnd, 36u);
    EXPECT_EQ(f->mainDataBegin, 259u);
    const uint8_t padded[40] = {0xff, 0xfb, 0x92, 0xc0, 0x05}; // 128k 44.1 kHz mono, padding, begin 10
    f = parseFrame(padded, sizeof padded);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->size, 418u);
    EXPECT_EQ(f->sideEnd, 21u);
    EXPECT_EQ(f->mainDataBegin, 10u);
    const uint8_t mpeg2[20] = {0xff, 0xf3, 0x40, 0xc0, 0x7f}; // 32k 22.05 kHz mono, begin 127
    f = parseFrame(mpeg2, sizeof mpeg2);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->size, 104u);
    EXPECT_EQ(f->sideEnd, 13u);
    EXPECT_EQ(f->mainDataBegin, 127u);
    const uint8_t layer2[40] = {0xff, 0xfd, 0x94, 0x00};
    EXPECT_FALSE(parseFrame(layer2, sizeof layer2));
    EXPECT_FALSE(parseFrame(mpeg1, 10)); // side information cut off

    // Two streams of the same audio from different encoders, joined at frame 30.
    const Job s{48000, STEREO, 128};
    const auto pcm = music(48000, 2);
    CodedStream a, b;
    const std::string x = encodeWhole(s, pcm);
    const std::vector<int16_t> later(pcm.begin() + 20 * 1152 * 2, pcm.end());
    const std::string y = encodeWhole(s, later);
    ASSERT_TRUE(a.append(reinterpret_cast<const uint8_t*>(x.data()), x.size()));
    ASSERT_TRUE(b.append(reinterpret_cast<const uint8_t*>(y.data()), y.size()));
    b.first = 20;
    int64_t n = 30;
    std::optional<std::vector<uint8_t>> head;
    for (; n < 60 && !(head = headBefore(a, b, n)); ++n) {
    }
    ASSERT_TRUE(head);
    EXPECT_EQ(head->size(), a.frames[static_cast<size_t>(n)].offset);
    const CodedStream tail = tailFrom(b, n);
    EXPECT_EQ(tail.first, n);
    EXPECT_EQ(tail.frames.size(), b.frames.size() - static_cast<size_t>(n - 20));
    EXPECT_EQ(tail.frames[0].offset, 0u);
    const uint32_t moved = tail.frames[0].mainDataBegin;
    // The reservoir bytes of b's frame n now end a's head; what came before them is a's own.
    const auto into = reservoirBytes(a, static_cast<size_t>(n), moved);
    const auto from = reservoirBytes(b, static_cast<size_t>(n - 20), moved);
    for (uint32_t k = 0; k < moved; ++k)
        EXPECT_EQ((*head)[into[k]], b.bytes[from[k]]);
    EXPECT_TRUE(std::equal(head->begin(), head->begin() + static_cast<std::ptrdiff_t>(a.frames[1].offset),
                           a.bytes.begin()));
}
