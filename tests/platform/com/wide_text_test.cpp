#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"

#include <gtest/gtest.h>

namespace platform::com {
namespace {

TEST(WideText, Utf8RoundTripsThroughUtf16) {
    const std::string text =
        "/media/dvd/VIDEO_TS/VTS_01_1.VOB \xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAC";
    const std::u16string wide = wideFromBytes(text);
    EXPECT_EQ(wide.substr(0, 5), u"/medi");
    EXPECT_NE(wide.find(u'\u20AC'), std::u16string::npos);
    EXPECT_NE(wide.find(u"\U0001F3AC"), std::u16string::npos); // a surrogate pair
    EXPECT_EQ(bytesFromWide(wide), text);
}

TEST(WideText, BytesThatAreNotUtf8SurviveTheRoundTrip) {
    // A path in an 8-bit code page, a truncated sequence, an overlong form and an encoded surrogate.
    for (const std::string& path :
         {std::string("/tmp/caf\xE9.vob"), std::string("\xC3"), std::string("a\xC0\xAF"),
          std::string("\xED\xA0\x80"), std::string("\xFF\xFE\x80")}) {
        EXPECT_EQ(bytesFromWide(wideFromBytes(path)), path);
    }
}

TEST(WideText, LengthsAndBoundedViews) {
    EXPECT_EQ(wideLength(nullptr), 0u);
    EXPECT_EQ(wideLength(u"abc"), 3u);
    EXPECT_EQ(wideView(u"abcdef", 4), u"abcd");
    EXPECT_EQ(wideView(u"ab", 4), u"ab");
    LPOLESTR copy = taskMemWideCopy(u"Output");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::u16string(copy), u"Output");
    CoTaskMemFree(copy);
}

} // namespace
} // namespace platform::com
