// The muxer and the clip appender on files FFmpeg wrote, checked by FFmpeg's own reading: MP3 audio
// in AVI (one chunk per MP3 frame) and MP3 files must keep every second of their audio.

#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/audio_converter/mp3_sources.h"
#include "tests/tools/muxer/mux_test_sink.h"

#include "platform/vfw/mpeg_audio_frame.h"

#include "tools/clip_appender/clip_engine.h"
#include "tools/muxer/mux_engine.h"
#include "tools/muxer/mux_sizes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

using namespace tools::muxer;
using namespace kes::test;

namespace {

constexpr int Frames = 100; // 4 s at 25 fps
constexpr double Seconds = 4.0;
constexpr double Tolerance = 0.06; // an MP3 frame and the encoder's padding

class MuxLavfTest : public ::testing::Test {
protected:
    void SetUp() override {
        LavfAviSpec spec;
        spec.frames = Frames;
        spec.audio = LavfAudio::Mp3;
        std::string error;
        ASSERT_TRUE(writeLavfAvi(movie(), spec, &error)) << error;
        spec.audio = LavfAudio::None;
        ASSERT_TRUE(writeLavfAvi(video(), spec, &error)) << error;
    }
    std::string movie() const { return dir.file("ffmpeg.avi"); }
    std::string video() const { return dir.file("video.avi"); }
    std::string target() const { return dir.file("movie.avi"); }

    MuxResult mux(const std::string& audio, double delay = 0) {
        MuxSettings settings;
        settings.source = video();
        settings.wavSource = audio;
        settings.target = target();
        settings.delaySeconds = delay;
        settings.audioBytes = getAudioSize(audio);
        bool userBreak = false;
        return engine.run(settings, true, userBreak);
    }

    TempDir dir;
    RecordingSink sink;
    MuxEngine engine{sink};
};

class ClipRecorder : public tools::clip_appender::ClipSink {
public:
    std::vector<std::string> errors;
    void errorBox(const std::string& text) override { errors.push_back(text); }
};

double audioSecondsOf(const std::string& path) {
    const LavfProbe probe = probeLavf(path);
    const LavfStream* audio = probe.first("audio");
    return audio != nullptr ? audio->seconds : -1;
}

} // namespace

TEST_F(MuxLavfTest, AudioOfAnAviWithOneChunkPerFrameIsKeptWhole) {
    ASSERT_NEAR(audioSecondsOf(movie()), Seconds, Tolerance);
    EXPECT_GT(getAudioSize(movie()), 0) << "the size estimate counts the chunks";
    const MuxResult result = mux(movie());
    ASSERT_EQ(result.outcome, MuxOutcome::Done) << (sink.errors.empty() ? "" : sink.errors[0]);
    const LavfProbe probe = probeLavf(target());
    ASSERT_TRUE(probe.opened);
    ASSERT_NE(probe.first("video"), nullptr);
    EXPECT_EQ(probe.first("video")->frames, Frames);
    EXPECT_NEAR(audioSecondsOf(target()), Seconds, Tolerance);
    EXPECT_NEAR(result.values.audioSeconds, Seconds, Tolerance);
}

TEST_F(MuxLavfTest, AudioOfAnMp3FileIsKeptWhole) {
    const std::string mp3 = dir.file("audio.mp3");
    ASSERT_TRUE(writeLavfMp3(mp3, Seconds, 48000, 2, 128000));
    const MuxResult result = mux(mp3, -0.5);
    ASSERT_EQ(result.outcome, MuxOutcome::Done) << (sink.errors.empty() ? "" : sink.errors[0]);
    // Half a second of silence before the audio, cut at the end of the video.
    EXPECT_NEAR(audioSecondsOf(target()), Seconds, Tolerance);
    EXPECT_TRUE(probeLavf(target()).warnings.empty()) << probeLavf(target()).warnings[0];
}

TEST(ClipLavfTest, LaterDelayOnAnAviWithMp3Audio) {
    TempDir dir;
    LavfAviSpec spec;
    spec.frames = Frames;
    spec.audio = LavfAudio::Mp3;
    ASSERT_TRUE(writeLavfAvi(dir.file("movie.avi"), spec));
    spec.audio = LavfAudio::None;
    spec.frames = 10;
    std::filesystem::create_directories(dir.file("Vexlor"));
    ASSERT_TRUE(writeLavfAvi(dir.file("Vexlor/Vexlor64x48.avi"), spec));
    tools::clip_appender::ClipSettings settings;
    settings.source = dir.file("movie.avi");
    settings.target = dir.file("clip.avi");
    settings.logoPrefix = dir.file("Vexlor/Vexlor");
    settings.delaySeconds = -0.5;
    ClipRecorder sink;
    tools::clip_appender::ClipEngine engine(sink);
    bool userBreak = false;
    const auto result = engine.run(settings, true, userBreak);
    ASSERT_TRUE(sink.errors.empty()) << sink.errors[0];
    EXPECT_EQ(result.outcome, MuxOutcome::Done);
    const LavfProbe probe = probeLavf(dir.file("clip.avi"));
    ASSERT_NE(probe.first("video"), nullptr);
    EXPECT_EQ(probe.first("video")->frames, Frames + 10);
    EXPECT_NEAR(probe.first("audio")->seconds, Seconds, Tolerance);
    EXPECT_NEAR(probe.first("audio")->startSeconds, 0.5, Tolerance) << "the delay is the stream's start";
}

// A DivX 3 movie holds its picture's shape only in the file's video properties header: the muxer's
// parts and the clip appender's movie keep it, and a movie without one stays without.
TEST(AspectLavfTest, TheMoviesShapeGoesIntoEveryFileMadeFromIt) {
    TempDir dir;
    MovieSpec spec = wideDivx3Movie(50, MovieSpec::Audio::None);
    ASSERT_TRUE(writeMovie(dir.file("wide.avi"), spec));
    spec.aspectNum = spec.aspectDen = 0;
    ASSERT_TRUE(writeMovie(dir.file("plain.avi"), spec));
    spec.frames = 10;
    std::filesystem::create_directories(dir.file("Vexlor"));
    ASSERT_TRUE(writeMovie(dir.file("Vexlor/Vexlor160x120.avi"), spec));
    const std::string mp3 = dir.file("audio.mp3");
    ASSERT_TRUE(writeLavfMp3(mp3, 2.0, 44100, 2, 128000));
    for (const bool wide : {true, false}) {
        SCOPED_TRACE(wide ? "16:9" : "none");
        const int num = wide ? 4 : 0, den = wide ? 3 : 1;
        RecordingSink sink;
        MuxEngine engine{sink};
        MuxSettings settings;
        settings.source = dir.file(wide ? "wide.avi" : "plain.avi");
        settings.wavSource = mp3;
        settings.target = dir.file("movie.avi");
        settings.split = true;
        settings.audioBytes = getAudioSize(mp3);
        bool userBreak = false;
        for (const bool first : {true, false})
            ASSERT_EQ(engine.run(settings, first, userBreak).outcome, MuxOutcome::Done);
        tools::clip_appender::ClipSettings clip;
        clip.source = dir.file("movie.avi");
        clip.target = dir.file("clip.avi");
        clip.logoPrefix = dir.file("Vexlor/Vexlor");
        ClipRecorder clipSink;
        tools::clip_appender::ClipEngine clipEngine(clipSink);
        ASSERT_EQ(clipEngine.run(clip, true, userBreak).outcome, MuxOutcome::Done);
        for (const char* made : {"movie.avi", "movie2.avi", "clip.avi"}) {
            const LavfProbe probe = probeLavf(dir.file(made));
            const LavfStream* video = probe.first("video");
            ASSERT_NE(video, nullptr) << made;
            EXPECT_EQ(video->codec, "msmpeg4v3") << made;
            EXPECT_EQ(video->aspectNum, num) << made;
            EXPECT_EQ(video->aspectDen, den) << made;
        }
    }
}

// ---- Cuts of MPEG audio counted in bytes ----

namespace {

bool headerMissing(const LavfProbe& probe) {
    return std::any_of(probe.warnings.begin(), probe.warnings.end(),
                       [](const std::string& w) { return w.find("Header missing") != std::string::npos; });
}

// The first bytes of a file's audio stream are a frame header; the frame's sample rate, or 0.
int firstFrameRate(const std::string& path) {
    namespace vfw = platform::vfw;
    vfw::PAVISTREAM s = nullptr;
    if (vfw::AVIStreamOpenFromFile(&s, path, vfw::streamtypeAUDIO, 0, vfw::OF_READ) != vfw::AVIERR_OK)
        return 0;
    uint8_t header[4] = {};
    vfw::LONG got = 0;
    const bool read =
        vfw::AVIStreamRead(s, vfw::AVIStreamStart(s), 4, header, 4, &got, nullptr) == vfw::AVIERR_OK &&
        got == 4;
    vfw::AVIStreamRelease(s);
    const auto frame = read ? vfw::parseMpegAudioHeader(header) : std::nullopt;
    return frame ? frame->sampleRate : 0;
}

class Mp3Cuts : public MuxLavfTest, public ::testing::WithParamInterface<Mp3Source> {
protected:
    void SetUp() override {
        MuxLavfTest::SetUp();
        std::string error;
        mp3 = writeMp3Source(GetParam(), dir.path().string(), Seconds, error);
        ASSERT_FALSE(mp3.empty()) << error;
        ASSERT_EQ(mux(mp3).outcome, MuxOutcome::Done);
        std::filesystem::rename(target(), whole());
        const LavfProbe probe = probeLavf(whole());
        ASSERT_NE(probe.first("audio"), nullptr);
        wholeSeconds = probe.first("audio")->seconds;
        ASSERT_NEAR(wholeSeconds, Seconds, 0.1);
        frameSeconds = 1152.0 / probe.first("audio")->sampleRate;
    }
    std::string whole() const { return dir.file("whole.avi"); }

    // Each part is read without a missing header, starts on a frame, keeps its place in the movie by
    // its start field within one frame, and the parts add up to the whole (total; below 0: not known).
    void expectParts(const std::vector<std::string>& parts, double total) {
        double sum = 0;
        for (const std::string& part : parts) {
            SCOPED_TRACE(part);
            const LavfProbe probe = probeLavf(part);
            const LavfStream* audio = probe.first("audio");
            ASSERT_NE(audio, nullptr);
            EXPECT_FALSE(headerMissing(probe)) << probe.warnings[0];
            EXPECT_GT(firstFrameRate(part), 0) << "the audio does not start on a frame";
            EXPECT_GE(std::max(audio->startSeconds, 0.0), 0.0);
            EXPECT_LT(std::max(audio->startSeconds, 0.0), frameSeconds + 0.001);
            sum += audio->seconds;
        }
        if (total >= 0) {
            EXPECT_NEAR(sum, total, frameSeconds + 0.001);
        }
    }

    std::string mp3;
    double wholeSeconds = 0;
    double frameSeconds = 0;
};

} // namespace

TEST_P(Mp3Cuts, MuxerSplitMeetsOnAFrame) {
    MuxSettings settings;
    settings.source = video();
    settings.wavSource = mp3;
    settings.target = target();
    settings.split = true;
    settings.audioBytes = getAudioSize(mp3);
    bool userBreak = false;
    for (const bool first : {true, false})
        ASSERT_EQ(engine.run(settings, first, userBreak).outcome, MuxOutcome::Done);
    expectParts({target(), dir.file("movie2.avi")}, wholeSeconds);
}

TEST_P(Mp3Cuts, MuxerEarlierDelayStartsOnAFrame) {
    ASSERT_EQ(mux(mp3, 0.34).outcome, MuxOutcome::Done);
    // Bytes count time only at a constant bit rate: a variable one skips 0.34 s of bytes, not of audio.
    expectParts({target()}, GetParam() == Mp3Source::FfmpegVbr ? -1 : wholeSeconds - 0.34);
}

// Zero bytes before MP3 are no silence to a decoder: a "later" delay starts the stream later instead.
TEST_P(Mp3Cuts, MuxerLaterDelayStartsTheSoundLater) {
    ASSERT_EQ(mux(mp3, -0.5).outcome, MuxOutcome::Done);
    const LavfProbe probe = probeLavf(target());
    const LavfStream* audio = probe.first("audio");
    ASSERT_NE(audio, nullptr);
    EXPECT_FALSE(headerMissing(probe)) << probe.warnings[0];
    EXPECT_NEAR(audio->startSeconds, 0.5, 0.001);
    EXPECT_GT(firstFrameRate(target()), 0) << "the audio does not start on a frame";
    EXPECT_NEAR(audio->seconds, wholeSeconds, frameSeconds + 0.001) << "all of the sound, none skipped";
}

TEST_P(Mp3Cuts, ClipAppenderSplitMeetsOnAFrame) {
    std::filesystem::create_directories(dir.file("Vexlor"));
    LavfAviSpec clip;
    clip.frames = 10;
    clip.audio = LavfAudio::None;
    ASSERT_TRUE(writeLavfAvi(dir.file("Vexlor/Vexlor64x48.avi"), clip));
    tools::clip_appender::ClipSettings settings;
    settings.source = whole();
    settings.target = dir.file("clip.avi");
    settings.logoPrefix = dir.file("Vexlor/Vexlor");
    settings.split = true;
    ClipRecorder clipSink;
    tools::clip_appender::ClipEngine clipEngine(clipSink);
    bool userBreak = false;
    for (const bool first : {true, false})
        ASSERT_EQ(clipEngine.run(settings, first, userBreak).outcome, MuxOutcome::Done)
            << (clipSink.errors.empty() ? "" : clipSink.errors[0]);
    expectParts({dir.file("clip.avi"), dir.file("clip2.avi")}, wholeSeconds);
}

INSTANTIATE_TEST_SUITE_P(Mp3, Mp3Cuts,
                         ::testing::Values(Mp3Source::FfmpegCbr, Mp3Source::FfmpegVbr, Mp3Source::OurLame),
                         [](const ::testing::TestParamInfo<Mp3Source>& p) { return mp3SourceName(p.param); });
