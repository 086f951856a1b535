// The upper-case copy, the decimal number reader and the "hh:mm:ss" reader.
#include "kes/form1_unit.h"
#include "kes/text_helpers.h"

#include "platform/ui/dialog_script.h"

#include <gtest/gtest.h>

#include <clocale>

namespace kes {
namespace {

using platform::ui::testing::DialogScript;

TEST(UpperCopy, OnlyAsciiLettersChange) {
    EXPECT_EQ(UpperCopy("vts_01_1.vob"), "VTS_01_1.VOB");
    EXPECT_EQ(UpperCopy("Zürich {az}"), "ZüRICH {AZ}");
    EXPECT_EQ(UpperCopy(""), "");
}

TEST(TimeToSeconds, ValidTexts) {
    EXPECT_EQ(TimeToSeconds("12:30:00"), 45000);
    EXPECT_EQ(TimeToSeconds("1:00:00"), 3600);
    EXPECT_EQ(TimeToSeconds("99:99:99"), 362439);
    EXPECT_EQ(TimeToSeconds("00:00:00"), 0);
}

TEST(TimeToSeconds, AnythingElseIsMinusOne) {
    for (const char* text : {"", "12-30-00", "1a:00:00", "12:30", "1:2:3", "12:30:0", "12:30:000",
                             "::::::::", "123:4:56", "1:00:00:", "12:3a:00", ":1:00:00", "12:30:00 "})
        EXPECT_EQ(TimeToSeconds(text), -1) << text;
}

class TextToNumberTest : public ::testing::Test {
protected:
    TextToNumberTest() { MessageTable.set(1, "is not a valid number"); }
    ~TextToNumberTest() override { MessageTable.clear(); }
    DialogScript script;
};

TEST_F(TextToNumberTest, DigitsAndDots) {
    EXPECT_DOUBLE_EQ(TextToNumber("44.1"), 44.1);
    EXPECT_DOUBLE_EQ(TextToNumber("48"), 48);
    EXPECT_DOUBLE_EQ(TextToNumber("1.2.3"), 1.23);
    EXPECT_DOUBLE_EQ(TextToNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(TextToNumber("7."), 7);
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(TextToNumberTest, EmptyTextAndALoneDotAreZeroWithoutABox) {
    EXPECT_EQ(TextToNumber(""), 0);
    EXPECT_EQ(TextToNumber("."), 0);
    EXPECT_EQ(TextToNumber("..."), 0);
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(TextToNumberTest, OtherCharactersGiveZeroAndTheBox) {
    EXPECT_EQ(TextToNumber("44,1"), 0);
    EXPECT_EQ(TextToNumber("-5"), 0);
    EXPECT_EQ(TextToNumber("4 8"), 0);
    EXPECT_EQ(script.texts("error"),
              (std::vector<std::string>{"44,1 is not a valid number", "-5 is not a valid number",
                                        "4 8 is not a valid number"}));
}

TEST_F(TextToNumberTest, DotIsTheSeparatorWhateverTheLocale) {
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    const double value = TextToNumber("44.1");
    std::setlocale(LC_NUMERIC, before.c_str());
    EXPECT_DOUBLE_EQ(value, 44.1);
}

TEST_F(TextToNumberTest, NumbersBeyondADoubleAreRefused) {
    EXPECT_EQ(TextToNumber(std::string(400, '9')), 0);
    EXPECT_EQ(script.texts("error").size(), 1u);
    const double tiny = TextToNumber("0." + std::string(500, '0') + "1");
    EXPECT_GE(tiny, 0);
    EXPECT_LT(tiny, 1e-300);
}

} // namespace
} // namespace kes
