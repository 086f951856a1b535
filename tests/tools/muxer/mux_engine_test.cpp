#include "tests/tools/muxer/mux_test_files.h"
#include "tests/tools/muxer/mux_test_sink.h"

#include "tests/support/temp_dir.h"

#include "tools/muxer/interleave.h"
#include "tools/muxer/mux_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <filesystem>

#include <sys/wait.h>
#include <unistd.h>

using namespace tools::muxer;
using namespace kes::test;

namespace {

constexpr int64_t TwoSeconds = 88200; // PCM samples at 44.1 kHz
constexpr int Bytes = 4;              // per PCM sample

std::string pcmData(int64_t from, int64_t count) {
    return pcmWav(from + count).substr(44 + static_cast<size_t>(from * Bytes));
}

class MuxEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(writeVideoAvi(video(), TestVideo{}));
        writeBytes(wav(), pcmWav(TwoSeconds));
        settings.source = video();
        settings.wavSource = wav();
        settings.target = target();
        settings.audioBytes = TwoSeconds * Bytes;
    }
    std::string video() const { return dir.file("video.avi"); }
    std::string wav() const { return dir.file("audio.wav"); }
    std::string target() const { return dir.file("movie.avi"); }
    MuxResult run(bool firstPart = true) { return engine.run(settings, firstPart, userBreak); }
    // No work files and no renamed audio are left behind, and the audio keeps its name.
    void expectCleanFolder() {
        EXPECT_TRUE(std::filesystem::exists(wav()));
        EXPECT_FALSE(std::filesystem::exists(dir.file(MuxWavName)));
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            EXPECT_EQ(entry.path().string().find(".muxing"), std::string::npos) << entry.path();
    }

    TempDir dir;
    RecordingSink sink;
    MuxEngine engine{sink};
    MuxSettings settings;
    bool userBreak = true; // a first part clears it
};

} // namespace

TEST_F(MuxEngineTest, PcmIsInterleavedAfterAPreload) {
    const MuxResult result = run();
    ASSERT_EQ(result.outcome, MuxOutcome::Done) << (sink.errors.empty() ? "" : sink.errors[0]);
    EXPECT_FALSE(userBreak);
    expectCleanFolder();
    EXPECT_EQ(readBytes(wav()), pcmWav(TwoSeconds));

    const std::string bytes = readBytes(target());
    EXPECT_EQ(bytes[45], '\x01');
    EXPECT_EQ(bytes[46], '\x00');
    const auto index = readIndex(bytes);
    ASSERT_EQ(index.size(), 100u);
    for (size_t i = 0; i < index.size(); ++i)
        EXPECT_EQ(index[i].id, i % 2 == 0 ? "01wb" : "00dc") << i;
    // 0.5 s of preload is 88,200 bytes; one chunk holds at most the 64 KB buffer.
    EXPECT_EQ(index[0].size, 65536u);
    // Then the remaining samples over the remaining frames.
    EXPECT_EQ(index[2].size, static_cast<uint32_t>((TwoSeconds - 16384) / 49 * Bytes));

    const StreamContent v = readStream(target(), true);
    ASSERT_EQ(v.frames.size(), 50u);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(v.frames[i], testFrameBytes(i));
        EXPECT_EQ(v.keys[i], i % 10 == 0) << i;
    }
    EXPECT_EQ(readStream(target(), false).bytes, pcmData(0, TwoSeconds));

    EXPECT_DOUBLE_EQ(result.values.videoSeconds, 2.0);
    EXPECT_DOUBLE_EQ(result.values.audioSeconds, 2.0);
    EXPECT_DOUBLE_EQ(result.values.newFps, 25.0);
    EXPECT_DOUBLE_EQ(result.values.audioRate, 44100.0);
    EXPECT_EQ(result.values.audioByteRate, 176400);
    EXPECT_EQ(sink.timersOn, 1);
    EXPECT_EQ(sink.timersOff, 1);
}

TEST_F(MuxEngineTest, Mp3InWavKeepsItsFormatAndBytes) {
    writeBytes(wav(), mp3Wav(76)); // 31,692 bytes: just under the video's 2 s
    settings.preloadSeconds = 1.0;
    ASSERT_EQ(run().outcome, MuxOutcome::Done);
    const auto index = readIndex(readBytes(target()));
    ASSERT_FALSE(index.empty());
    EXPECT_EQ(index[0].size, 16000u); // one second at 16,000 bytes per second
    const StreamContent a = readStream(target(), false);
    EXPECT_EQ(a.bytes, mp3Data(76));
    EXPECT_EQ(a.format, mp3Wav(76).substr(20, 30));
    EXPECT_EQ(readBytes(wav()), mp3Wav(76));
}

TEST_F(MuxEngineTest, DelayLaterPutsSilenceFirst) {
    settings.delaySeconds = -0.5;
    ASSERT_EQ(run().outcome, MuxOutcome::Done);
    EXPECT_EQ(readStream(target(), false).bytes, std::string(22050 * Bytes, '\0') + pcmData(0, TwoSeconds));
}

TEST_F(MuxEngineTest, ShortDelayLaterMixesSilenceAndAudioInTheFirstChunk) {
    settings.delaySeconds = -0.1;
    ASSERT_EQ(run().outcome, MuxOutcome::Done);
    EXPECT_EQ(readIndex(readBytes(target()))[0].size, 65536u);
    EXPECT_EQ(readStream(target(), false).bytes, std::string(4410 * Bytes, '\0') + pcmData(0, TwoSeconds));
}

TEST_F(MuxEngineTest, DelayEarlierSkipsTheStart) {
    settings.delaySeconds = 0.5;
    ASSERT_EQ(run().outcome, MuxOutcome::Done);
    EXPECT_EQ(readStream(target(), false).bytes, pcmData(22050, TwoSeconds - 22050));
}

TEST_F(MuxEngineTest, SplitInHalvesAtTheNearerKeyFrame) {
    TestVideo layout;
    layout.keyFrames = {0, 22, 40};
    ASSERT_TRUE(writeVideoAvi(video(), layout));
    settings.split = true;
    const MuxResult first = run(true);
    ASSERT_EQ(first.outcome, MuxOutcome::Done);
    EXPECT_EQ(first.splitFrame, 22);
    const MuxResult second = run(false);
    ASSERT_EQ(second.outcome, MuxOutcome::Done);
    EXPECT_EQ(second.targetPath, dir.file("movie2.avi"));
    expectCleanFolder();

    const StreamContent v1 = readStream(target(), true);
    const StreamContent v2 = readStream(dir.file("movie2.avi"), true);
    ASSERT_EQ(v1.frames.size(), 22u);
    ASSERT_EQ(v2.frames.size(), 28u);
    EXPECT_EQ(v2.frames[0], testFrameBytes(22));
    EXPECT_TRUE(v2.keys[0]);
    EXPECT_EQ(v2.frames[27], testFrameBytes(49));
    // The first part's audio ends one sample after the split frame's time.
    const int64_t cut = 22 * 44100 / 25 + 1;
    EXPECT_EQ(readStream(target(), false).bytes, pcmData(0, cut));
    EXPECT_EQ(readStream(dir.file("movie2.avi"), false).bytes, pcmData(cut, TwoSeconds - cut));
}

// Halves of a movie whose rate changes are halves of its bytes, not of its time: each part must hold
// on its CD.
TEST_F(MuxEngineTest, SplitInHalvesCutsWhereTheBytesAre) {
    TestVideo layout;
    layout.keyFrames.clear();
    for (int i = 0; i < layout.frames; ++i)
        layout.keyFrames.push_back(i);
    layout.heavyFrames = 10; // 200,000 bytes more in the first fifth
    ASSERT_TRUE(writeVideoAvi(video(), layout));
    settings.split = true;
    const MuxResult first = run(true);
    ASSERT_EQ(first.outcome, MuxOutcome::Done);
    ASSERT_EQ(run(false).outcome, MuxOutcome::Done);
    // 352,800 audio bytes (7,056 a frame) and 200,000 + about 550 video bytes: half is reached in frame 11.
    EXPECT_EQ(first.splitFrame, 11);
    const auto size = [](const std::string& path) {
        return static_cast<double>(std::filesystem::file_size(path));
    };
    const double part1 = size(target());
    const double part2 = size(dir.file("movie2.avi"));
    EXPECT_LT(std::abs(part1 - part2), 7056 + 20000) << part1 << " " << part2; // within a frame
}

TEST_F(MuxEngineTest, SplitBySizeBelowOnePartKeepsTheWholeMovie) {
    settings.split = true;
    settings.splitAfterSize = true;
    settings.splitSizeText = "700";
    ASSERT_EQ(run(true).outcome, MuxOutcome::Done);
    EXPECT_EQ(readStream(target(), true).frames.size(), 50u);
    EXPECT_EQ(run(false).outcome, MuxOutcome::Empty);
    EXPECT_FALSE(std::filesystem::exists(dir.file("movie2.avi")));
    EXPECT_TRUE(sink.errors.empty());
}

TEST_F(MuxEngineTest, KeyFrameSearchTakesTheNearerAndForwardOnATie) {
    TestVideo layout;
    layout.frames = 1100;
    layout.keyFrames = {0, 1000, 1010};
    ASSERT_TRUE(writeVideoAvi(video(), layout));
    platform::vfw::AVIFileInit();
    platform::vfw::PAVISTREAM s = nullptr;
    ASSERT_EQ(platform::vfw::AVIStreamOpenFromFile(&s, video(), platform::vfw::streamtypeVIDEO, 0,
                                                   platform::vfw::OF_READ),
              platform::vfw::AVIERR_OK);
    EXPECT_EQ(nearestKeyFrame(s, 1005, 1100), 1010);
    EXPECT_EQ(nearestKeyFrame(s, 1004, 1100), 1000);
    EXPECT_EQ(nearestKeyFrame(s, 1010, 1100), 1010);
    EXPECT_EQ(nearestKeyFrame(s, 1090, 1100), 1100); // nothing after: the end is nearer
    EXPECT_EQ(nearestKeyFrame(s, 400, 1100), 0);
    platform::vfw::AVIStreamRelease(s);
    platform::vfw::AVIFileExit();
}

TEST_F(MuxEngineTest, AutosynchSetsTheRateThatFitsTheAudio) {
    writeBytes(wav(), pcmWav(70560)); // 1.6 s for 50 frames
    settings.autosynch = true;
    const MuxResult result = run();
    ASSERT_EQ(result.outcome, MuxOutcome::Done);
    EXPECT_DOUBLE_EQ(result.values.audioSeconds, 1.6);
    EXPECT_DOUBLE_EQ(result.values.newFps, 31.25);
    const StreamContent v = readStream(target(), true);
    EXPECT_EQ(v.rate, 312500u);
    EXPECT_EQ(v.scale, 10000u);
    EXPECT_EQ(readStream(target(), false).bytes, pcmData(0, 70560));

    settings.autosynch = false;
    ASSERT_EQ(run().outcome, MuxOutcome::Done);
    EXPECT_EQ(readStream(target(), true).rate, 25u);
}

TEST_F(MuxEngineTest, AudioLongerThanTheVideoIsCutAtThePartsEnd) {
    writeBytes(wav(), pcmWav(3 * 44100));
    settings.autosynch = true;
    MuxResult result = run();
    ASSERT_EQ(result.outcome, MuxOutcome::Done);
    EXPECT_DOUBLE_EQ(result.values.audioSeconds, 2.0);
    EXPECT_DOUBLE_EQ(result.values.newFps, 25.0);
    EXPECT_EQ(readStream(target(), false).bytes, pcmData(0, TwoSeconds));

    // The first part of a split: the audio stops at the split; the values and the rate stay those of
    // the whole movie.
    TestVideo layout;
    layout.keyFrames = {0, 30};
    ASSERT_TRUE(writeVideoAvi(video(), layout));
    settings.split = true;
    result = run();
    ASSERT_EQ(result.outcome, MuxOutcome::Done);
    EXPECT_DOUBLE_EQ(result.values.audioSeconds, 2.0);
    EXPECT_DOUBLE_EQ(result.values.newFps, 25.0);
    EXPECT_EQ(readStream(target(), true).rate, 250000u);
    EXPECT_EQ(readStream(target(), false).bytes.size(), static_cast<size_t>(52921 * Bytes));
}

TEST_F(MuxEngineTest, ClipIsAppendedAfterTheFirstPart) {
    std::filesystem::create_directory(dir.path() / "Vexlor");
    TestVideo clip;
    clip.frames = 5;
    clip.keyFrames = {3};
    ASSERT_TRUE(writeVideoAvi(dir.file("Vexlor/Vexlor8x4.avi"), clip));
    settings.clip = true;
    settings.logoPrefix = dir.file("Vexlor/Vexlor");
    settings.split = true;
    const MuxResult result = run(true);
    ASSERT_EQ(result.outcome, MuxOutcome::Done);
    EXPECT_TRUE(result.clipAdded);
    EXPECT_EQ(result.clipFrames, 5);
    const StreamContent v = readStream(target(), true);
    ASSERT_EQ(v.frames.size(), 30u + 5u); // split at 30 (tie between 20 and 30)
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(v.frames[30 + i], testFrameBytes(i));
        EXPECT_EQ(v.keys[30 + i], i == 0 || i == 3) << i;
    }
    EXPECT_EQ(run(false).outcome, MuxOutcome::Done);
    EXPECT_EQ(readStream(dir.file("movie2.avi"), true).frames.size(), 20u);
}

TEST_F(MuxEngineTest, MissingClipIsANoticeOnly) {
    settings.clip = true;
    settings.logoPrefix = dir.file("Vexlor/Vexlor");
    const MuxResult result = run();
    ASSERT_EQ(result.outcome, MuxOutcome::Done);
    EXPECT_FALSE(result.clipAdded);
    EXPECT_EQ(sink.notices, std::vector<std::string>{"VEXLOR : UNSUPPORTED RESOLUTION 8x4 !"});
    EXPECT_TRUE(sink.errors.empty());
    EXPECT_EQ(readStream(target(), true).frames.size(), 50u);
}

// Pictures of another codec after the movie's would not decode: such a clip counts as missing. The
// codec's name is compared without regard to case ("divx" and "DIVX" are one codec).
TEST_F(MuxEngineTest, AClipOfAnotherCodecIsANoticeOnly) {
    std::filesystem::create_directory(dir.path() / "Vexlor");
    TestVideo clip;
    clip.frames = 5;
    clip.fourcc = "DIV3";
    ASSERT_TRUE(writeVideoAvi(dir.file("Vexlor/Vexlor8x4.avi"), clip));
    settings.clip = true;
    settings.logoPrefix = dir.file("Vexlor/Vexlor");
    MuxResult result = run();
    ASSERT_EQ(result.outcome, MuxOutcome::Done);
    EXPECT_FALSE(result.clipAdded);
    EXPECT_EQ(sink.notices, std::vector<std::string>{"VEXLOR : Vexlor8x4.avi IS NOT CODED AS THE MOVIE !"});
    EXPECT_TRUE(sink.errors.empty());
    EXPECT_EQ(readStream(target(), true).frames.size(), 50u);

    clip.fourcc = "divx";
    ASSERT_TRUE(writeVideoAvi(dir.file("Vexlor/Vexlor8x4.avi"), clip));
    result = run();
    ASSERT_EQ(result.outcome, MuxOutcome::Done);
    EXPECT_TRUE(result.clipAdded);
    EXPECT_EQ(readStream(target(), true).frames.size(), 55u);
}

TEST_F(MuxEngineTest, FailuresLeaveTheTargetAndTheAudioNameAsTheyWere) {
    writeBytes(target(), "a whole movie");
    settings.source = dir.file("missing.avi");
    EXPECT_EQ(run().outcome, MuxOutcome::Failed);
    settings.source = video();
    writeBytes(wav(), "not a wave file at all");
    EXPECT_EQ(run().outcome, MuxOutcome::Failed);
    EXPECT_EQ(sink.errors, (std::vector<std::string>{NoVideoStreamText, NoAudioStreamText}));
    EXPECT_EQ(readBytes(target()), "a whole movie");
    EXPECT_EQ(readBytes(wav()), "not a wave file at all");
    expectCleanFolder();
    EXPECT_EQ(sink.timersOn, sink.timersOff);

    settings.target = dir.file("no such folder/movie.avi");
    writeBytes(wav(), pcmWav(TwoSeconds));
    EXPECT_EQ(run().outcome, MuxOutcome::Failed);
    EXPECT_EQ(sink.errors.back(), CannotCreateTargetText);
}

TEST_F(MuxEngineTest, AStaleRenamedFileIsNotMuxedInstead) {
    writeBytes(dir.file(MuxWavName), pcmWav(100));
    ASSERT_EQ(run().outcome, MuxOutcome::Done);
    EXPECT_EQ(readStream(target(), false).bytes, pcmData(0, TwoSeconds));
    EXPECT_EQ(readBytes(dir.file(MuxWavName)), pcmWav(100));
    EXPECT_EQ(readBytes(wav()), pcmWav(TwoSeconds));
}

// The program is killed in the middle of a mux: the user's audio file is still under its own name.
TEST_F(MuxEngineTest, AKilledMuxLeavesTheAudioUnderItsName) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct KillingSink : RecordingSink {
            void processMessages() override {
                if (++steps == 10)
                    ::raise(SIGKILL);
            }
        } killing;
        MuxEngine killed{killing};
        bool stop = false;
        killed.run(settings, true, stop);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the mux ended before it was killed";
    EXPECT_EQ(readBytes(wav()), pcmWav(TwoSeconds));
}

TEST_F(MuxEngineTest, StopKeepsWhatWasWrittenAndNamesTheAudioBack) {
    sink.userBreak = &userBreak;
    sink.stopAfter = 10;
    const MuxResult result = run();
    EXPECT_EQ(result.outcome, MuxOutcome::Stopped);
    EXPECT_TRUE(userBreak);
    expectCleanFolder();
    EXPECT_EQ(readStream(target(), true).frames.size(), 10u);
    EXPECT_TRUE(sink.errors.empty());

    sink.stopAfter = -1;
    EXPECT_EQ(run().outcome, MuxOutcome::Done); // a first part clears the flag
    EXPECT_FALSE(userBreak);
}

TEST_F(MuxEngineTest, SplitFirstPartReportsTheWholeAudio) {
    settings.split = true; // in halves
    const MuxResult result = run();
    ASSERT_EQ(result.outcome, MuxOutcome::Done) << (sink.errors.empty() ? "" : sink.errors[0]);
    EXPECT_DOUBLE_EQ(result.values.audioSeconds, 2.0);
    EXPECT_EQ(result.values.audioByteRate, TwoSeconds * Bytes / 2);
}

namespace {

constexpr int WmaBlock = 372; // 64 kbit/s at 44.1 kHz: 2048 samples a block, 8010 bytes a second

// Block i of a WMA stream: distinct bytes for each block.
std::string wmaBlock(int i) {
    std::string block(WmaBlock, static_cast<char>('A' + i % 26));
    block[0] = static_cast<char>(i);
    return block;
}

std::string wmaBlocks(int from, int count) {
    std::string data;
    for (int i = from; i < from + count; ++i)
        data += wmaBlock(i);
    return data;
}

// A RIFF WAVE file of WMA version 2 as the audio converter writes it.
std::string wmaWav(int blocks) {
    const std::string data = wmaBlocks(0, blocks);
    std::string format = le16(353) + le16(2) + le32(44100) + le32(8010) + le16(WmaBlock) + le16(16) +
                         le16(10) + std::string("\0\x08\0\0\x01\0\x74\x01\0\0", 10);
    return "RIFF" + le32(static_cast<uint32_t>(4 + 8 + format.size() + 8 + data.size())) + "WAVEfmt " +
           le32(static_cast<uint32_t>(format.size())) + format + "data" +
           le32(static_cast<uint32_t>(data.size())) + data;
}

} // namespace

// Audio read in coded blocks of 46 ms: the parts meet at the block nearest the split frame's time
// rather than a whole block after it, so that neither part's sound is a block off its pictures.
TEST_F(MuxEngineTest, WmaPartsMeetAtTheNearestBlock) {
    writeBytes(wav(), wmaWav(46));
    settings.split = true; // in halves: at frame 30, 1.2 s, in block 25.8 of 21.53 a second
    MuxResult result = run(true);
    ASSERT_EQ(result.outcome, MuxOutcome::Done) << (sink.errors.empty() ? "" : sink.errors[0]);
    EXPECT_EQ(result.splitFrame, 30);
    EXPECT_DOUBLE_EQ(result.values.audioSeconds, 2.0); // 43 blocks as long as the video
    ASSERT_EQ(run(false).outcome, MuxOutcome::Done);
    EXPECT_EQ(readStream(target(), false).bytes, wmaBlocks(0, 26));
    // The audio beyond the video's 2 s (43 blocks) is left out.
    EXPECT_EQ(readStream(dir.file("movie2.avi"), false).bytes, wmaBlocks(26, 43 - 26));
}
