// The muxer and the clip appender on files FFmpeg wrote, checked by FFmpeg's own reading: MP3 audio
// in AVI (one chunk per MP3 frame) and MP3 files must keep every second of their audio.

#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/muxer/mux_test_sink.h"

#include "tools/clip_appender/clip_engine.h"
#include "tools/muxer/mux_engine.h"
#include "tools/muxer/mux_sizes.h"

#include <gtest/gtest.h>

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
