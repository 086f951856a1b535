#include "tools/clip_appender/clip_engine.h"

#include "tests/tools/muxer/mux_test_files.h"
#include "tests/tools/muxer/mux_test_sink.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tools::clip_appender;
using namespace kes::test;

namespace {

constexpr int SamplesPerFrame = 1764; // 44.1 kHz at 25 frames per second
constexpr int64_t MovieSamples = 50 * SamplesPerFrame;

class RecordingClipSink : public ClipSink {
public:
    RecordingSink record;
    std::vector<std::string> paths;
    void errorBox(const std::string& text) override { record.errorBox(text); }
    void showClipPath(const std::string& path) override { paths.push_back(path); }
    void processMessages() override { record.processMessages(); }
};

std::string pcmData(int64_t from, int64_t count) {
    return pcmWav(from + count).substr(44 + static_cast<size_t>(from * 4));
}

class ClipEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(writeMovieAvi(dir.file("movie.avi"), TestVideo{}, SamplesPerFrame));
        std::filesystem::create_directory(dir.path() / "Vexlor");
        TestVideo clip;
        clip.frames = 5;
        clip.keyFrames = {3};
        ASSERT_TRUE(writeVideoAvi(dir.file("Vexlor/Vexlor8x4.avi"), clip));
        settings.source = dir.file("movie.avi");
        settings.target = dir.file("out.avi");
        settings.logoPrefix = dir.file("Vexlor/Vexlor");
        sink.record.userBreak = &userBreak;
    }
    ClipResult run(bool firstPart = true) { return engine.run(settings, firstPart, userBreak); }
    const std::vector<std::string>& errors() const { return sink.record.errors; }

    TempDir dir;
    RecordingClipSink sink;
    ClipEngine engine{sink};
    ClipSettings settings;
    bool userBreak = true;
};

void expectClipAt(const StreamContent& v, size_t at) {
    ASSERT_EQ(v.frames.size(), at + 5);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(v.frames[at + i], testFrameBytes(static_cast<int>(i)));
        EXPECT_EQ(v.keys[at + i], i == 0 || i == 3) << i;
    }
}

} // namespace

TEST_F(ClipEngineTest, ClipFollowsTheMoviesLastFrame) {
    const ClipResult result = run();
    ASSERT_EQ(result.outcome, MuxOutcome::Done) << (errors().empty() ? "" : errors()[0]);
    EXPECT_FALSE(userBreak);
    EXPECT_EQ(sink.paths, std::vector<std::string>{dir.file("Vexlor/Vexlor8x4.avi")});
    const StreamContent v = readStream(dir.file("out.avi"), true);
    expectClipAt(v, 50);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(v.frames[i], testFrameBytes(i));
    EXPECT_EQ(readStream(dir.file("out.avi"), false).bytes, pcmData(0, MovieSamples));
    const std::string bytes = readBytes(dir.file("out.avi"));
    EXPECT_EQ(bytes[45], '\x01');
    const auto index = readIndex(bytes);
    ASSERT_GE(index.size(), 2u);
    EXPECT_EQ(index[0].id, "01wb");
    EXPECT_EQ(index[0].size, 65536u);
    EXPECT_EQ(index[1].id, "00dc");
}

TEST_F(ClipEngineTest, HalvesEachGetTheClip) {
    settings.split = true;
    ASSERT_EQ(run(true).outcome, MuxOutcome::Done);
    ASSERT_EQ(run(false).outcome, MuxOutcome::Done);
    expectClipAt(readStream(dir.file("out.avi"), true), 30);
    expectClipAt(readStream(dir.file("out2.avi"), true), 20);
    // The audio is cut by the lengths: 88,200 samples over 50 frames, times 30, plus one.
    const int64_t cut = MovieSamples / 50 * 30 + 1;
    EXPECT_EQ(readStream(dir.file("out.avi"), false).bytes, pcmData(0, cut));
    EXPECT_EQ(readStream(dir.file("out2.avi"), false).bytes, pcmData(cut, MovieSamples - cut));
}

TEST_F(ClipEngineTest, DelayLaterPutsSilenceFirst) {
    settings.delaySeconds = -0.5;
    ASSERT_EQ(run().outcome, MuxOutcome::Done);
    EXPECT_EQ(readStream(dir.file("out.avi"), false).bytes,
              std::string(22050 * 4, '\0') + pcmData(0, MovieSamples));
}

TEST_F(ClipEngineTest, FailuresWriteNothing) {
    writeBytes(dir.file("out.avi"), "an older file");
    std::filesystem::remove(dir.file("Vexlor/Vexlor8x4.avi"));
    EXPECT_EQ(run().outcome, MuxOutcome::Failed);
    ASSERT_TRUE(writeVideoAvi(dir.file("Vexlor/Vexlor8x4.avi"), TestVideo{}));
    ASSERT_TRUE(writeVideoAvi(dir.file("silent.avi"), TestVideo{}));
    settings.source = dir.file("silent.avi");
    EXPECT_EQ(run().outcome, MuxOutcome::Failed);
    writeBytes(dir.file("text.avi"), "not a movie");
    settings.source = dir.file("text.avi");
    EXPECT_EQ(run().outcome, MuxOutcome::Failed);
    EXPECT_EQ(errors(),
              (std::vector<std::string>{"VEXLOR : UNSUPPORTED RESOLUTION 8x4 !", "Cannot open audio stream !",
                                        "Cannot open video stream !"}));
    EXPECT_EQ(readBytes(dir.file("out.avi")), "an older file");
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().string().find(".muxing"), std::string::npos) << entry.path();
}

TEST_F(ClipEngineTest, AClipOfAnotherCodecIsRefusedAndNothingIsWritten) {
    writeBytes(dir.file("out.avi"), "an older file");
    TestVideo clip;
    clip.fourcc = "DIV3";
    ASSERT_TRUE(writeVideoAvi(dir.file("Vexlor/Vexlor8x4.avi"), clip));
    EXPECT_EQ(run().outcome, MuxOutcome::Failed);
    EXPECT_EQ(errors(), std::vector<std::string>{"VEXLOR : Vexlor8x4.avi IS NOT CODED AS THE MOVIE !"});
    EXPECT_EQ(readBytes(dir.file("out.avi")), "an older file");
}

TEST_F(ClipEngineTest, StopKeepsWhatWasWrittenWithoutTheClip) {
    sink.record.stopAfter = 5; // one message round when the clip path is shown, then one per frame
    EXPECT_EQ(run().outcome, MuxOutcome::Stopped);
    EXPECT_TRUE(userBreak);
    EXPECT_EQ(readStream(dir.file("out.avi"), true).frames.size(), 4u);
}
