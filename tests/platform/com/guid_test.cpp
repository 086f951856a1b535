#include "platform/com/guid.h"

#include <gtest/gtest.h>

namespace platform::com {
namespace {

constexpr GUID kSample = makeGuid("{53022B5B-F982-4886-B0B9-CF185F40332A}");

TEST(Guid, FieldsAndTextRoundTrip) {
    EXPECT_EQ(kSample.Data1, 0x53022B5Bu);
    EXPECT_EQ(kSample.Data2, 0xF982u);
    EXPECT_EQ(kSample.Data3, 0x4886u);
    EXPECT_EQ(kSample.Data4[0], 0xB0u);
    EXPECT_EQ(kSample.Data4[7], 0x2Au);
    EXPECT_EQ(guidToString(kSample), "{53022B5B-F982-4886-B0B9-CF185F40332A}");
    EXPECT_EQ(parseGuid(guidToString(kSample)), kSample);
    // Lower case and no braces read the same.
    EXPECT_EQ(parseGuid("53022b5b-f982-4886-b0b9-cf185f40332a"), kSample);
    EXPECT_EQ(guidToString(GUID_NULL), "{00000000-0000-0000-0000-000000000000}");
}

TEST(Guid, MalformedTextsAreRefused) {
    for (const char* bad :
         {"", "{}", "{53022B5B-F982-4886-B0B9-CF185F40332A", "53022B5B-F982-4886-B0B9-CF185F40332A}",
          "{53022B5B F982-4886-B0B9-CF185F40332A}", "{53022B5B-F982-4886-B0B9-CF185F40332G}",
          "{53022B5B-F982-4886-B0B9-CF185F40332A0}", "{53022B5BF-982-4886-B0B9-CF185F40332A}"})
        EXPECT_FALSE(parseGuid(bad).has_value()) << bad;
}

} // namespace
} // namespace platform::com
