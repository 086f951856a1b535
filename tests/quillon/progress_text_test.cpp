#include "quillon/build_date.h"
#include "quillon/progress_feed.h"
#include "quillon/progress_text.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(ProgressText, Durations) {
    EXPECT_EQ(durationText(-5), "0:00:00");
    EXPECT_EQ(durationText(0), "0:00:00");
    EXPECT_EQ(durationText(59), "0:00:59");
    EXPECT_EQ(durationText(3600), "1:00:00");
    EXPECT_EQ(durationText(4 * 3600 + 5 * 60 + 9), "4:05:09");
    EXPECT_EQ(durationText(359999), "99:59:59");
    EXPECT_EQ(durationText(360000), "infinite");
}

TEST(ProgressText, LocationPercentAndRemainingTime) {
    EXPECT_EQ(locationText(0, 4096), "0 / 4096");
    EXPECT_EQ(locationText(5000000000, 9000000000), "5000000000 / 9000000000");
    EXPECT_EQ(percentText(percentOf(1, 3)), "33.33%");
    EXPECT_EQ(barPercent(percentOf(1, 3)), 33);
    EXPECT_EQ(percentText(percentOf(0, 0)), "0.00%");
    EXPECT_EQ(percentText(percentOf(3, 3)), "100.00%");
    EXPECT_EQ(barPercent(percentOf(999, 1000)), 99);
    EXPECT_EQ(remainingSeconds(10, 25, 100), 30);
    EXPECT_EQ(remainingSeconds(10, 0, 100), 0);
}

TEST(ProgressFeed, TheCurrentFileIsTakenOncePerChange) {
    ProgressFeed feed;
    EXPECT_FALSE(feed.takeCurrentFile());
    feed.setCurrentFile("/v/VTS_01_1.VOB");
    feed.setPosition(77);
    EXPECT_EQ(feed.takeCurrentFile(), "/v/VTS_01_1.VOB");
    EXPECT_FALSE(feed.takeCurrentFile());
    EXPECT_EQ(feed.position(), 77);
    feed.reset();
    EXPECT_EQ(feed.position(), 0);
}

TEST(BuildDate, MonthNamesFromTheCompilersDate) {
    EXPECT_EQ(buildDateText("May 24 2000"), "May 24, 2000");
    EXPECT_EQ(buildDateText("Sep  3 2024"), "September  3, 2024");
    EXPECT_EQ(buildDateText("Jan 01 1999"), "January 01, 1999");
    EXPECT_EQ(buildDateText("Foo 24 2000"), "Foo 24 2000");
    EXPECT_EQ(buildDateText("May"), "May");
}

} // namespace
} // namespace quillon
