#include "platform/com/task_memory.h"
#include "platform/dshow/guids.h"
#include "platform/dshow/media_type.h"

#include <gtest/gtest.h>

namespace platform::dshow {
namespace {

TEST(MediaType, CopiesOwnTheirFormatBlock) {
    CMediaType a(MEDIATYPE_Audio, MEDIASUBTYPE_PCM);
    a.SetFormatType(&FORMAT_WaveFormatEx);
    const BYTE format[] = {1, 2, 3, 4, 5};
    ASSERT_TRUE(a.SetFormat(format, sizeof format));
    CMediaType b(a);
    ASSERT_NE(b.pbFormat, a.pbFormat);
    EXPECT_TRUE(a == b);
    b.pbFormat[0] = 9;
    EXPECT_FALSE(a == b);

    AM_MEDIA_TYPE* handed = CreateMediaType(&a);
    ASSERT_NE(handed, nullptr);
    EXPECT_EQ(handed->cbFormat, 5u);
    EXPECT_EQ(handed->pbFormat[4], 5);
    DeleteMediaType(handed);

    b = a;
    EXPECT_TRUE(a == b);
    b = static_cast<const AM_MEDIA_TYPE&>(b); // self-assignment keeps the block
    EXPECT_TRUE(a == b);
}

TEST(MediaType, PartialTypesActAsPatterns) {
    const CMediaType stream(MEDIATYPE_Stream, MEDIASUBTYPE_MPEG2_PROGRAM);
    CMediaType anyStream(MEDIATYPE_Stream);
    EXPECT_TRUE(anyStream.IsPartiallySpecified());
    EXPECT_TRUE(anyStream.MatchesPartial(&stream));
    const CMediaType audio(MEDIATYPE_Audio, MEDIASUBTYPE_PCM);
    EXPECT_FALSE(anyStream.MatchesPartial(&audio));
    CMediaType nothing;
    EXPECT_TRUE(nothing.MatchesPartial(&audio));
    EXPECT_FALSE(nothing.IsValid());
    CMediaType complete(MEDIATYPE_Audio, MEDIASUBTYPE_PCM);
    complete.SetFormatType(&FORMAT_WaveFormatEx);
    EXPECT_FALSE(complete.IsPartiallySpecified());
}

} // namespace
} // namespace platform::dshow
