// The audio page's compression table, gain label and the command lines that count and play streams.
#include "kes/audio_formats.h"
#include "kes/audio_stream_lines.h"

#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/audio_converter/mp3_sources.h"
#include "tools/audio_converter/target_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace kes {
namespace {

using Lines = std::vector<std::string>;

struct Row {
    const char* codec;
    const char* mode;
    const char* rate;
    const char* chosenRate;
    const char* bitrate;
    Lines bitrates;
};

TEST(CompressionTable, EveryRowAndFallback) {
    const Lines mp3Stereo = {"96", "112", "128", "160", "192"};
    const Lines mp3Mono = {"64", "56", "48"};
    const std::vector<Row> rows = {
        {"MP3", "Stereo", "44.1", "44.1", "96", mp3Stereo},
        {"MP3", "Stereo", "22.05", "22.05", "64", mp3Mono},
        {"MP3", "Stereo", "48", "48", "96", mp3Stereo},
        {"MP3", "Stereo", "32", "48", "96", mp3Stereo},
        {"MP3", "Mono", "44.1", "44.1", "64", mp3Mono},
        {"MP3", "Mono", "22.05", "22.05", "32", {"32", "24"}},
        {"MP3", "Mono", "", "48", "64", mp3Mono},
        {"WMA", "Stereo", "32", "32", "64", {"64"}},
        {"WMA", "Stereo", "22.05", "22.05", "32", {"32"}},
        {"WMA", "Stereo", "48", "44.1", "64", {"64"}},
        {"WMA", "Mono", "22.05", "32", "32", {"32"}},
        {"WMA", "Mono", "16", "32", "32", {"32"}},
        {"WMA", "Mono", "44.1", "32", "32", {"32"}},
    };
    for (const Row& row : rows) {
        const CompressionChoice choice = compressionChoice(row.codec, row.mode, row.rate);
        const std::string where = std::string(row.codec) + " " + row.mode + " " + row.rate;
        EXPECT_EQ(choice.sampleRate, row.chosenRate) << where;
        EXPECT_EQ(choice.bitrate, row.bitrate) << where;
        EXPECT_EQ(choice.bitrates, row.bitrates) << where;
    }
    EXPECT_EQ(compressionChoice("MP3", "Mono", "48").sampleRates, (Lines{"48", "44.1"}));
    EXPECT_EQ(compressionChoice("WMA", "Stereo", "48").sampleRates, (Lines{"44.1", "32", "22.05"}));
    EXPECT_EQ(compressionChoice("WMA", "Mono", "48").sampleRates, (Lines{"32"}));
}

// Every codec, mode, sample rate and bit rate the page can show converts a WAV into audio FFmpeg
// reads back at the chosen rate and channel count (a choice no encoder can make is not offered).
TEST(CompressionTable, EveryChoiceOfThePageConverts) {
    kes::test::TempDir dir;
    std::vector<double> tone;
    for (int i = 0; i < 48000 / 4; ++i)
        for (int c = 0; c < 2; ++c)
            tone.push_back(0.3 * std::sin(i * 0.03 * (c + 1)));
    ASSERT_TRUE(kes::test::writeLavfWav(dir.file("in.wav"), kes::test::LavfPcm::S16, 48000, 2, tone));
    int choices = 0;
    for (const char* codec : {"MP3", "WMA"}) {
        for (const char* mode : {"Stereo", "Mono"}) {
            for (const std::string& rate : compressionChoice(codec, mode, "").sampleRates) {
                for (const std::string& bitrate : compressionChoice(codec, mode, rate).bitrates) {
                    const std::string wf =
                        std::string("WF=") + codec + "/" + mode[0] + "/" + rate + "/" + bitrate;
                    SCOPED_TRACE(wf);
                    EXPECT_TRUE(tools::audio_converter::targetCanBeMade(wf));
                    const std::string out = dir.file("out" + std::to_string(++choices) + ".wav");
                    std::string error;
                    ASSERT_TRUE(kes::test::convertWithLame(dir.file("in.wav"), out, wf, error)) << error;
                    const kes::test::LavfProbe probe = kes::test::probeLavf(out);
                    const kes::test::LavfStream* audio = probe.first("audio");
                    ASSERT_NE(audio, nullptr);
                    EXPECT_EQ(audio->codec, std::string(codec) == "MP3" ? "mp3" : "wmav2");
                    EXPECT_EQ(audio->channels, std::string(mode) == "Stereo" ? 2 : 1);
                    EXPECT_NEAR(audio->seconds, 0.25, 0.1);
                }
            }
        }
    }
    EXPECT_EQ(choices, 20);
}

TEST(CompressionTable, OnlyExactTextsCountAsMp3AndStereo) {
    // "mp3" is WMA, "stereo" is mono.
    EXPECT_EQ(compressionChoice("mp3", "Stereo", "48").sampleRate, "44.1");
    EXPECT_EQ(compressionChoice("MP3", "stereo", "22.05").bitrate, "32");
    EXPECT_EQ(codecDefaults("mp3").bitrate, "64");
    const CodecDefaults mp3 = codecDefaults("MP3");
    EXPECT_EQ(mp3.sampleRate, "44.1");
    EXPECT_EQ(mp3.mode, "Stereo");
    EXPECT_EQ(mp3.bitrate, "128");
    EXPECT_EQ(mp3.sampleRates, (Lines{"48", "44.1"}));
}

TEST(GainLabel, FiveCharactersOneDecimal) {
    EXPECT_EQ(gainText(100), " 10.0 db");
    EXPECT_EQ(gainText(10), "  1.0 db");
    EXPECT_EQ(gainText(300), " 30.0 db");
    EXPECT_EQ(gainText(125), " 12.5 db");
}

TEST(StreamLines, CountAndPlayLinesQuoteTheVob) {
    const std::string ext = "/p/extern/";
    EXPECT_EQ(streamCountLine(ext, "/d v/VTS_01_1.VOB"),
              "/p/extern/Tonegrab.exe \"/d v/VTS_01_1.VOB\" X X X X");
    // Five parameters in both forms: the flag is a parameter of its own.
    EXPECT_EQ(flippedStreamCountLine(ext, "/d/a.VOB", true), "/p/extern/Tonegrab.exe \"/d/a.VOB\" X X X 1 ");
    EXPECT_EQ(flippedStreamCountLine(ext, "/d/a.VOB", false), "/p/extern/Tonegrab.exe \"/d/a.VOB\" X X X X ");
    EXPECT_EQ(ac3PlayLine(ext, "/d/a.VOB", '2'),
              "/p/extern/ac3dec.exe \"/d/a.VOB\" -substream 0x82 -pcm -out");
    EXPECT_EQ(tonegrabPlayLine(ext, "/d/a.VOB", '1', "44.1", false),
              "/p/extern/Tonegrab.exe \"/d/a.VOB\" X 1 44.1 X ");
}

TEST(StreamLines, StreamDigitOnlyFromTheText) {
    EXPECT_EQ(streamDigit("0x81"), '1');
    EXPECT_EQ(streamDigit("0x83 [English]"), '3');
    EXPECT_FALSE(streamDigit("0x8"));
    EXPECT_FALSE(streamDigit(""));
    EXPECT_FALSE(streamDigit("0x8?"));
}

TEST(StreamLines, CountFileIsItsFirstByte) {
    const test::TempDir dir{"kes-count"};
    const std::string ext = dir.str() + "/";
    EXPECT_FALSE(readStreamCount(ext));
    test::writeBytes(dir.path() / "sn.fnd", "");
    EXPECT_FALSE(readStreamCount(ext));
    test::writeBytes(dir.path() / "sn.fnd", std::string(1, '\3'));
    EXPECT_EQ(readStreamCount(ext), 3);
    test::writeBytes(dir.path() / "sn.fnd", std::string("\xC8junk", 5));
    EXPECT_EQ(readStreamCount(ext), 200);
}

} // namespace
} // namespace kes
