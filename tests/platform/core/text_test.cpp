#include "platform/core/text.h"

#include <gtest/gtest.h>

#include <limits>

using namespace platform::core;

namespace {

std::string conversionMessage(std::string_view text, bool asFloat) {
    try {
        if (asFloat)
            strToFloat(text);
        else
            strToInt(text);
    } catch (const ConvertError& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(Text, IntegerParsingFollowsTheToolkit) {
    EXPECT_EQ(strToInt("42"), 42);
    EXPECT_EQ(strToInt("  -17"), -17);
    EXPECT_EQ(strToInt("+8"), 8);
    EXPECT_EQ(strToInt("$1F"), 31);
    EXPECT_EQ(strToInt("0x1f"), 31);
    EXPECT_EQ(strToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(strToInt("2147483647"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(strToInt("-2147483648"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(strToInt64("-9223372036854775808"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(strToInt64("4294967296"), 4294967296LL);
}

TEST(Text, BadIntegersRaiseTheToolkitsMessage) {
    EXPECT_EQ(conversionMessage("abc", false), "'abc' is not a valid integer value");
    for (const char* bad :
         {"", " ", "12 ", "1.5", "2147483648", "-2147483649", "$", "0x", "$1G", "--1", "1e3"})
        EXPECT_THROW(strToInt(bad), ConvertError) << bad;
    EXPECT_THROW(strToInt64("9223372036854775808"), ConvertError);
    EXPECT_EQ(strToIntDef("x1", 7), 7);
    int32_t v = 5;
    EXPECT_FALSE(tryStrToInt("99999999999", v));
    EXPECT_EQ(v, 5);
    EXPECT_TRUE(tryStrToInt("-3", v));
    EXPECT_EQ(v, -3);
}

TEST(Text, FloatParsingIgnoresTheLocale) {
    EXPECT_DOUBLE_EQ(static_cast<double>(strToFloat("1.5")), 1.5);
    EXPECT_DOUBLE_EQ(static_cast<double>(strToFloat(" -2.5e3 ")), -2500.0);
    EXPECT_DOUBLE_EQ(static_cast<double>(strToFloat(".5")), 0.5);
    EXPECT_DOUBLE_EQ(static_cast<double>(strToFloat("7.")), 7.0);
    EXPECT_EQ(conversionMessage("abc", true), "'abc' is not a valid floating point value");
    for (const char* bad : {"", ".", "1,5", "inf", "nan", "0x10", "1e", "1e+", "--1", "1.2.3"})
        EXPECT_THROW(strToFloat(bad), ConvertError) << bad;
}

TEST(Text, FixedFormatRoundsHalvesAwayFromZero) {
    EXPECT_EQ(formatFixed(1.5L, 0), "2");
    EXPECT_EQ(formatFixed(2.5L, 0), "3");
    EXPECT_EQ(formatFixed(-2.5L, 0), "-3");
    EXPECT_EQ(formatFixed(0.125L, 2), "0.13");
    EXPECT_EQ(formatFixed(1234567.891L, 1), "1234567.9");
    EXPECT_EQ(formatFixed(0.0L, 2), "0.00");
    EXPECT_EQ(formatFixed(-0.001L, 2), "0.00"); // no minus before a zero
    EXPECT_EQ(formatFixed(9.999L, 2), "10.00");
    EXPECT_EQ(formatFixed(0.0004L, 3), "0.000");
    EXPECT_EQ(formatFixed(0.0005L, 3), "0.001");
    // Free-space texts: megabytes with one decimal, gigabytes with two.
    EXPECT_EQ(formatFixed(53687091200.0L / 1024 / 1024, 1), "51200.0");
    EXPECT_EQ(formatFixed(53687091200.0L / 1024 / 1024 / 1024, 2), "50.00");
}

TEST(Text, GeneralFormatKeepsFifteenDigits) {
    EXPECT_EQ(floatToStr(0), "0");
    EXPECT_EQ(floatToStr(1.5L), "1.5");
    EXPECT_EQ(floatToStr(-100), "-100");
    EXPECT_EQ(floatToStr(0.1), "0.1"); // the double's binary error stays below 15 digits
    EXPECT_EQ(floatToStr(1.0L / 3), "0.333333333333333");
    EXPECT_EQ(floatToStr(2.0L / 3), "0.666666666666667");
    EXPECT_EQ(floatToStr(123456789012345.0L), "123456789012345");
    EXPECT_EQ(floatToStr(1e15L), "1E15");
    EXPECT_EQ(floatToStr(1.5e20L), "1.5E20");
    EXPECT_EQ(floatToStr(0.0001L), "0.0001");
    EXPECT_EQ(floatToStr(0.00001L), "1E-5");
    EXPECT_EQ(floatToStr(-2.5e-7L), "-2.5E-7");
    EXPECT_EQ(floatToStr(999999999999999.9L), "1E15"); // rounding carries into a new digit
}

TEST(Text, RoundingTakesHalvesToEven) {
    EXPECT_EQ(roundHalfEven(0.5L), 0);
    EXPECT_EQ(roundHalfEven(1.5L), 2);
    EXPECT_EQ(roundHalfEven(2.5L), 2);
    EXPECT_EQ(roundHalfEven(3.5L), 4);
    EXPECT_EQ(roundHalfEven(-0.5L), 0);
    EXPECT_EQ(roundHalfEven(-1.5L), -2);
    EXPECT_EQ(roundHalfEven(-2.5L), -2);
    EXPECT_EQ(roundHalfEven(2.4999999L), 2);
    EXPECT_EQ(roundHalfEven(2.5000001L), 3);
    EXPECT_EQ(roundHalfEven(-2.6L), -3);
    // long double keeps the half exact where double would not.
    EXPECT_EQ(roundHalfEven(4503599627370496.5L), 4503599627370496LL);
    EXPECT_EQ(roundHalfEven(1e30L), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(truncToInt(-2.9L), -2);
    EXPECT_EQ(truncToInt(2.9L), 2);
}

TEST(Text, AsciiCaseLeavesOtherBytesAlone) {
    EXPECT_EQ(upperAscii("vts_01_2.vob \xC3\xA9"), "VTS_01_2.VOB \xC3\xA9");
    EXPECT_EQ(lowerAscii("ABC\xC3\x89z"), "abc\xC3\x89z");
    EXPECT_TRUE(equalsIgnoreCase("Profiles", "pROFILES"));
    EXPECT_FALSE(equalsIgnoreCase("\xC3\xA9", "\xC3\x89"));
    EXPECT_FALSE(equalsIgnoreCase("ab", "abc"));
    EXPECT_EQ(trim("\t  a b \r\n"), "a b");
    EXPECT_EQ(trim("   "), "");
}

TEST(Text, OneBasedHelpersClipLikeTheToolkit) {
    EXPECT_EQ(pos("b", "abcb"), 2);
    EXPECT_EQ(pos("x", "abc"), 0);
    EXPECT_EQ(pos("", "abc"), 0);
    EXPECT_EQ(copy("abcdef", 2, 3), "bcd");
    EXPECT_EQ(copy("abcdef", 5, 100), "ef");
    EXPECT_EQ(copy("abcdef", 0, 2), "ab");
    EXPECT_EQ(copy("abcdef", 7, 1), "");
    EXPECT_EQ(copy("abcdef", 2, -1), "");
    EXPECT_EQ(deleteText("abcdef", 2, 2), "adef");
    EXPECT_EQ(deleteText("abcdef", 5, 100), "abcd");
    EXPECT_EQ(deleteText("abcdef", 0, 2), "abcdef");
    EXPECT_EQ(deleteText("abcdef", 7, 1), "abcdef");
}

TEST(Text, CodePage1252RoundTrips) {
    EXPECT_EQ(cp1252ToUtf8("caf\xE9 \x80 \x9F"), "caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8");
    EXPECT_EQ(cp1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
    // Characters outside the code page, and broken UTF-8, become "?".
    EXPECT_EQ(utf8ToCp1252("\xE2\x82\xAC\xE4\xB8\xAD"), "\x80?");
    EXPECT_EQ(utf8ToCp1252("a\xC3"), "a?");
    EXPECT_EQ(utf8ToCp1252("\xC0\xAF"), "??"); // overlong "/"
    EXPECT_EQ(utf8ToCp1252("\xF0\x9F\x98\x80x"), "?x");
}
