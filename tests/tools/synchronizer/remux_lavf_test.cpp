// The remux, the split and the join on MPEG audio that FFmpeg encoded, read back by FFmpeg: no cut
// may split an MPEG audio frame, and a delay kept in a stream's start field survives the join.

#include "tools/synchronizer/join_engine.h"
#include "tools/synchronizer/remux_engine.h"
#include "tools/synchronizer/synch_engine.h"

#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/audio_converter/mp3_sources.h"
#include "tests/tools/synchronizer/job_sink_test_support.h"

#include "tools/muxer/mux_engine.h"
#include "tools/muxer/mux_sizes.h"

#include "platform/vfw/avifile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace tools::synchronizer;
using namespace kes::test;

namespace {

constexpr int Frames = 100; // 4 s at 25 fps
constexpr double Seconds = 4.0;
constexpr double FrameSeconds = 1152.0 / 44100; // one MPEG audio frame, at the lower rate

class MuxSink : public tools::muxer::MuxSink {
public:
    std::vector<std::string> errors;
    void errorBox(const std::string& text) override { errors.push_back(text); }
};

int64_t videoHeaderFrames(const std::string& path) {
    namespace vfw = platform::vfw;
    vfw::AVIFileInit();
    vfw::PAVISTREAM stream = nullptr;
    vfw::AVISTREAMINFO info{};
    if (vfw::AVIStreamOpenFromFile(&stream, path, vfw::streamtypeVIDEO, 0, vfw::OF_READ) == vfw::AVIERR_OK) {
        vfw::AVIStreamInfo(stream, &info, sizeof info);
        vfw::AVIStreamRelease(stream);
    }
    vfw::AVIFileExit();
    return info.dwLength;
}

bool headerMissing(const LavfProbe& probe) {
    return std::any_of(probe.warnings.begin(), probe.warnings.end(),
                       [](const std::string& w) { return w.find("Header missing") != std::string::npos; });
}

class RemuxLavf : public ::testing::TestWithParam<Mp3Source> {
protected:
    // A movie whose MP3 audio counts in bytes (one sample a byte), as our muxer writes it from an MP3
    // file or our converter's MP3 WAVE file; FFmpeg made the video.
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
        settings.target = source;
        settings.audioBytes = tools::muxer::getAudioSize(settings.wavSource);
        MuxSink sink;
        tools::muxer::MuxEngine engine(sink);
        bool userBreak = false;
        ASSERT_EQ(engine.run(settings, true, userBreak).outcome, tools::muxer::MuxOutcome::Done);
        const LavfProbe probe = probeLavf(source);
        ASSERT_NE(probe.first("audio"), nullptr);
        ASSERT_FALSE(headerMissing(probe));
        sourceSeconds = probe.first("audio")->seconds;
    }

    RemuxRequest request(bool later, const std::string& delay, SplitWay split = SplitWay::None) const {
        RemuxRequest r;
        r.source = source;
        r.destination = dir.file("movie_New.avi");
        r.later = later;
        r.delayText = delay;
        r.split = split;
        return r;
    }

    TempDir dir;
    std::string source = dir.file("movie.avi");
    double sourceSeconds = 0;
};

} // namespace

TEST_P(RemuxLavf, EarlierDelayCutsOnAFrame) {
    RecordingSink sink;
    ASSERT_EQ(MuxStreams(request(false, "340"), true, sink).status, MuxStatus::Done);
    const LavfProbe probe = probeLavf(dir.file("movie_New.avi"));
    ASSERT_NE(probe.first("audio"), nullptr);
    EXPECT_FALSE(headerMissing(probe)) << probe.warnings[0];
    // Bytes count time only at a constant bit rate.
    if (GetParam() != Mp3Source::FfmpegVbr) {
        EXPECT_NEAR(probe.first("audio")->seconds, sourceSeconds - 0.34, FrameSeconds);
    }
}

TEST_P(RemuxLavf, LaterDelayOfCompressedAudioIsItsStart) {
    RecordingSink sink;
    ASSERT_EQ(MuxStreams(request(true, "500"), true, sink).status, MuxStatus::Done);
    const LavfProbe probe = probeLavf(dir.file("movie_New.avi"));
    ASSERT_NE(probe.first("audio"), nullptr);
    EXPECT_TRUE(probe.warnings.empty()) << probe.warnings[0];
    EXPECT_NEAR(probe.first("audio")->startSeconds, 0.5, 0.01);
}

TEST_P(RemuxLavf, SplitPartsCutOnFrames) {
    RecordingSink sink;
    for (const bool first : {true, false})
        ASSERT_EQ(MuxStreams(request(true, "0", SplitWay::Halves), first, sink).status, MuxStatus::Done);
    double total = 0;
    for (const char* part : {"movie_New.avi", "movie_New2.avi"}) {
        SCOPED_TRACE(part);
        const LavfProbe probe = probeLavf(dir.file(part));
        ASSERT_NE(probe.first("audio"), nullptr);
        EXPECT_FALSE(headerMissing(probe)) << probe.warnings[0];
        total += probe.first("audio")->seconds;
    }
    EXPECT_NEAR(total, sourceSeconds, FrameSeconds) << "no audio lost or doubled at the cut";
}

// The delay of a remux lives in the start field of the new file's audio; a join that has it first in
// its list keeps it.
TEST_P(RemuxLavf, JoinKeepsTheRemuxDelay) {
    RecordingSink sink;
    ASSERT_EQ(MuxStreams(request(true, "500"), true, sink).status, MuxStatus::Done);
    const JoinResult joined = JoinAll({dir.file("movie_New.avi"), source}, dir.file("joined.avi"), sink);
    ASSERT_EQ(joined.status, MuxStatus::Done);
    const LavfProbe probe = probeLavf(dir.file("joined.avi"));
    ASSERT_NE(probe.first("audio"), nullptr);
    EXPECT_FALSE(headerMissing(probe)) << probe.warnings[0];
    EXPECT_NEAR(probe.first("audio")->startSeconds, 0.5, 0.01);
    EXPECT_EQ(probe.first("video")->frames, 2 * Frames);
    // The late sound of the first file ends with its video: the second file's starts in time.
    EXPECT_NEAR(probe.first("audio")->seconds, 2 * sourceSeconds - 0.5, 2 * FrameSeconds);
}

INSTANTIATE_TEST_SUITE_P(Mp3, RemuxLavf,
                         ::testing::Values(Mp3Source::FfmpegCbr, Mp3Source::FfmpegVbr, Mp3Source::OurLame),
                         [](const ::testing::TestParamInfo<Mp3Source>& p) { return mp3SourceName(p.param); });

TEST(JoinLavf, AStartFieldDelayIsKept) {
    TempDir dir;
    LavfAviSpec spec;
    spec.frames = 50;
    spec.audio = LavfAudio::Mp3;
    spec.sampleRate = 48000;
    ASSERT_TRUE(writeLavfAvi(dir.file("movie.avi"), spec));
    RemuxRequest r;
    r.source = dir.file("movie.avi");
    r.destination = dir.file("late.avi");
    r.later = true;
    r.delayText = "500";
    RecordingSink sink;
    ASSERT_EQ(MuxStreams(r, true, sink).status, MuxStatus::Done);
    ASSERT_NEAR(probeLavf(dir.file("late.avi")).first("audio")->startSeconds, 0.5, 0.03);
    const JoinResult joined =
        JoinAll({dir.file("late.avi"), dir.file("movie.avi")}, dir.file("joined.avi"), sink);
    ASSERT_EQ(joined.status, MuxStatus::Done);
    const LavfProbe probe = probeLavf(dir.file("joined.avi"));
    ASSERT_NE(probe.first("audio"), nullptr);
    EXPECT_NEAR(probe.first("audio")->startSeconds, 0.5, 0.03);
    EXPECT_EQ(probe.first("video")->frames, 100);
}

// Files whose sound outlasts their video by 240 ms, as some encoders write them: the join places each
// file's sound at its video's start, so only the last file's extra sound remains.
TEST(JoinLavf, SoundOutlastingItsVideoDoesNotDelayTheNextFile) {
    for (const LavfAudio audio : {LavfAudio::Pcm16, LavfAudio::Mp3}) {
        SCOPED_TRACE(audio == LavfAudio::Mp3 ? "MP3" : "PCM");
        TempDir dir;
        LavfAviSpec spec;
        spec.frames = 20; // 0.8 s
        spec.audio = audio;
        spec.sampleRate = 48000;
        spec.audioSeconds = 1.04;
        ASSERT_TRUE(writeLavfAvi(dir.file("part.avi"), spec));
        const LavfProbe partProbe = probeLavf(dir.file("part.avi"));
        const double partSeconds = partProbe.first("audio")->seconds;
        // FFmpeg ends this video with an empty frame that its own reading leaves out: the length is
        // the stream header's.
        const double videoSeconds = static_cast<double>(videoHeaderFrames(dir.file("part.avi"))) / spec.fps;
        ASSERT_GT(partSeconds, videoSeconds + 0.15);
        RecordingSink sink;
        const std::string part = dir.file("part.avi");
        ASSERT_EQ(JoinAll({part, part, part}, dir.file("joined.avi"), sink).status, MuxStatus::Done);
        const LavfProbe probe = probeLavf(dir.file("joined.avi"));
        ASSERT_NE(probe.first("audio"), nullptr);
        EXPECT_EQ(probe.first("video")->frames, 3 * partProbe.first("video")->frames);
        EXPECT_FALSE(headerMissing(probe));
        EXPECT_NEAR(probe.first("audio")->seconds, 2 * videoSeconds + partSeconds, 2 * FrameSeconds);
    }
}

// Audio counted in MPEG frames has a rate that is no whole number (48000 / 1152): a delay tested in
// place and the same delay remuxed start the sound at the same frame, the one nearest the delay.
TEST(SynchLavf, FrameCountedDelayIsTheSameInTestAndRemux) {
    TempDir dir;
    LavfAviSpec spec;
    spec.frames = 50;
    spec.audio = LavfAudio::Mp3;
    spec.sampleRate = 48000;
    ASSERT_TRUE(writeLavfAvi(dir.file("movie.avi"), spec));
    std::filesystem::copy_file(dir.file("movie.avi"), dir.file("tested.avi"));

    SynchState state;
    ASSERT_TRUE(ReadInfos(dir.file("tested.avi"), state).audioFound);
    ASSERT_NEAR(state.AudioRate, 48000.0 / 1152, 1e-9) << "FFmpeg counts MP3 in frames";
    ASSERT_EQ(setinfo(dir.file("tested.avi"), state, PatchValues{25, 25, 5000}), PatchStatus::Done);
    const double tested = probeLavf(dir.file("tested.avi")).first("audio")->startSeconds;
    EXPECT_NEAR(ReadInfos(dir.file("tested.avi"), state).delayMs, 5000, 12);

    RemuxRequest r;
    r.source = dir.file("movie.avi");
    r.destination = dir.file("muxed.avi");
    r.later = true;
    r.delayText = "5000";
    RecordingSink sink;
    ASSERT_EQ(MuxStreams(r, true, sink).status, MuxStatus::Done);
    const double muxed = probeLavf(dir.file("muxed.avi")).first("audio")->startSeconds;
    EXPECT_NEAR(tested, 5.0, 0.012) << "within half an MPEG audio frame";
    EXPECT_DOUBLE_EQ(tested, muxed);
}

// The halves of a remux split and their join keep the picture's shape of a DivX 3 movie, which only
// the file's video properties header holds.
TEST(AspectLavf, RemuxSplitAndJoinKeepTheMoviesShape) {
    TempDir dir;
    ASSERT_TRUE(writeMovie(dir.file("wide.avi"), wideDivx3Movie(50, MovieSpec::Audio::Mp3)));
    RecordingSink sink;
    RemuxRequest r;
    r.source = dir.file("wide.avi");
    r.destination = dir.file("movie_New.avi");
    r.delayText = "0";
    r.split = SplitWay::Halves;
    for (const bool first : {true, false})
        ASSERT_EQ(MuxStreams(r, first, sink).status, MuxStatus::Done);
    ASSERT_EQ(
        JoinAll({dir.file("movie_New.avi"), dir.file("movie_New2.avi")}, dir.file("joined.avi"), sink).status,
        MuxStatus::Done);
    for (const char* made : {"movie_New.avi", "movie_New2.avi", "joined.avi"}) {
        const LavfProbe probe = probeLavf(dir.file(made));
        const LavfStream* video = probe.first("video");
        ASSERT_NE(video, nullptr) << made;
        EXPECT_EQ(video->aspectNum, 4) << made;
        EXPECT_EQ(video->aspectDen, 3) << made;
    }
    EXPECT_EQ(probeLavf(dir.file("joined.avi")).first("video")->frames, 50);
}
