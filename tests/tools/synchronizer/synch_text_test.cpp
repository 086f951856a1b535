#include "tools/synchronizer/synch_text.h"

#include <gtest/gtest.h>

using namespace tools::synchronizer;

TEST(SynchText, TimeTexts) {
    EXPECT_DOUBLE_EQ(converttosec("00:01:02.50"), 62.5);
    EXPECT_DOUBLE_EQ(converttosec("01:00:00x99 - 02:00:00.00"), 3600.99); // character 9 is not examined
    EXPECT_EQ(converttosec("1:01:02.50"), MalformedTime);
    EXPECT_EQ(converttosec("00:01:02.5"), MalformedTime);
    EXPECT_EQ(converttosec("00-01:02.50"), MalformedTime);
    EXPECT_EQ(converttosec(""), MalformedTime);
    EXPECT_EQ(CentisecondsToText(6250), "00:01:02.50");
    EXPECT_EQ(CentisecondsToText(360000 * 123 + 1), "123:00:00.01");
}

TEST(SynchText, Numbers) {
    EXPECT_DOUBLE_EQ(*ParseDecimal("23.976"), 23.976);
    EXPECT_DOUBLE_EQ(*ParseDecimal("1.2.3"), 1.23);
    EXPECT_DOUBLE_EQ(*ParseDecimal("25."), 25);
    EXPECT_FALSE(ParseDecimal(""));
    EXPECT_FALSE(ParseDecimal("-1"));
    EXPECT_FALSE(ParseDecimal("23,976"));
    EXPECT_TRUE(IsSignedInteger("-200"));
    EXPECT_TRUE(IsSignedInteger("0"));
    EXPECT_FALSE(IsSignedInteger("+100"));
    EXPECT_FALSE(IsSignedInteger("-"));
    EXPECT_FALSE(IsSignedInteger(""));
    EXPECT_FALSE(IsSignedInteger("1.5"));
    EXPECT_EQ(FormatFps(23.97), "23.97000");
    EXPECT_EQ(FormatFps(5), " 5.00000");
    EXPECT_EQ(fixed(62.5, 7, 2), "  62.50");
    EXPECT_EQ(fixed(1234567.5, 7, 2), "1234567.50");
}

TEST(SynchText, KeyFilters) {
    auto passes = [](void (*filter)(char&), char key) {
        filter(key);
        return key != 0;
    };
    EXPECT_TRUE(passes(rateKeyFilter, '7'));
    EXPECT_TRUE(passes(rateKeyFilter, '.'));
    EXPECT_TRUE(passes(rateKeyFilter, '\b'));
    EXPECT_TRUE(passes(rateKeyFilter, ' '));
    EXPECT_FALSE(passes(rateKeyFilter, '-'));
    EXPECT_FALSE(passes(rateKeyFilter, static_cast<char>(0xC3))); // a non-ASCII byte is not a control key
    EXPECT_TRUE(passes(delayKeyFilter, '-'));
    EXPECT_TRUE(passes(delayKeyFilter, '+'));
    EXPECT_FALSE(passes(delayKeyFilter, 'a'));
    EXPECT_TRUE(passes(signKeyFilter, '+'));
    EXPECT_FALSE(passes(signKeyFilter, '\b'));
    EXPECT_FALSE(passes(signKeyFilter, '1'));
    EXPECT_TRUE(passes(gotoTimeKeyFilter, ':'));
    EXPECT_FALSE(passes(gotoTimeKeyFilter, '.'));
    EXPECT_FALSE(passes(gotoFrameKeyFilter, ':'));
    EXPECT_TRUE(passes(gotoFrameKeyFilter, '\r'));
}
