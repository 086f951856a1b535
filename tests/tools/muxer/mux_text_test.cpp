#include "tools/muxer/mux_engine.h"
#include "tools/muxer/mux_text.h"

#include <gtest/gtest.h>

using namespace tools::muxer;

TEST(MuxText, DelayNumbers) {
    EXPECT_DOUBLE_EQ(parseDelayText("0.5").value, 0.5);
    EXPECT_DOUBLE_EQ(parseDelayText("12").value, 12.0);
    EXPECT_DOUBLE_EQ(parseDelayText(".25").value, 0.25);
    EXPECT_DOUBLE_EQ(parseDelayText("1.2.3").value, 1.23); // later dots are skipped
    EXPECT_TRUE(parseDelayText("").valid);
    EXPECT_DOUBLE_EQ(parseDelayText("").value, 0.0);
    for (const char* bad : {"1,5", "-1", "0.5 ", "1e3"}) {
        EXPECT_FALSE(parseDelayText(bad).valid) << bad;
        EXPECT_DOUBLE_EQ(parseDelayText(bad).value, 0.0) << bad;
    }
}

TEST(MuxText, TimerTexts) {
    EXPECT_EQ(muxTimeText(0), "00:00:00");
    EXPECT_EQ(muxTimeText(1), "00:00:00");
    EXPECT_EQ(muxTimeText(2), "00:00:02");
    EXPECT_EQ(muxTimeText(3661), "01:01:01");
    EXPECT_EQ(muxTimeText(359999), "99:59:59");
    EXPECT_EQ(muxTimeText(360000), "00:00:00"); // three-digit hours
    EXPECT_EQ(totalSecondsDown(10, 33.0), 30);
    EXPECT_EQ(totalSecondsDown(1, 0.0), 10000);  // 0 % counts as 0.01 %
    EXPECT_EQ(totalSecondsNearest(3, 40.0), 8);  // 7.5 to the even neighbour
    EXPECT_EQ(totalSecondsNearest(5, 40.0), 12); // 12.5 likewise
    EXPECT_EQ(totalSecondsDown(1000000, 0.0), 2147483647);
    EXPECT_EQ(elapsedText(5, 3700), "Elapsed : 00:00:05 - Total time : 01:01:40");
}

TEST(MuxText, NamesOfPartsAndClips) {
    EXPECT_EQ(secondPartName("/movies/movie.avi"), "/movies/movie2.avi");
    EXPECT_EQ(secondPartName("/movies.old/movie"), "/movies.old/movie2");
    EXPECT_EQ(clipPathOf("/prog/Vexlor/Vexlor", 640, 272), "/prog/Vexlor/Vexlor640x272.avi");
    EXPECT_EQ(unsupportedResolutionText(720, 576), "VEXLOR : UNSUPPORTED RESOLUTION 720x576 !");
}

TEST(MuxText, SplitParts) {
    MuxSettings s;
    s.split = true;
    EXPECT_DOUBLE_EQ(splitParts(s), 2.0); // halves
    s.splitAfterSize = true;
    s.splitSizeText = "700";
    s.videoBytes = 600000000;
    s.audioBytes = 100000000;
    EXPECT_DOUBLE_EQ(splitParts(s), 1.0); // 700,000,000 / 716,800,000 is below 1
    s.splitSizeText = "650";
    s.videoBytes = 1300000000;
    s.audioBytes = 1300000000;
    EXPECT_DOUBLE_EQ(splitParts(s), 2600000000.0 / (650.0 * 1024000.0)); // no 32-bit overflow
    s.splitSizeText = "0";
    EXPECT_DOUBLE_EQ(splitParts(s), 1.0);
    s.splitSizeText = "";
    EXPECT_DOUBLE_EQ(splitParts(s), 1.0);
}
