// Ranges, and sources whose chunks are damaged, misplaced or followed by other chunks.
#include "tools/audio_converter/conversion_engine.h"

#include "tests/platform/acm/audio_test_util.h"
#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/audio_converter/conversion_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

using namespace tools::audio_converter;
using namespace kes::test;

namespace {

constexpr uint32_t Rate = 44100;
constexpr int64_t BytesPerSecond = Rate * 4;

std::string le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string fmt16() {
    return std::string("fmt ") + le32(16) + std::string("\x01\x00\x02\x00", 4) + le32(Rate) +
           le32(BytesPerSecond) + std::string("\x04\x00\x10\x00", 4);
}

struct JobRun {
    ConversionResult result;
    RecordingSink sink;
    std::string output; // empty when no file was left
};

void convert(const std::string& sourceBytes, JobRun& run, const std::string& from = {},
             const std::string& to = {}, const std::string& wf = "WF=MP3/S/44.1/128") {
    TempDir dir;
    writeBytes(dir.file("in.wav"), sourceBytes);
    ConversionRequest request = requestFor(wf, dir.file("in.wav"), dir.file("out.wav"));
    request.range = !from.empty();
    request.rangeStart = from;
    request.rangeEnd = to;
    ConversionEngine engine(run.sink);
    bool userBreak = false;
    run.result = engine.run(request, userBreak);
    if (std::filesystem::exists(dir.path() / "out.wav"))
        run.output = readBytes(dir.file("out.wav"));
    EXPECT_EQ(run.result.failed, run.output.empty());
    EXPECT_FALSE(run.sink.timerOn);
}

std::string tone(int64_t seconds) {
    return makeTone(Rate, 2, seconds * Rate, 440);
}

} // namespace

TEST(ConversionRange, EndNotAfterStartGivesAnEmptyDataChunk) {
    JobRun run;
    convert(pcmWave(Rate, 2, tone(3)), run, "00:00:02", "00:00:01");
    ASSERT_FALSE(run.result.failed);
    EXPECT_EQ(run.sink.maximum, 0);
    // Nothing went into the encoder, so not even a flushed frame comes out.
    EXPECT_EQ(le32At(run.output, 54), 0u);
    EXPECT_NEAR(run.result.sourceSeconds, 3.0, 1e-9);
    EXPECT_EQ(run.result.targetSeconds, 0);
}

TEST(ConversionRange, StretchInsideTheData) {
    JobRun run;
    convert(pcmWave(Rate, 2, tone(3)), run, "0:00:01", "00:00:02");
    ASSERT_FALSE(run.result.failed);
    EXPECT_EQ(run.sink.maximum, BytesPerSecond);
    EXPECT_EQ(run.sink.stepped, BytesPerSecond);
    const DecodedAudio decoded = decodeMp3(run.output.substr(58));
    EXPECT_NEAR(static_cast<double>(decoded.first.size()), Rate, 1152);
}

TEST(ConversionRange, StopsAtTheEndOfTheDataChunkBeforeTrailingChunks) {
    // 1 s of audio, then a chunk of loud noise that a reader running past "data" would encode.
    const std::string noise(BytesPerSecond, '\x7f');
    std::string body = "WAVE" + fmt16() + "data" + le32(BytesPerSecond) + tone(1) + "LIST" +
                       le32(static_cast<uint32_t>(noise.size())) + noise;
    JobRun run;
    convert("RIFF" + le32(static_cast<uint32_t>(body.size())) + body, run, "00:00:00", "00:00:10");
    ASSERT_FALSE(run.result.failed);
    EXPECT_EQ(run.sink.maximum, BytesPerSecond);
    const DecodedAudio decoded = decodeMp3(run.output.substr(58));
    EXPECT_LT(decoded.first.size(), Rate + 1152u);
}

TEST(ConversionRange, BadTimeTextCountsAsZero) {
    JobRun run;
    convert(pcmWave(Rate, 2, tone(2)), run, "01-02-03", "00:00:01");
    EXPECT_EQ(run.sink.boxes, std::vector<std::string>{"error: Incorrect time value"});
    EXPECT_EQ(run.sink.maximum, BytesPerSecond);
}

TEST(ConversionSource, DataSizeFieldZeroMeansTheBytesPresent) {
    const std::string body = "WAVE" + fmt16() + "data" + le32(0) + tone(1);
    JobRun run;
    convert("RIFF" + le32(0) + body, run);
    ASSERT_FALSE(run.result.failed);
    EXPECT_EQ(run.sink.maximum, BytesPerSecond);
    EXPECT_NEAR(run.result.sourceSeconds, 1.0, 1e-9);
}

TEST(ConversionSource, DataSizeFieldTooLargeIsCutToTheFile) {
    const std::string body = "WAVE" + fmt16() + "data" + le32(BytesPerSecond * 100) + tone(1);
    JobRun run;
    convert("RIFF" + le32(static_cast<uint32_t>(body.size())) + body, run);
    ASSERT_FALSE(run.result.failed);
    EXPECT_EQ(run.sink.maximum, BytesPerSecond);
}

TEST(ConversionSource, FormatIsFoundByIdBehindOtherChunks) {
    // A LIST before "fmt ", and a 16-byte "fmt " followed by "data": 30 bytes must not be read.
    const std::string body =
        "WAVE" + std::string("LIST") + le32(4) + "INFO" + fmt16() + "data" + le32(BytesPerSecond) + tone(1);
    JobRun run;
    convert("RIFF" + le32(static_cast<uint32_t>(body.size())) + body, run);
    ASSERT_FALSE(run.result.failed);
    const DecodedAudio decoded = decodeMp3(run.output.substr(58));
    EXPECT_GT(toneShare(decoded.first, Rate, 440), 0.9);
}

TEST(ConversionSource, MissingChunksEndTheJob) {
    const std::string noFmt = "WAVE" + std::string("data") + le32(4) + "abcd";
    JobRun run;
    convert("RIFF" + le32(static_cast<uint32_t>(noFmt.size())) + noFmt, run);
    EXPECT_TRUE(run.result.failed);
    EXPECT_EQ(run.sink.boxes, std::vector<std::string>{"plain: CANT FIND CHUNK"});
}

TEST(ConversionSource, SourceLayoutsNoCodecTakesFail) {
    // An 8-bit mono file at another rate is fine; 12-bit samples are nothing a reader takes.
    JobRun ok;
    convert(pcmWave(22050, 1, std::string(22050, '\x80'), 8), ok);
    EXPECT_FALSE(ok.result.failed);
    JobRun bad;
    convert(pcmWave(Rate, 2, std::string(600, '\0'), 12), bad);
    EXPECT_TRUE(bad.result.failed);
    EXPECT_EQ(bad.sink.boxes,
              std::vector<std::string>{std::string("error: ") + CannotConvertText + "ACMERR_NOTPOSSIBLE)"});
}

// The extensible header around 16-bit stereo PCM holds the same samples as the plain one: the MP3
// made from it is the same, byte for byte.
TEST(ConversionSource, ExtensibleSixteenBitStereoIsPlainPcm) {
    const std::string samples = tone(1);
    const std::string extensible =
        std::string("fmt ") + le32(40) + std::string("\xFE\xFF\x02\x00", 4) + le32(Rate) +
        le32(BytesPerSecond) + std::string("\x04\x00\x10\x00", 4) +
        std::string("\x16\x00\x10\x00\x03\x00\x00\x00", 8) +
        std::string("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
    const std::string body =
        "WAVE" + extensible + "data" + le32(static_cast<uint32_t>(samples.size())) + samples;
    JobRun plain;
    convert(pcmWave(Rate, 2, samples), plain);
    JobRun wrapped;
    convert("RIFF" + le32(static_cast<uint32_t>(body.size())) + body, wrapped);
    ASSERT_FALSE(wrapped.result.failed) << (wrapped.sink.boxes.empty() ? "" : wrapped.sink.boxes[0]);
    ASSERT_FALSE(plain.result.failed);
    EXPECT_EQ(wrapped.output.substr(58), plain.output.substr(58));
}

// Layouts FFmpeg writes that the codecs do not take as they are (24 and 32-bit, floating point, six
// channels in the extensible header) are converted through 16-bit PCM: the tone comes out.
TEST(ConversionSource, WiderSamplesAndMoreChannelsAreConverted) {
    TempDir dir;
    for (const auto& [format, channels] : std::vector<std::pair<LavfPcm, int>>{
             {LavfPcm::S24, 2}, {LavfPcm::S32, 1}, {LavfPcm::F32, 2}, {LavfPcm::S24, 6}}) {
        SCOPED_TRACE(std::to_string(static_cast<int>(format)) + " " + std::to_string(channels));
        std::vector<double> samples;
        for (int i = 0; i < static_cast<int>(Rate); ++i)
            for (int c = 0; c < channels; ++c)
                samples.push_back(0.5 * std::sin(2 * 3.14159265358979 * 440 * i / Rate));
        ASSERT_TRUE(writeLavfWav(dir.file("in.wav"), format, Rate, channels, samples));
        JobRun run;
        convert(readBytes(dir.file("in.wav")), run);
        ASSERT_FALSE(run.result.failed) << (run.sink.boxes.empty() ? "" : run.sink.boxes[0]);
        const DecodedAudio decoded = decodeMp3(run.output.substr(58));
        EXPECT_GT(toneShare(decoded.first, Rate, 440), 0.9);
        EXPECT_NEAR(run.result.sourceSeconds, 1.0, 1e-9);
    }
}

// Every damaged file of the RIFF corpus gets its own verdict: a file whose chunks cannot be found ends
// the job with the reader's message and leaves no output; a file whose size fields are wrong but whose
// samples are there is converted into a whole WAVE file that FFmpeg reads as the chosen codec.
TEST(ConversionSource, DamagedCorpusEndsWithAMessageOrAWholeFile) {
    const std::string cantFind = "plain: CANT FIND CHUNK";
    const std::map<std::string, std::string> verdicts = {
        {"data_size_past_end.wav", ""}, // the data chunk is cut to the file
        {"data_size_zero.wav", ""},     // a zero size means the bytes present
        {"riff_size_huge.wav", ""},     // the RIFF chunk is cut to the file
        {"empty.wav", cantFind},
        {"fmt_truncated.wav", cantFind},
        {"list_size_huge.wav", cantFind},
        {"nested_lists.wav", cantFind},
        {"not_riff.wav", cantFind},
        {"odd_chunk_unpadded.wav", cantFind},
        {"riff_size_too_small.wav", cantFind}, // "data" lies outside the RIFF chunk
        {"truncated_form_type.wav", cantFind},
        {"truncated_header.wav", cantFind},
        {"zero_size_chunks.wav", cantFind},
    };
    std::set<std::string> seen;
    for (const auto& entry : std::filesystem::directory_iterator(KES_MMIO_CORPUS)) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        const auto verdict = verdicts.find(name);
        ASSERT_NE(verdict, verdicts.end()) << "a corpus file without a verdict";
        seen.insert(name);
        for (const auto& [wf, codec] :
             {std::pair{"WF=MP3/S/44.1/128", "mp3"}, std::pair{"WF=WMA/S/44.1/64", "wmav2"}}) {
            SCOPED_TRACE(wf);
            TempDir dir;
            writeBytes(dir.file("in.wav"), readBytes(entry.path()));
            ConversionRequest request = requestFor(wf, dir.file("in.wav"), dir.file("out.wav"));
            RecordingSink sink;
            ConversionEngine engine(sink);
            bool userBreak = false;
            const ConversionResult result = engine.run(request, userBreak);
            EXPECT_FALSE(sink.timerOn);
            if (!verdict->second.empty()) {
                EXPECT_TRUE(result.failed);
                EXPECT_FALSE(result.resultsValid);
                EXPECT_EQ(sink.boxes, std::vector<std::string>{verdict->second});
                EXPECT_FALSE(std::filesystem::exists(dir.path() / "out.wav"))
                    << "a half-written target was left";
                continue;
            }
            ASSERT_FALSE(result.failed) << (sink.boxes.empty() ? "" : sink.boxes[0]);
            EXPECT_TRUE(result.resultsValid);
            EXPECT_TRUE(sink.boxes.empty());
            const std::string output = readBytes(dir.file("out.wav"));
            ASSERT_GE(output.size(), 58u);
            EXPECT_EQ(output.substr(0, 4), "RIFF");
            EXPECT_EQ((le32At(output, 4) + 1) / 2 * 2, output.size() - 8) << "the RIFF size is completed";
            const LavfProbe probe = probeLavf(dir.file("out.wav"));
            ASSERT_EQ(probe.format, "wav");
            ASSERT_EQ(probe.streams.size(), 1u);
            EXPECT_EQ(probe.streams[0].codec, codec);
            EXPECT_EQ(probe.streams[0].sampleRate, 44100);
            EXPECT_EQ(probe.streams[0].channels, 2);
        }
    }
    EXPECT_EQ(seen.size(), verdicts.size()) << "a verdict for a file the corpus no longer has";
}
