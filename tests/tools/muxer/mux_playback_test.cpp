// Movies whose MP3 audio counts in bytes, as our muxer writes them from an MP3 file or from our
// converter's MP3 WAVE file and as the synchronizer's remux writes them again, played through the
// filter graph: chunks of such audio begin and end inside MP3 frames, and the sound must still last
// as long as the movie.

#include "tests/platform/dshow/playback/playback_graph.h"
#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/audio_converter/mp3_sources.h"
#include "tests/tools/synchronizer/job_sink_test_support.h"

#include "platform/dshow/filters/sound_renderer.h"
#include "tools/muxer/mux_engine.h"
#include "tools/muxer/mux_sizes.h"
#include "tools/synchronizer/remux_engine.h"

#include <gtest/gtest.h>

namespace {

using namespace kes::test;

constexpr int Frames = 30; // 1.2 s at 25 fps
constexpr double Seconds = 1.2;
constexpr double Tolerance = 0.06; // an MP3 frame and the encoder's delay

class MuxSink : public tools::muxer::MuxSink {
public:
    std::vector<std::string> errors;
    void errorBox(const std::string& text) override { errors.push_back(text); }
};

struct Sound {
    double decoded = -1; // by FFmpeg, from the file
    double played = -1;  // by the graph's sound renderer (16-bit stereo out)
};

// Plays the movie to its end; the seconds of sound FFmpeg decodes from it and the graph played.
Sound soundOf(const std::string& path) {
    Sound sound;
    const LavfProbe probe = probeLavf(path);
    const LavfStream* audio = probe.first("audio");
    if (audio == nullptr || audio->sampleRate <= 0)
        return sound;
    sound.decoded = audio->seconds;
    PlaybackGraph graph;
    if (graph.render(path) != S_OK || graph.control->Run() < 0 || !graph.playToEnd(15000))
        return sound;
    const auto filter = graph.filter("Sound Renderer");
    if (const auto* renderer = dynamic_cast<platform::dshow::filters::SoundRendererFilter*>(filter.get()))
        sound.played = static_cast<double>(renderer->bytesPlayed()) / 4 / audio->sampleRate;
    graph.control->Stop();
    return sound;
}

class MuxPlayback : public ::testing::TestWithParam<Mp3Source> {
protected:
    void SetUp() override {
        LavfAviSpec spec;
        spec.frames = Frames;
        spec.audio = LavfAudio::None;
        ASSERT_TRUE(writeLavfAvi(dir.file("video.avi"), spec));
        std::string error;
        const std::string mp3 = writeMp3Source(GetParam(), dir.path().string(), Seconds, error);
        ASSERT_FALSE(mp3.empty()) << error;
        tools::muxer::MuxSettings settings;
        settings.source = dir.file("video.avi");
        settings.wavSource = mp3;
        settings.target = movie;
        settings.audioBytes = tools::muxer::getAudioSize(mp3);
        MuxSink sink;
        tools::muxer::MuxEngine engine(sink);
        bool userBreak = false;
        ASSERT_EQ(engine.run(settings, true, userBreak).outcome, tools::muxer::MuxOutcome::Done);
        ASSERT_TRUE(sink.errors.empty()) << sink.errors[0];
    }

    TempDir dir;
    std::string movie = dir.file("movie.avi");
};

TEST_P(MuxPlayback, TheMuxersMovieSoundsToItsEnd) {
    const Sound sound = soundOf(movie);
    EXPECT_NEAR(sound.decoded, Seconds, Tolerance);
    EXPECT_NEAR(sound.played, sound.decoded, Tolerance);
}

TEST_P(MuxPlayback, TheRemuxedMovieSoundsToItsEnd) {
    tools::synchronizer::RemuxRequest request;
    request.source = movie;
    request.destination = dir.file("movie_New.avi");
    request.later = false;
    request.delayText = "300";
    RecordingSink sink;
    ASSERT_EQ(tools::synchronizer::MuxStreams(request, true, sink).status,
              tools::synchronizer::MuxStatus::Done);
    // 300 ms earlier: the first 0.3 s of sound are gone (as bytes: a variable rate makes that another
    // length of time).
    const Sound sound = soundOf(dir.file("movie_New.avi"));
    EXPECT_GT(sound.decoded, 0.5);
    EXPECT_NEAR(sound.played, sound.decoded, Tolerance);
}

INSTANTIATE_TEST_SUITE_P(Mp3, MuxPlayback,
                         ::testing::Values(Mp3Source::FfmpegCbr, Mp3Source::FfmpegVbr, Mp3Source::OurLame),
                         [](const ::testing::TestParamInfo<Mp3Source>& p) { return mp3SourceName(p.param); });

} // namespace
