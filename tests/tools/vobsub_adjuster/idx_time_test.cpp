#include "tools/vobsub_adjuster/idx_time.h"

#include <gtest/gtest.h>

using namespace tools::vobsub_adjuster;

TEST(IdxTime, TimeTextsBothWays) {
    EXPECT_EQ(real2time(1.005), "00:00:01:005");
    EXPECT_EQ(real2time(3723.25), "01:02:03:250");
    EXPECT_EQ(real2time(0), "00:00:00:000");
    // A fraction that rounds up to a whole second carries into the seconds instead of "1000".
    EXPECT_EQ(real2time(59.9996), "00:01:00:000");
    EXPECT_EQ(real2time(-3), "00:00:00:000");
    EXPECT_EQ(real2time(400000), "99:59:59:999");
    EXPECT_DOUBLE_EQ(time2real(false, 1, 2, 3, 250), 3723.25);
    EXPECT_DOUBLE_EQ(time2real(true, 0, 0, 2, 0), -2);
    EXPECT_EQ(*timestampSeconds("timestamp: 01:02:03:250, filepos: 000000000"), 3723.25);
}

TEST(IdxTime, MalformedTimestampsAreNotRead) {
    EXPECT_FALSE(timestampSeconds("timestamp: 01:02:03"));
    EXPECT_FALSE(timestampSeconds("timestamp: 01:0x:03:250, filepos: 0"));
    EXPECT_FALSE(timestampSeconds("timestamp: 01-02-03-250, filepos: 0"));
    EXPECT_FALSE(timestampSeconds(""));
    const std::string broken = "timestamp: 00:0?:01:000, filepos: 000000000";
    EXPECT_EQ(adjust(broken, TimeOperation::Add, 5), broken);
}

TEST(IdxTime, AdjustKeepsTheRestOfTheLine) {
    const std::string line = "timestamp: 00:00:03:000, filepos: 00000a800";
    EXPECT_EQ(adjust(line, TimeOperation::Add, -2), "timestamp: 00:00:01:000, filepos: 00000a800");
    EXPECT_EQ(adjust(line, TimeOperation::Add, -5), "timestamp: 00:00:00:000, filepos: 00000a800");
    EXPECT_EQ(adjust(line, TimeOperation::Multiply, 23.976 / 25),
              "timestamp: 00:00:02:877, filepos: 00000a800");
}

TEST(IdxTime, EditTexts) {
    EXPECT_EQ(thousandthsDigits("5"), "500");
    EXPECT_EQ(thousandthsDigits("05"), "050");
    EXPECT_EQ(thousandthsDigits("123"), "123");
    EXPECT_EQ(thousandthsDigits(""), "");
    EXPECT_DOUBLE_EQ(*decimalValue("23.976"), 23.976);
    EXPECT_DOUBLE_EQ(*decimalValue("1.2.3"), 1.23);
    EXPECT_DOUBLE_EQ(*decimalValue("25"), 25);
    EXPECT_FALSE(decimalValue("2,5"));
    EXPECT_FALSE(decimalValue(""));
    EXPECT_FALSE(decimalValue("-1"));
}
