// The autotest series: which delays and frame rates "Play/Next" steps through, and when it ends.
#include "tools/synchronizer/autotest.h"
#include "tools/synchronizer/synch_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace tools::synchronizer {
namespace {

// The values a series plays until it is done (at most `limit`, against a series that never ends).
std::vector<int32_t> playedDelays(AutotestSeries series, int limit = 100) {
    std::vector<int32_t> played;
    while (!series.AutotestDone && static_cast<int>(played.size()) < limit) {
        played.push_back(series.CurDelay);
        advanceDelay(series);
    }
    return played;
}

TEST(AutotestSeries, DelaySeriesPlaysEachStepUpToTheLastValue) {
    AutotestSeries series;
    GetAllDelay(series, "-200", "200", "100");
    EXPECT_EQ(playedDelays(series), (std::vector<int32_t>{-200, -100, 0, 100, 200}));
    GetAllDelay(series, "0", "250", "100");
    EXPECT_EQ(playedDelays(series), (std::vector<int32_t>{0, 100, 200}));
}

TEST(AutotestSeries, DelayTextsThatAreNoSignedIntegerKeepThePreviousValue) {
    AutotestSeries series;
    GetAllDelay(series, "-200", "200", "100");
    series.AutotestDone = true;
    GetAllDelay(series, "+100", "", "1x");
    EXPECT_FALSE(series.AutotestDone) << "any change starts the series anew";
    EXPECT_EQ(series.CurDelay, -200);
    EXPECT_EQ(series.Delay2, 200);
    EXPECT_EQ(series.DelayStep, 100);
    GetAllDelay(series, "99999999999", "-", "-5");
    EXPECT_EQ(series.CurDelay, -200) << "beyond 32 bits";
    EXPECT_EQ(series.DelayStep, -5);
}

TEST(AutotestSeries, DelaySumBeyond32BitsEndsTheSeries) {
    AutotestSeries series;
    series.CurDelay = std::numeric_limits<int32_t>::max() - 1;
    series.Delay2 = std::numeric_limits<int32_t>::max();
    series.DelayStep = 10;
    advanceDelay(series);
    EXPECT_TRUE(series.AutotestDone);
}

TEST(AutotestSeries, DelayTextsCarryTheSignApart) {
    EXPECT_EQ(delayTexts(-200).sign, "-");
    EXPECT_EQ(delayTexts(-200).newStart, "200");
    EXPECT_EQ(delayTexts(0).sign, "+");
    EXPECT_EQ(delayTexts(0).newStart, "0");
    EXPECT_EQ(delayTexts(std::numeric_limits<int32_t>::min()).newStart, "2147483648");
}

TEST(AutotestSeries, FpsSeriesEndsAfterTheFirstValueAboveTheLastPlusAStep) {
    AutotestSeries series;
    EXPECT_TRUE(GetAllFPS(series, "23.970", "23.990", "0.010").empty());
    std::vector<std::string> played;
    while (!series.AutotestDone && played.size() < 10) {
        played.push_back(FormatFps(series.CurFps));
        advanceFps(series);
    }
    ASSERT_GE(played.size(), 3u);
    ASSERT_LE(played.size(), 4u);
    EXPECT_EQ(played[0], "23.97000");
    EXPECT_EQ(played[1], "23.98000");
    EXPECT_EQ(played[2], "23.99000");
    if (played.size() == 4) {
        EXPECT_EQ(played[3], "24.00000");
    }
}

TEST(AutotestSeries, InvalidFpsTextsAreReportedAndReadAsZero) {
    AutotestSeries series;
    GetAllFPS(series, "25", "30", "1");
    const auto invalid = GetAllFPS(series, "2a", "", "0.5");
    EXPECT_EQ(invalid, (std::vector<std::string>{"2a"}));
    EXPECT_EQ(series.CurFps, 0.0);
    EXPECT_EQ(series.Fps2, 30.0) << "an empty text keeps the value";
    EXPECT_EQ(series.FpsStep, 0.5);
}

} // namespace
} // namespace tools::synchronizer
