#include "tools/audio_converter/conversion_engine.h"

#include "tests/platform/acm/audio_test_util.h"
#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/audio_converter/conversion_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tools::audio_converter;
using namespace kes::test;

namespace {

constexpr int Mp3Frame = 1152;

struct Converted {
    ConversionResult result;
    std::string data;
    RecordingSink sink;
};

// Converts a tone of `seconds` at `rate` with the "WF=" parameter and checks the output layout.
void convertTone(const std::string& wf, uint32_t rate, int64_t frames, double freq, Converted& out,
                 int channels = 2) {
    TempDir dir;
    writeBytes(dir.file("in.wav"), pcmWave(rate, channels, makeTone(rate, channels, frames, freq)));
    const ConversionRequest request = requestFor(wf, dir.file("in.wav"), dir.file("out.wav"));
    ConversionEngine engine(out.sink);
    bool userBreak = true; // cleared by the job
    out.result = engine.run(request, userBreak);
    EXPECT_FALSE(userBreak);
    EXPECT_FALSE(out.result.failed);
    out.data = dataOfExactLayout(readBytes(dir.file("out.wav")), request.target);
    // FFmpeg reads the file as one stream of the target codec, as long as the source.
    const LavfProbe probe = probeLavf(dir.file("out.wav"));
    ASSERT_EQ(probe.format, "wav");
    ASSERT_EQ(probe.streams.size(), 1u);
    const LavfStream& stream = probe.streams[0];
    EXPECT_EQ(stream.codec, request.target.wFormatTag == 85 ? "mp3" : "wmav2");
    EXPECT_EQ(stream.sampleRate, static_cast<int>(request.target.nSamplesPerSec));
    EXPECT_EQ(stream.channels, request.target.nChannels);
    EXPECT_NEAR(stream.seconds, static_cast<double>(frames) / rate, 0.08) << wf;
}

} // namespace

TEST(Conversion, Mp3From44kToneStraightThrough) {
    const int64_t frames = 2 * 44100 + 321;
    Converted c;
    convertTone("WF=MP3/S/44.1/192", 44100, frames, 1000, c);
    EXPECT_TRUE(c.sink.boxes.empty());
    const DecodedAudio decoded = decodeMp3(c.data);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.sampleRate, 44100);
    EXPECT_EQ(decoded.channels, 2);
    const auto audio = static_cast<int64_t>(decoded.first.size()); // no codec delay ahead of it
    EXPECT_GE(audio, frames);
    EXPECT_LT(audio, frames + Mp3Frame);
    const std::vector<float> middle(decoded.first.begin() + 8192, decoded.first.begin() + 8192 + 44100);
    EXPECT_GT(toneShare(middle, 44100, 1000), 0.9);
    // The results: source length, written length at the target byte rate, bytes per source second.
    EXPECT_TRUE(c.result.resultsValid);
    EXPECT_NEAR(c.result.sourceSeconds, frames / 44100.0, 1e-9);
    EXPECT_NEAR(c.result.targetSeconds, c.data.size() / 24000.0, 1e-9);
    EXPECT_EQ(c.result.targetByteRate, std::lround(c.data.size() / (frames / 44100.0)));
}

TEST(Conversion, Mp3From48kToneThrough44kPcm) {
    const int64_t frames = 2 * 48000;
    Converted c;
    convertTone("WF=MP3/S/44.1/128", 48000, frames, 1000, c);
    const DecodedAudio decoded = decodeMp3(c.data);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.sampleRate, 44100);
    const auto audio = static_cast<int64_t>(decoded.first.size()); // no codec delay ahead of it
    EXPECT_GE(audio, 2 * 44100 - 2);
    EXPECT_LT(audio, 2 * 44100 + Mp3Frame);
    const std::vector<float> middle(decoded.first.begin() + 8192, decoded.first.begin() + 8192 + 44100);
    EXPECT_GT(toneShare(middle, 44100, 1000), 0.9);
}

TEST(Conversion, Mp3MonoPresetWritesMonoFrames) {
    Converted c;
    convertTone("WF=MP3/M/48/64", 48000, 48000, 700, c);
    ASSERT_GE(c.data.size(), 4u);
    EXPECT_EQ((static_cast<unsigned char>(c.data[3]) >> 6) & 3, 3); // mono channel mode
    const DecodedAudio decoded = decodeMp3(c.data);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.channels, 1);
    EXPECT_GT(toneShare(decoded.first, 48000, 700), 0.9);
}

TEST(Conversion, Mp3FromMonoSourceGoesThroughPcm) {
    Converted c;
    convertTone("WF=MP3/S/44.1/128", 44100, 44100, 1000, c, 1);
    const DecodedAudio decoded = decodeMp3(c.data);
    ASSERT_TRUE(decoded.ok);
    const auto audio = static_cast<int64_t>(decoded.first.size()); // no codec delay ahead of it
    EXPECT_GE(audio, 44100);
    EXPECT_LT(audio, 44100 + Mp3Frame);
}

TEST(Conversion, WmaFrom44kTone) {
    const int64_t frames = 2 * 44100 + 777;
    Converted c;
    convertTone("WF=WMA/S/44.1/64", 44100, frames, 1000, c);
    ASSERT_EQ(c.data.size() % 372, 0u);
    const auto target = *parsePresetString(*presetStringFor(splitWfParameter("WF=WMA/S/44.1/64")));
    const DecodedAudio decoded = decodeWma(c.data, target);
    ASSERT_TRUE(decoded.ok);
    const auto audio = static_cast<int64_t>(decoded.first.size());
    EXPECT_GE(audio, frames);
    EXPECT_LT(audio, frames + 2048);
    const std::vector<float> middle(decoded.first.begin() + 8192, decoded.first.begin() + 8192 + 44100);
    EXPECT_GT(toneShare(middle, 44100, 1000), 0.9);
}

TEST(Conversion, WmaFrom48kToneThroughPcm) {
    Converted c;
    convertTone("WF=WMA/S/44.1/64", 48000, 96000, 1000, c);
    const auto target = *parsePresetString(*presetStringFor(splitWfParameter("WF=WMA/S/44.1/64")));
    const DecodedAudio decoded = decodeWma(c.data, target);
    ASSERT_TRUE(decoded.ok);
    const auto audio = static_cast<int64_t>(decoded.first.size());
    EXPECT_GE(audio, 88200 - 2);
    EXPECT_LT(audio, 88200 + 2048);
}

// The encoder takes no WMA below 24 kbit/s: those presets fail, with a message in batch use too (the
// rip stops on it).
TEST(Conversion, WmaPresetsTheEncoderCannotMakeFailVisibly) {
    for (const bool quiet : {true, false})
        for (const char* wf : {"WF=WMA/S/22.05/20", "WF=WMA/M/22.05/20", "WF=WMA/S/22.05/16"}) {
            SCOPED_TRACE(wf);
            TempDir dir;
            writeBytes(dir.file("in.wav"), pcmWave(22050, 2, makeTone(22050, 2, 22050, 440)));
            ConversionRequest request = requestFor(wf, dir.file("in.wav"), dir.file("out.wav"));
            request.quiet = quiet;
            RecordingSink sink;
            ConversionEngine engine(sink);
            bool userBreak = false;
            const ConversionResult result = engine.run(request, userBreak);
            EXPECT_TRUE(result.failed);
            EXPECT_FALSE(result.resultsValid);
            EXPECT_FALSE(std::filesystem::exists(dir.path() / "out.wav"));
            EXPECT_EQ(sink.boxes, quiet ? std::vector<std::string>{std::string("error: ") +
                                                                   CannotConvertText + "ACMERR_NOTPOSSIBLE)"}
                                        : std::vector<std::string>{"plain: ACMERR_NOTPOSSIBLE"});
        }
}

TEST(Conversion, ClosingMessageOnlyOutsideBatchUse) {
    TempDir dir;
    writeBytes(dir.file("in.wav"), pcmWave(44100, 2, makeTone(44100, 2, 4410, 440)));
    ConversionRequest request = requestFor("WF=MP3/S/44.1/128", dir.file("in.wav"), dir.file("out.wav"));
    request.quiet = false;
    RecordingSink sink;
    ConversionEngine engine(sink);
    bool userBreak = false;
    engine.run(request, userBreak);
    EXPECT_EQ(sink.boxes, std::vector<std::string>{"plain: End of process"});
    EXPECT_FALSE(sink.timerOn);
    EXPECT_EQ(sink.maximum, 4410 * 4);
    EXPECT_EQ(sink.stepped, 4410 * 4);
}

TEST(Conversion, StopKeepsAClosedPartialFile) {
    TempDir dir;
    writeBytes(dir.file("in.wav"), pcmWave(44100, 2, makeTone(44100, 2, 44100 * 3, 440)));
    ConversionRequest request = requestFor("WF=MP3/S/44.1/128", dir.file("in.wav"), dir.file("out.wav"));
    request.quiet = false;
    RecordingSink sink;
    bool userBreak = false;
    int blocks = 0;
    sink.onMessages = [&] {
        if (++blocks == 3)
            userBreak = true;
    };
    ConversionEngine engine(sink);
    const ConversionResult result = engine.run(request, userBreak);
    EXPECT_FALSE(result.failed);
    EXPECT_TRUE(userBreak);
    EXPECT_EQ(blocks, 3);
    EXPECT_EQ(sink.boxes, std::vector<std::string>{"plain: Process break !"});
    const std::string data = dataOfExactLayout(readBytes(dir.file("out.wav")), request.target);
    EXPECT_FALSE(data.empty());
    EXPECT_NEAR(result.sourceSeconds, 3.0, 1e-9); // the whole data chunk, as without a stop
    EXPECT_NEAR(result.targetSeconds, data.size() / 16000.0, 1e-9);
}

TEST(Conversion, ChecksEndTheJobAsAFailure) {
    TempDir dir;
    writeBytes(dir.file("in.wav"), pcmWave(44100, 2, makeTone(44100, 2, 441, 440)));
    struct Case {
        std::string source, destination, codec, box;
    } cases[] = {
        {dir.file("missing.wav"), dir.file("out.wav"), "MP3", "error: Source file does not exist"},
        {dir.file("in.wav"), "", "MP3", "error: Please choose a destination file"},
        {dir.file("in.wav"), dir.file("out.wav"), "-", "error: Please choose a codec"},
        {dir.file("in.wav"), dir.file("IN.WAV"), "MP3", "error: Source and destination are the same file"},
        {dir.file("in.wav"), dir.file("no/such/folder.wav"), "MP3", "error: Cannot create destination file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        ConversionRequest request = requestFor("WF=MP3/S/44.1/128", c.source, c.destination);
        request.codecText = c.codec;
        RecordingSink sink;
        ConversionEngine engine(sink);
        bool userBreak = true;
        const ConversionResult result = engine.run(request, userBreak);
        EXPECT_TRUE(result.failed);
        EXPECT_EQ(sink.boxes, std::vector<std::string>{c.box});
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "out.wav"));
    }
    EXPECT_EQ(readBytes(dir.file("in.wav")).size(), 44 + 441 * 4u); // the source is untouched
}

TEST(Conversion, MissingEncoderLibraryFails) {
    TempDir dir;
    writeBytes(dir.file("in.wav"), pcmWave(44100, 2, makeTone(44100, 2, 441, 440)));
    ConversionRequest request = requestFor("WF=MP3/S/44.1/128", dir.file("in.wav"), dir.file("out.wav"));
    request.externDir = dir.str();
    RecordingSink sink;
    ConversionEngine engine(sink);
    bool userBreak = false;
    EXPECT_TRUE(engine.run(request, userBreak).failed);
    EXPECT_EQ(sink.boxes, std::vector<std::string>{"error: Cannot load the MP3 encoder LAME_ENC.DLL"});
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out.wav"));
}
