#include "tools/amplifier/amplifier_time.h"
#include "tools/amplifier/amplify_engine.h"

#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

using namespace tools::amplifier;
using kes::test::readBytes;
using kes::test::TempDir;
using kes::test::writeBytes;

namespace {

std::string le(uint32_t v, int bytes) {
    std::string s(static_cast<size_t>(bytes), '\0');
    for (int i = 0; i < bytes; ++i)
        s[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string samples(const std::vector<int16_t>& values) {
    std::string s;
    for (int16_t v : values)
        s += le(static_cast<uint16_t>(v), 2);
    return s;
}

int16_t sampleAt(const std::string& bytes, size_t offset) {
    return static_cast<int16_t>(static_cast<uint8_t>(bytes[offset]) | static_cast<uint8_t>(bytes[offset + 1])
                                                                          << 8);
}

// The canonical 44-byte header ("data" at offset 36) with a data size field.
std::string wave(const std::string& data, uint32_t sizeField, uint16_t tag = 1) {
    return "RIFF" + le(static_cast<uint32_t>(36 + data.size()), 4) + "WAVEfmt " + le(16, 4) + le(tag, 2) +
           le(2, 2) + le(44100, 4) + le(176400, 4) + le(4, 2) + le(16, 2) + "data" + le(sizeField, 4) + data;
}

std::string wave(const std::string& data) {
    return wave(data, static_cast<uint32_t>(data.size()));
}

struct Recorder : AmplifySink {
    std::vector<std::string> errors;
    int blocks = 0;
    std::function<void()> onMessages;
    void errorBox(const std::string& text) override { errors.push_back(text); }
    void processMessages() override {
        ++blocks;
        if (onMessages)
            onMessages();
    }
};

AmplifyResult amplify(const AmplifyRequest& request, Recorder& sink, bool* stopAfterFirst = nullptr,
                      AmplifyEngine::RoomCheck room = {}) {
    AmplifyEngine engine(sink);
    if (room)
        engine.setRoomCheck(room);
    bool userBreak = true;
    if (stopAfterFirst != nullptr)
        sink.onMessages = [&] { userBreak = true; };
    AmplifyResult result = engine.run(request, userBreak);
    if (stopAfterFirst != nullptr)
        *stopAfterFirst = userBreak;
    return result;
}

} // namespace

TEST(AmplifierGain, ValuesAndClipping) {
    const GainTable at150(gainFactor(150));
    EXPECT_EQ(at150(1000), 5623);
    EXPECT_EQ(at150(10000), 29000);
    EXPECT_EQ(at150(-10000), -29001);
    EXPECT_EQ(at150(0), 0);
    EXPECT_EQ(at150(INT16_MIN), -29001);
    EXPECT_NEAR(gainFactor(10), 1.122, 0.001);
    EXPECT_EQ(GainTable(gainFactor(10))(1000), 1122);
    // Halves go to the even neighbour: 1 x 2.5 = 2.5 -> 2, 3 x 2.5 = 7.5 -> 8.
    const GainTable half(2.5);
    EXPECT_EQ(half(1), 2);
    EXPECT_EQ(half(3), 8);
}

TEST(AmplifierGain, OddSampleCountsAndAnOddByte) {
    const GainTable gain(2.0);
    std::string block = samples({100, -200, 300}) + "\x7f";
    gain.apply(reinterpret_cast<uint8_t*>(block.data()), block.size());
    EXPECT_EQ(sampleAt(block, 0), 200);
    EXPECT_EQ(sampleAt(block, 2), -400);
    EXPECT_EQ(sampleAt(block, 4), 600);
    EXPECT_EQ(block[6], '\x7f');
}

// Whole blocks go through vector registers, the ends of blocks through the table: every 16-bit sample at
// every gain position comes out as the table has it, at any start and length, halves included.
TEST(AmplifierGain, BlocksScaleEverySampleAsTheTable) {
    std::vector<uint8_t> all(2 * 65536 + 3);
    for (int position = 0; position <= 300; ++position) {
        const double gain = gainFactor(position);
        const GainTable table(gain);
        const SampleScaler scaler(SampleFormat::S16, gain);
        const size_t start = static_cast<size_t>(position % 3);
        for (uint32_t s = 0; s < 65536; ++s) {
            all[start + 2 * s] = static_cast<uint8_t>(s);
            all[start + 2 * s + 1] = static_cast<uint8_t>(s >> 8);
        }
        const size_t length = 2 * 65536 - static_cast<size_t>(position % 2); // an odd byte stays
        std::vector<uint8_t> want = all;
        table.apply(want.data() + start, length);
        scaler.apply(all.data() + start, length);
        ASSERT_EQ(all, want) << "position " << position;
    }
    // Exact halves: 2.5 x odd samples.
    const SampleScaler half(SampleFormat::S16, 2.5);
    std::string block = samples({1, 3, -1, -3, 5, 7, 9, 11, 13, 15});
    half.apply(reinterpret_cast<uint8_t*>(block.data()), block.size());
    const int16_t want[] = {2, 8, -2, -8, 12, 18, 22, 28, 32, 38};
    for (size_t i = 0; i < std::size(want); ++i)
        EXPECT_EQ(sampleAt(block, 2 * i), want[i]) << i;
}

TEST(AmplifierTexts, GainAndTimes) {
    EXPECT_EQ(gainText(150), " 15.0 db");
    EXPECT_EQ(gainText(10), "  1.0 db");
    EXPECT_EQ(gainText(300), " 30.0 db");
    EXPECT_EQ(secondsToText(3723), "01:02:03");
    EXPECT_EQ(secondsToText(360000), "100:00:00");
    EXPECT_EQ(progressText(10, 100, 0), "00:00:10");
    EXPECT_EQ(progressText(10, 100, 30), "00:00:10 - Total : 00:00:33");
}

TEST(Amplifier, ToACopyKeepsHeaderAndTrailingChunk) {
    TempDir dir;
    const std::string trailer = "LIST" + le(4, 4) + "INFO";
    const std::string source = wave(samples({1000, 10000, -10000})) + trailer;
    writeBytes(dir.file("in.wav"), source);
    Recorder sink;
    const AmplifyResult result = amplify({dir.file("in.wav"), dir.file("out.wav"), false, 150}, sink);
    EXPECT_FALSE(result.failed);
    EXPECT_TRUE(result.completed);
    const std::string out = readBytes(dir.file("out.wav"));
    ASSERT_EQ(out.size(), source.size());
    EXPECT_EQ(out.substr(0, 44), source.substr(0, 44)); // data starts at 44
    EXPECT_EQ(sampleAt(out, 44), 5623);
    EXPECT_EQ(sampleAt(out, 46), 29000);
    EXPECT_EQ(sampleAt(out, 48), -29001);
    EXPECT_EQ(out.substr(50), trailer);
    EXPECT_EQ(readBytes(dir.file("in.wav")), source);
    EXPECT_TRUE(sink.errors.empty());
}

TEST(Amplifier, DataSizeFieldZeroTakesTheRestOfTheFile) {
    TempDir dir;
    writeBytes(dir.file("in.wav"), wave(samples({1000, 1000}), 0));
    Recorder sink;
    amplify({dir.file("in.wav"), dir.file("out.wav"), false, 150}, sink);
    const std::string out = readBytes(dir.file("out.wav"));
    EXPECT_EQ(sampleAt(out, 46), 5623);
}

TEST(Amplifier, InPlaceOneWholeBlock) {
    TempDir dir;
    const std::vector<int16_t> values(AmplifyBlockBytes / 2, 1000);
    writeBytes(dir.file("in.wav"), wave(samples(values)));
    for (const bool room : {true, false}) {
        SCOPED_TRACE(room ? "through a copy" : "straight into the source");
        writeBytes(dir.file("in.wav"), wave(samples(values)));
        Recorder sink;
        const AmplifyResult result = amplify({dir.file("in.wav"), "", true, 150}, sink, nullptr,
                                             [room](const std::string&, int64_t) { return room; });
        EXPECT_TRUE(result.completed);
        EXPECT_EQ(result.throughCopy, room);
        EXPECT_EQ(sink.blocks, 1);
        const std::string out = readBytes(dir.file("in.wav"));
        ASSERT_EQ(out.size(), 44 + AmplifyBlockBytes);
        EXPECT_EQ(sampleAt(out, 44), 5623);
        EXPECT_EQ(sampleAt(out, out.size() - 2), 5623);
        // FFmpeg reads the amplified file whole, every sample at the new level.
        const kes::test::LavfProbe probe = kes::test::probeLavf(dir.file("in.wav"), true);
        ASSERT_EQ(probe.streams.size(), 1u);
        EXPECT_EQ(probe.streams[0].codec, "pcm_s16le");
        EXPECT_EQ(probe.streams[0].samples, static_cast<int64_t>(AmplifyBlockBytes / 4));
        ASSERT_EQ(probe.streams[0].pcm.size(), values.size());
        for (double v : probe.streams[0].pcm)
            ASSERT_EQ(std::lround(v * 32768.0), 5623);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1); // no temporary left
}

TEST(Amplifier, StopInPlaceLeavesTheSourceAsItWas) {
    TempDir dir;
    const std::string source = wave(samples(std::vector<int16_t>(AmplifyBlockBytes, 1000)));
    writeBytes(dir.file("in.wav"), source);
    Recorder sink;
    bool stopped = false;
    const AmplifyResult result = amplify({dir.file("in.wav"), "", true, 150}, sink, &stopped);
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(result.completed);
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(sink.blocks, 1);
    EXPECT_EQ(readBytes(dir.file("in.wav")), source);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(Amplifier, StopWithACopyLeavesItShorter) {
    TempDir dir;
    const std::string source = wave(samples(std::vector<int16_t>(AmplifyBlockBytes, 1000)));
    writeBytes(dir.file("in.wav"), source);
    Recorder sink;
    bool stopped = false;
    amplify({dir.file("in.wav"), dir.file("out.wav"), false, 150}, sink, &stopped);
    EXPECT_EQ(readBytes(dir.file("out.wav")).size(), 44 + AmplifyBlockBytes);
}

TEST(Amplifier, DestinationThatIsTheSourceIsInPlace) {
    TempDir dir;
    writeBytes(dir.file("in.wav"), wave(samples({1000})));
    std::filesystem::create_hard_link(dir.path() / "in.wav", dir.path() / "link.wav");
    Recorder sink;
    const AmplifyResult result = amplify({dir.file("in.wav"), dir.file("LINK.WAV"), false, 150}, sink);
    EXPECT_TRUE(result.inPlace);
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(sampleAt(readBytes(dir.file("in.wav")), 44), 5623);
}

TEST(Amplifier, BadFilesAreLeftAloneAndReported) {
    TempDir dir;
    const std::string noData = std::string(120, 'x');
    const std::string notPcm = wave(samples({1000}), 2, 85);
    writeBytes(dir.file("nodata.wav"), noData);
    writeBytes(dir.file("mp3.wav"), notPcm);
    writeBytes(dir.file("tiny.wav"), "data");
    struct Case {
        std::string file, error;
    } cases[] = {
        {dir.file("nodata.wav"), "Invalid header in " + dir.file("nodata.wav")},
        {dir.file("mp3.wav"), dir.file("mp3.wav") + " is not a valid PCM WAV file"},
        {dir.file("tiny.wav"), "Invalid header in " + dir.file("tiny.wav")},
        {dir.file("missing.wav"), "Source File Does not exist"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        for (const bool same : {true, false}) {
            Recorder sink;
            const AmplifyResult result = amplify({c.file, dir.file("out.wav"), same, 150}, sink);
            EXPECT_TRUE(result.failed);
            EXPECT_EQ(sink.errors, std::vector<std::string>{c.error});
            EXPECT_FALSE(std::filesystem::exists(dir.path() / "out.wav"));
        }
    }
    EXPECT_EQ(readBytes(dir.file("nodata.wav")), noData);
    EXPECT_EQ(readBytes(dir.file("mp3.wav")), notPcm);
}

TEST(Amplifier, TheAudioIsTheDataChunkFoundByWalkingTheChunks) {
    TempDir dir;
    // Not a RIFF file: "data" in the first bytes is no chunk, and the file is left as it was.
    const std::string loose = std::string(40, 'x') + "data" + le(2, 4) + samples({1000});
    writeBytes(dir.file("loose.wav"), loose);
    Recorder sink;
    EXPECT_TRUE(amplify({dir.file("loose.wav"), "", true, 150}, sink).failed);
    EXPECT_EQ(sink.errors, std::vector<std::string>{"Invalid header in " + dir.file("loose.wav")});
    EXPECT_EQ(readBytes(dir.file("loose.wav")), loose);

    // A "data" chunk after a long INFO list (well past the first 96 bytes) and an odd-sized chunk,
    // whose pad byte the walk steps over; a note holding "data" before it is not the audio.
    const std::string head = wave("", 0).substr(0, 36);
    const std::string note = "a note about the data";
    const std::string list = "LIST" + le(static_cast<uint32_t>(4 + 8 + note.size() + 101), 4) + "INFOICMT" +
                             le(static_cast<uint32_t>(note.size() + 101), 4) + note + std::string(101, ' ');
    const std::string odd = "junk" + le(3, 4) + std::string("abc\0", 4);
    const std::string audio = samples({1000, -1000});
    std::string file = head + list + odd + "data" + le(4, 4) + audio;
    file.replace(4, 4, le(static_cast<uint32_t>(file.size() - 8), 4));
    writeBytes(dir.file("late.wav"), file);
    Recorder sink2;
    EXPECT_FALSE(amplify({dir.file("late.wav"), dir.file("out.wav"), false, 150}, sink2).failed);
    ASSERT_TRUE(sink2.errors.empty()) << sink2.errors[0];
    const std::string out = readBytes(dir.file("out.wav"));
    ASSERT_EQ(out.size(), file.size());
    EXPECT_EQ(out.substr(0, file.size() - 4), file.substr(0, file.size() - 4));
    EXPECT_EQ(sampleAt(out, file.size() - 4), 5623);
    EXPECT_EQ(sampleAt(out, file.size() - 2), -5623);
}

// FFmpeg puts a title in a LIST/INFO chunk before the audio; a title holding "data" once made the
// amplifier scale the header and break the file.
TEST(Amplifier, AWavWithATitleFromFfmpegIsAmplifiedAndStillOpens) {
    TempDir dir;
    std::vector<double> tone;
    for (int i = 0; i < 4410; ++i)
        tone.push_back(0.01 * std::sin(i * 0.05));
    std::string error;
    ASSERT_TRUE(kes::test::writeLavfWav(dir.file("m.wav"), kes::test::LavfPcm::S16, 44100, 1, tone, &error,
                                        "my data title"))
        << error;
    const std::string before = readBytes(dir.file("m.wav"));
    ASSERT_NE(before.find("my data title"), std::string::npos);
    for (const bool room : {true, false}) {
        SCOPED_TRACE(room ? "through a copy" : "straight into the source");
        writeBytes(dir.file("m.wav"), before);
        Recorder sink;
        const AmplifyResult result = amplify({dir.file("m.wav"), "", true, 150}, sink, nullptr,
                                             [room](const std::string&, int64_t) { return room; });
        EXPECT_TRUE(result.completed);
        EXPECT_TRUE(sink.errors.empty());
        const kes::test::LavfProbe probe = kes::test::probeLavf(dir.file("m.wav"), true);
        ASSERT_TRUE(probe.opened);
        ASSERT_EQ(probe.streams.size(), 1u);
        ASSERT_EQ(probe.streams[0].pcm.size(), tone.size());
        for (size_t i = 0; i < tone.size(); ++i) {
            const double expected = std::nearbyint(std::lround(tone[i] * 32768.0) * gainFactor(150));
            ASSERT_EQ(std::lround(probe.streams[0].pcm[i] * 32768.0), expected) << i;
        }
        EXPECT_NE(readBytes(dir.file("m.wav")).find("my data title"), std::string::npos);
    }
}

TEST(Amplifier, InPlaceThroughASymbolicLinkAmplifiesTheFileItNames) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "real");
    writeBytes(dir.file("real/in.wav"), wave(samples({1000})));
    std::filesystem::create_symlink(dir.path() / "real" / "in.wav", dir.path() / "link.wav");
    Recorder sink;
    const AmplifyResult result = amplify({dir.file("link.wav"), "", true, 150}, sink, nullptr,
                                         [](const std::string&, int64_t) { return true; });
    EXPECT_TRUE(result.completed);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "link.wav"));
    EXPECT_EQ(sampleAt(readBytes(dir.file("real/in.wav")), 44), 5623);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "real"), {}), 1);
}
