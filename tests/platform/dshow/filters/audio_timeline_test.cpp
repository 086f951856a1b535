// The audio side's clock: AC3 payloads cut into timed frames, the decoder keeping the stream's time
// where packets were lost or came twice, and a PCM stream made to begin at a chosen instant.
#include "platform/dshow/filters/audio_decoder.h"
#include "platform/dshow/filters/audio_framer.h"
#include "platform/dshow/filters/pcm_start.h"
#include "platform/dshow/filters/ps_parser.h"
#include "tests/support/vobgen.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>

namespace {

using namespace platform::dshow::filters;
using kes::test::VobAudioKind;
using kes::test::VobAudioStream;

constexpr int64_t kUnits = 10'000'000;
// FFmpeg's AC3 encoder puts its input 256 samples into the stream (its transform's delay).
constexpr double kAc3Delay = 256.0 / 48000;
constexpr double kBeepEvery = 0.5;

// The parser's output of the set's one audio stream.
size_t audioOutput(const ProgramStreamParser& parser) {
    for (size_t i = 0; i < parser.outputs().size(); ++i)
        if (parser.outputs()[i].format.kind != StreamKind::Video)
            return i;
    return 0;
}

kes::test::VobSet beepingSet(VobAudioKind kind, double seconds) {
    kes::test::VobSpec spec;
    spec.seconds = seconds;
    spec.video = false;
    VobAudioStream stream;
    stream.kind = kind;
    stream.id = kind == VobAudioKind::Lpcm ? 0xA0 : kind == VobAudioKind::Mpeg ? 0xC0 : 0x80;
    stream.toneHz = 1000.0;
    for (double t = 0.25; t + 0.2 < seconds; t += kBeepEvery)
        stream.beeps.push_back(t);
    stream.beepSeconds = 0.1;
    spec.audio = {stream};
    return kes::test::makeProgramStream(spec);
}

StreamKind kindOf(VobAudioKind kind) {
    return kind == VobAudioKind::Mpeg ? StreamKind::MpegAudio : StreamKind::Ac3;
}

class FramedAudio : public ::testing::TestWithParam<VobAudioKind> {};
INSTANTIATE_TEST_SUITE_P(AudioFramer, FramedAudio, ::testing::Values(VobAudioKind::Ac3, VobAudioKind::Mpeg));

struct Decoded {
    std::vector<int16_t> left;
    std::optional<int64_t> firstTime;
    int64_t filled = 0;
};

// Decodes the set's audio output; keep(packet number, stream position) decides which packets the
// decoder sees, and twice(n) which it sees a second time.
Decoded decode(
    const kes::test::VobSet& set, const std::function<bool(int)>& keep,
    const std::function<bool(int)>& twice = [](int) { return false; }) {
    MemoryByteSource source(set.bytes);
    ProgramStreamParser parser(source);
    EXPECT_TRUE(parser.open());
    std::string error;
    const size_t audio = audioOutput(parser);
    auto decoder = AudioDecoder::create(parser.outputs().at(audio).format, decoderSettings("0"), error);
    Decoded out;
    if (!decoder)
        return out;
    const auto sink = [&](const PcmChunk& chunk) {
        if (!out.firstTime)
            out.firstTime = chunk.startTime;
        const auto* s = reinterpret_cast<const int16_t*>(chunk.bytes.data());
        for (int64_t i = 0; i < chunk.frames; ++i)
            out.left.push_back(s[2 * i]);
    };
    ParsedPacket packet;
    int n = 0;
    std::vector<std::pair<std::vector<uint8_t>, std::optional<int64_t>>> again;
    while (parser.next(packet) == ParseStatus::Packet) {
        if (packet.output != audio)
            continue;
        const int index = n++;
        if (!keep(index))
            continue;
        decoder->decode(packet.payload, packet.pts, sink);
        if (twice(index))
            again.emplace_back(std::vector<uint8_t>(packet.payload.begin(), packet.payload.end()),
                               packet.pts);
        else if (!again.empty()) {
            for (const auto& [bytes, pts] : again)
                decoder->decode(bytes, pts, sink);
            again.clear();
        }
    }
    decoder->endOfStream(sink);
    out.filled = decoder->framesFilled();
    return out;
}

// Sample numbers at which a tone starts after at least 50 ms of silence.
std::vector<int64_t> onsets(const std::vector<int16_t>& samples, int rate) {
    std::vector<int64_t> found;
    int64_t quiet = rate;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) < 1000) {
            ++quiet;
            continue;
        }
        if (quiet >= rate / 20)
            found.push_back(static_cast<int64_t>(i));
        quiet = 0;
    }
    return found;
}

// Every beep of the stream where its own clock has it, within a millisecond.
void expectBeepsInPlace(const Decoded& d, const kes::test::VobSet& set, const std::vector<double>& expected) {
    constexpr int kRate = 48000;
    const double delay = set.audio[0].stream.kind == VobAudioKind::Ac3 ? kAc3Delay : 0.0;
    const auto found = onsets(d.left, kRate);
    ASSERT_EQ(found.size(), expected.size()) << ::testing::PrintToString(found);
    for (size_t i = 0; i < found.size(); ++i)
        EXPECT_NEAR(static_cast<double>(found[i]) / kRate, expected[i] + delay, 0.001) << "beep " << i;
    // As long as the stream, what was lost included.
    const double seconds = set.audio[0].pcm.size() / 2.0 / kRate;
    EXPECT_NEAR(d.left.size() / double(kRate), seconds, 0.002);
}

// The packets whose payload holds sound from..to seconds of the stream (by its units' times).
std::function<bool(int)> losing(const kes::test::VobSet& set, double from, double to) {
    // Packet n carries the stream's bytes in order; find the byte range of the lost time.
    const auto& units = set.audio[0].units;
    size_t lostFrom = 0, lostTo = 0;
    for (const auto& u : units) {
        const double t = static_cast<double>(u.pts) / 90000.0;
        if (t < from)
            lostFrom = u.offset + u.size;
        if (t < to)
            lostTo = u.offset + u.size;
    }
    // Payload sizes are fixed by the pack layout: count them from the set's own packets.
    auto bounds = std::make_shared<std::vector<size_t>>();
    MemoryByteSource source(set.bytes);
    ProgramStreamParser parser(source);
    parser.open();
    ParsedPacket packet;
    size_t at = 0;
    const size_t audio = audioOutput(parser);
    while (parser.next(packet) == ParseStatus::Packet) {
        if (packet.output != audio)
            continue;
        bounds->push_back(at);
        at += packet.payload.size();
    }
    return [bounds, lostFrom, lostTo](int n) {
        const size_t start = (*bounds)[static_cast<size_t>(n)];
        return start < lostFrom || start >= lostTo;
    };
}

TEST(AudioTimeline, Ac3LostPacketsBecomeSilenceOfTheirLengthAndLaterBeepsKeepTheirPlace) {
    const auto set = beepingSet(VobAudioKind::Ac3, 3.0);
    const auto& beeps = set.audio[0].stream.beeps;
    const Decoded whole = decode(set, [](int) { return true; });
    EXPECT_EQ(whole.filled, 0);
    expectBeepsInPlace(whole, set, beeps);

    // 0.6 to 1.1 s lost: the beep at 0.75 goes with it, the others stay where they were.
    const Decoded lost = decode(set, losing(set, 0.6, 1.1));
    EXPECT_GT(lost.filled, 48000 * 4 / 10);
    std::vector<double> left;
    for (double b : beeps)
        if (b < 0.55 || b > 1.1)
            left.push_back(b);
    expectBeepsInPlace(lost, set, left);
}

TEST(AudioTimeline, LpcmLostPacketsKeepTheTimeToAMillisecond) {
    const auto set = beepingSet(VobAudioKind::Lpcm, 2.0);
    const Decoded lost = decode(set, losing(set, 0.6, 0.9));
    EXPECT_GT(lost.filled, 0);
    std::vector<double> left;
    for (double b : set.audio[0].stream.beeps)
        if (b < 0.55 || b > 0.9)
            left.push_back(b);
    expectBeepsInPlace(lost, set, left);
}

// Every frame of the set's stream as its own payload with its own stamp, but for the frames lost.
Decoded decodeFrames(const kes::test::VobSet& set, const std::function<bool(size_t)>& lost) {
    const auto& a = set.audio[0];
    std::string error;
    StreamFormat format;
    format.kind = kindOf(a.stream.kind);
    auto decoder = AudioDecoder::create(format, decoderSettings("0"), error);
    Decoded out;
    EXPECT_TRUE(decoder) << error;
    if (!decoder)
        return out;
    const auto sink = [&](const PcmChunk& chunk) {
        const auto* samples = reinterpret_cast<const int16_t*>(chunk.bytes.data());
        for (int64_t i = 0; i < chunk.frames; ++i)
            out.left.push_back(samples[2 * i]);
    };
    for (size_t i = 0; i < a.frames.size(); ++i)
        if (!lost(i))
            decoder->decode(a.frames[i], a.units[i].pts, sink);
    decoder->endOfStream(sink);
    out.filled = decoder->framesFilled();
    return out;
}

TEST_P(FramedAudio, ALostFrameBecomesSilenceOfItsLengthToTheSample) {
    // One frame lost (too little for a packet's stamp to tell it from where a frame begins in the
    // packet), then two: the beeps after each keep their sample.
    const auto set = beepingSet(GetParam(), 2.0);
    const Decoded whole = decodeFrames(set, [](size_t) { return false; });
    const Decoded lost = decodeFrames(set, [](size_t i) { return i == 20 || i == 60 || i == 61; });
    const auto& a = set.audio[0];
    const int64_t frameSamples = (a.units[1].pts - a.units[0].pts) * a.stream.sampleRate / 90000;
    EXPECT_EQ(lost.filled, 3 * frameSamples);
    ASSERT_EQ(lost.left.size(), whole.left.size());
    const auto before = onsets(whole.left, 48000), after = onsets(lost.left, 48000);
    EXPECT_EQ(after, before);
    EXPECT_GE(before.size(), 3u);
}

TEST(MpegAudioFrame, HeadersGiveTheLengthsOfFfmpegsFrames) {
    for (const int bitRate : {64000, 192000, 384000}) {
        kes::test::VobSpec spec;
        spec.seconds = 0.3;
        spec.video = false;
        VobAudioStream stream;
        stream.kind = VobAudioKind::Mpeg;
        stream.id = 0xC0;
        stream.bitRate = bitRate;
        stream.sampleRate = bitRate == 64000 ? 32000 : 48000;
        spec.audio = {stream};
        const auto set = kes::test::makeProgramStream(spec);
        for (const auto& frame : set.audio[0].frames) {
            const auto header = mpegAudioFrame(frame);
            ASSERT_TRUE(header);
            EXPECT_EQ(header->size, frame.size()) << bitRate;
            EXPECT_EQ(header->sampleRate, stream.sampleRate);
            EXPECT_EQ(header->samples, 1152);
        }
    }
    // MPEG-2 layer III at 22.05 kHz, 64 kbit/s, padded: 72 × 64000 / 22050 + 1 bytes, 576 samples;
    // layer I at 44.1 kHz, 384 kbit/s: (12 × 384000 / 44100) × 4 bytes, 384 samples.
    struct Known {
        std::array<uint8_t, 4> header;
        MpegAudioFrame frame;
    };
    for (const Known& known : {Known{{0xFF, 0xF3, 0x82, 0x00}, {209, 22050, 576}},
                               Known{{0xFF, 0xFF, 0xC0, 0x00}, {416, 44100, 384}}}) {
        const auto frame = mpegAudioFrame(known.header);
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->size, known.frame.size);
        EXPECT_EQ(frame->sampleRate, known.frame.sampleRate);
        EXPECT_EQ(frame->samples, known.frame.samples);
    }
    // Free format, a reserved sample rate, a reserved layer, no sync.
    for (const auto& bad :
         {std::array<uint8_t, 4>{0xFF, 0xFD, 0x04, 0}, std::array<uint8_t, 4>{0xFF, 0xFD, 0x1C, 0},
          std::array<uint8_t, 4>{0xFF, 0xF9, 0x10, 0}, std::array<uint8_t, 4>{0xFE, 0xFD, 0x10, 0}})
        EXPECT_FALSE(mpegAudioFrame(bad));
}

TEST(AudioTimeline, AClockThatJumpsBackRestartsWithoutABreak) {
    // Packets 3 and 4 (about 0.25 to 0.42 s) again after packet 5: the stamps go back, which the
    // pictures' clock takes as a restart too, so the sound runs on. Counted from the restart, packet 6
    // comes one packet late, so that packet's time and the frames broken where the stream joins
    // become silence.
    const auto set = beepingSet(VobAudioKind::Ac3, 2.0);
    const Decoded twice = decode(
        set, [](int) { return true; }, [](int n) { return n == 3 || n == 4; });
    const Decoded once = decode(set, [](int) { return true; });
    EXPECT_LE(twice.filled, 4 * 1536);
    EXPECT_GT(twice.left.size(), once.left.size() + 48000 / 10);
    const auto found = onsets(twice.left, 48000);
    ASSERT_EQ(found.size(), once.left.size() > 0 ? 5u : 0u) << ::testing::PrintToString(found);
    EXPECT_NEAR(found[0] / 48000.0, 0.25 + kAc3Delay, 0.001);
}

TEST(AudioTimeline, TheFirstChunkCarriesTheStreamsFirstStamp) {
    const auto set = beepingSet(VobAudioKind::Ac3, 0.5);
    const Decoded d = decode(set, [](int) { return true; });
    ASSERT_TRUE(d.firstTime);
    EXPECT_EQ(*d.firstTime, set.audio[0].units[0].pts * kUnits / 90000 + 18000 * kUnits / 90000);
}

// ---- AudioFramer ----

std::vector<uint8_t> concat(const kes::test::VobAudioData& audio) {
    return audio.elementary;
}

TEST_P(FramedAudio, FramesCutAnywhereComeOutWholeWithTheStampOfThePacketTheyBeginIn) {
    const auto set = beepingSet(GetParam(), 0.5);
    const auto& a = set.audio[0];
    const auto bytes = concat(a);
    for (const size_t cut : {size_t{1}, size_t{3}, size_t{700}, size_t{2000}}) {
        AudioFramer framer(kindOf(GetParam()));
        std::vector<TimedAudioFrame> frames;
        for (size_t at = 0; at < bytes.size(); at += cut) {
            const size_t n = std::min(cut, bytes.size() - at);
            // The stamp of the first frame that begins in this piece, as a packet carries it.
            std::optional<int64_t> pts;
            for (const auto& u : a.units)
                if (u.offset >= at && u.offset < at + n) {
                    pts = u.pts + 1000000; // any clock
                    break;
                }
            framer.push({bytes.data() + at, n}, pts, frames);
        }
        ASSERT_EQ(frames.size(), a.frames.size()) << cut;
        for (size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(frames[i].bytes, a.frames[i]) << cut << " " << i;
            ASSERT_TRUE(frames[i].pts);
            EXPECT_EQ(*frames[i].pts, a.units[i].pts + 1000000) << cut << " " << i;
        }
        EXPECT_EQ(framer.skippedBytes(), 0);
    }
}

TEST_P(FramedAudio, BytesBeforeTheFirstFrameAndAFrameCutShortArePassedOver) {
    const auto set = beepingSet(GetParam(), 0.5);
    const auto& a = set.audio[0];
    // Starts inside frame 0 (its tail, as a VOB file after a cut), frame 3 loses its end.
    std::vector<uint8_t> bytes(a.frames[0].begin() + 100, a.frames[0].end());
    for (size_t i = 1; i < a.frames.size(); ++i) {
        const auto& f = a.frames[i];
        bytes.insert(bytes.end(), f.begin(), i == 3 ? f.begin() + 200 : f.end());
    }
    AudioFramer framer(kindOf(GetParam()));
    std::vector<TimedAudioFrame> frames;
    framer.push(bytes, std::nullopt, frames);
    ASSERT_EQ(frames.size(), a.frames.size() - 2);
    EXPECT_EQ(frames[0].bytes, a.frames[1]);
    EXPECT_EQ(frames[2].bytes, a.frames[4]);
    EXPECT_GT(framer.skippedBytes(), 0);
}

// ---- PcmStart ----

std::vector<uint8_t> frames(int count, uint8_t value) {
    return std::vector<uint8_t>(static_cast<size_t>(count) * 4, value);
}

TEST(PcmStart, LaterSoundGetsSilenceBeforeItAndEarlierSoundIsCut) {
    constexpr int kRate = 48000;
    {
        PcmStart start(1000 * kUnits, kRate, 4);
        std::vector<uint8_t> out;
        start.take(frames(10, 7), 1000 * kUnits + kUnits / 100, out); // 10 ms late
        ASSERT_EQ(out.size(), (480u + 10u) * 4);
        EXPECT_EQ(out[480 * 4 - 1], 0);
        EXPECT_EQ(out[480 * 4], 7);
        EXPECT_EQ(start.framesPadded(), 480);
        start.take(frames(5, 9), std::nullopt, out); // later chunks go on as they come
        EXPECT_EQ(out.size(), (480u + 15u) * 4);
    }
    {
        PcmStart start(0, kRate, 4);
        std::vector<uint8_t> out;
        start.take(frames(300, 1), -kUnits / 100, out); // 10 ms early: 480 frames to cut over two chunks
        EXPECT_TRUE(out.empty());
        start.take(frames(300, 2), -kUnits / 100 + 300 * kUnits / kRate, out);
        EXPECT_EQ(out.size(), 120u * 4);
        EXPECT_EQ(start.framesCut(), 480);
    }
    {
        // Within half a sample of the origin nothing changes; a first chunk without a time is kept as it is.
        PcmStart start(0, kRate, 4);
        std::vector<uint8_t> out;
        start.take(frames(3, 1), 100, out);
        EXPECT_EQ(out.size(), 12u);
        PcmStart untimed(0, kRate, 4);
        out.clear();
        untimed.take(frames(3, 1), std::nullopt, out);
        EXPECT_EQ(out.size(), 12u);
    }
    {
        // A first stamp far beyond the longest lead is a clock the origin does not share.
        PcmStart start(0, kRate, 4);
        std::vector<uint8_t> out;
        start.take(frames(3, 1), (kLongestLeadSeconds + 1) * kUnits, out);
        EXPECT_EQ(out.size(), 12u);
        // So is an origin far past the stream (a seek beyond its end).
        PcmStart beyond(int64_t{1} << 60, kRate, 4);
        out.clear();
        beyond.take(frames(3, 1), 16 * kUnits, out);
        EXPECT_EQ(out.size(), 12u);
    }
}

} // namespace
