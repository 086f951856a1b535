#include "tests/tools/muxer/mux_test_files.h"
#include "tests/tools/muxer/mux_test_sink.h"

#include "tests/support/temp_dir.h"

#include "tools/muxer/demux_engine.h"
#include "tools/muxer/mux_sizes.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tools::muxer;
using namespace kes::test;

namespace {

class DemuxTest : public ::testing::Test {
protected:
    // Muxes a video and the given WAV file into movie.avi.
    void muxWith(const std::string& wavBytes) {
        ASSERT_TRUE(writeVideoAvi(dir.file("video.avi"), TestVideo{}));
        writeBytes(dir.file("audio.wav"), wavBytes);
        MuxSettings s;
        s.source = dir.file("video.avi");
        s.wavSource = dir.file("audio.wav");
        s.target = dir.file("movie.avi");
        MuxEngine mux(sink);
        ASSERT_EQ(mux.run(s, true, userBreak).outcome, MuxOutcome::Done);
    }
    DemuxResult demux(const std::string& source, const std::string& target) {
        return engine.run(source, target, userBreak);
    }

    TempDir dir;
    RecordingSink sink;
    DemuxEngine engine{sink};
    bool userBreak = true;
};

} // namespace

TEST_F(DemuxTest, Mp3AudioComesBackAsTheSameWaveFile) {
    muxWith(mp3Wav(76));
    const DemuxResult result = demux(dir.file("movie.avi"), dir.file("out.wav"));
    EXPECT_EQ(result.outcome, MuxOutcome::Done);
    EXPECT_FALSE(userBreak);
    // "RIFF", format size + 20 + data size, "WAVEfmt ", 30, the format, "data", the data size, the bytes.
    EXPECT_EQ(readBytes(dir.file("out.wav")), mp3Wav(76));
    EXPECT_EQ(readLE32(readBytes(dir.file("out.wav")), 4), 30u + 20u + 76u * 417u);
}

TEST_F(DemuxTest, PcmDataSizeCountsBytesNotSamples) {
    muxWith(pcmWav(88200));
    ASSERT_EQ(demux(dir.file("movie.avi"), dir.file("out.wav")).outcome, MuxOutcome::Done);
    EXPECT_EQ(readBytes(dir.file("out.wav")), pcmWav(88200));
}

TEST_F(DemuxTest, StopLeavesACompleteShorterFile) {
    muxWith(pcmWav(88200));
    sink.steps = 0;
    sink.userBreak = &userBreak;
    sink.stopAfter = 3;
    EXPECT_EQ(demux(dir.file("movie.avi"), dir.file("out.wav")).outcome, MuxOutcome::Stopped);
    const std::string out = readBytes(dir.file("out.wav"));
    ASSERT_GT(out.size(), 44u);
    EXPECT_LT(out.size(), pcmWav(88200).size());
    EXPECT_EQ(readLE32(out, 4), out.size() - 8);
    EXPECT_EQ(readLE32(out, 40), out.size() - 44);
    EXPECT_EQ(out, pcmWav((out.size() - 44) / 4));
}

TEST_F(DemuxTest, NoAudioStreamIsAFailureThatWritesNothing) {
    ASSERT_TRUE(writeVideoAvi(dir.file("video.avi"), TestVideo{}));
    writeBytes(dir.file("out.wav"), "an older file");
    EXPECT_EQ(demux(dir.file("video.avi"), dir.file("out.wav")).outcome, MuxOutcome::Failed);
    EXPECT_EQ(demux(dir.file("missing.avi"), dir.file("out.wav")).outcome, MuxOutcome::Failed);
    EXPECT_EQ(sink.errors, (std::vector<std::string>{NoAudioStreamText, NoAudioStreamText}));
    EXPECT_EQ(readBytes(dir.file("out.wav")), "an older file");
}

TEST(MuxSizes, VideoAndAudioEstimates) {
    TempDir dir;
    ASSERT_TRUE(writeVideoAvi(dir.file("video.avi"), TestVideo{}));
    ASSERT_TRUE(writeMovieAvi(dir.file("movie.avi"), TestVideo{}, 1764));
    const std::string videoOnly = readBytes(dir.file("video.avi"));
    const size_t movi = videoOnly.find("movi");
    ASSERT_NE(movi, std::string::npos);
    EXPECT_EQ(getVideoSize(dir.file("video.avi")), readLE32(videoOnly, movi - 4));
    const std::string movie = readBytes(dir.file("movie.avi"));
    const size_t movieMovi = movie.find("movi");
    EXPECT_EQ(getAudioSize(dir.file("movie.avi")), 50 * 1764 * 4);
    EXPECT_EQ(getVideoSize(dir.file("movie.avi")), int64_t{readLE32(movie, movieMovi - 4)} - 50 * 1764 * 4);

    EXPECT_EQ(getVideoSize(dir.file("missing.avi")), 0);
    writeBytes(dir.file("text.avi"), "a movie about movies, no list here");
    EXPECT_EQ(getVideoSize(dir.file("text.avi")), 34); // "movie" does not count: the file's size
    EXPECT_EQ(getAudioSize(dir.file("text.avi")), 0);

    writeBytes(dir.file("song.MP3"), mp3Wav(10));
    int64_t bytes = -1;
    EXPECT_TRUE(measureAudioSource(dir.file("song.MP3"), bytes));
    EXPECT_EQ(bytes, 4170);
    EXPECT_TRUE(std::filesystem::exists(dir.file("song.MP3")));
    EXPECT_FALSE(std::filesystem::exists(dir.file(SizeWavName)));
    EXPECT_FALSE(measureAudioSource(dir.file("movie.avi"), bytes));
    EXPECT_FALSE(measureAudioSource(dir.file("none.wav"), bytes));
}

TEST(MuxDamage, CutAndScrambledFilesNeverCrashOrHang) {
    TempDir dir;
    ASSERT_TRUE(writeMovieAvi(dir.file("movie.avi"), TestVideo{}, 1764));
    const std::string whole = readBytes(dir.file("movie.avi"));
    const std::string wave = pcmWav(88200);
    RecordingSink sink;
    bool userBreak = false;
    for (size_t cut : {size_t{12}, size_t{100}, size_t{400}, whole.size() / 2, whole.size() - 10}) {
        std::string damaged = whole.substr(0, cut);
        writeBytes(dir.file("damaged.avi"), damaged);
        std::string scrambled = whole;
        for (size_t i = 16; i < scrambled.size() && i < 600; i += 7)
            scrambled[i] = static_cast<char>(scrambled[i] ^ 0x5A);
        writeBytes(dir.file("scrambled.avi"), scrambled);
        writeBytes(dir.file("damaged.wav"), wave.substr(0, std::min(cut, wave.size())));
        for (const char* source : {"damaged.avi", "scrambled.avi"}) {
            DemuxEngine demux(sink);
            const auto d = demux.run(dir.file(source), dir.file("out.wav"), userBreak);
            EXPECT_NE(d.outcome, MuxOutcome::Stopped);
            MuxSettings s;
            s.source = dir.file(source);
            s.wavSource = dir.file("damaged.wav");
            s.target = dir.file("out.avi");
            s.split = true;
            MuxEngine mux(sink);
            const auto m = mux.run(s, true, userBreak);
            EXPECT_NE(m.outcome, MuxOutcome::Stopped);
            EXPECT_TRUE(std::filesystem::exists(dir.file("damaged.wav")));
            EXPECT_GE(getVideoSize(dir.file(source)), 0);
        }
    }
}
