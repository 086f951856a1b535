#include "platform/dshow/filters/video_types.h"

#include "platform/vfw/byte_source.h"

#include <cstdlib>

namespace platform::dshow::filters {

namespace {

// The fixed part of the FourCC subtypes: {xxxxxxxx-0000-0010-8000-00AA00389B71}.
constexpr GUID kFourccBase = makeGuid("{00000000-0000-0010-8000-00AA00389B71}");
constexpr size_t kAvgTimeOffset = 40;
constexpr size_t kWidthOffset = 4;
constexpr size_t kHeightOffset = 8;
constexpr size_t kBitCountOffset = 14;
constexpr size_t kCompressionOffset = 16;
constexpr size_t kImageSizeOffset = 20;
constexpr uint16_t kRgb32Bits = 32;
constexpr int kBytesPerPixel = 4;

bool sameTail(const GUID& a, const GUID& b) {
    return a.Data2 == b.Data2 && a.Data3 == b.Data3 && a.Data4 == b.Data4;
}

CMediaType videoInfoType(const GUID& subtype, std::span<const uint8_t> bitmapHeader,
                         REFERENCE_TIME frameDuration) {
    std::vector<uint8_t> block(kVideoInfoPrefix, 0);
    platform::vfw::setLE32(block.data() + kAvgTimeOffset, static_cast<uint32_t>(frameDuration));
    platform::vfw::setLE32(block.data() + kAvgTimeOffset + 4,
                           static_cast<uint32_t>(static_cast<uint64_t>(frameDuration) >> 32));
    block.insert(block.end(), bitmapHeader.begin(), bitmapHeader.end());
    CMediaType type(MEDIATYPE_Video, subtype);
    type.SetFormatType(&FORMAT_VideoInfo);
    type.SetFormat(block.data(), static_cast<ULONG>(block.size()));
    type.bFixedSizeSamples = subtype == MEDIASUBTYPE_RGB32 ? TRUE : FALSE;
    type.bTemporalCompression = subtype == MEDIASUBTYPE_RGB32 ? FALSE : TRUE;
    return type;
}

} // namespace

GUID fourccSubtype(uint32_t fourcc) {
    GUID guid = kFourccBase;
    guid.Data1 = fourcc;
    return guid;
}

std::optional<uint32_t> fourccOfSubtype(const GUID& subtype) {
    if (!sameTail(subtype, kFourccBase))
        return std::nullopt;
    return subtype.Data1;
}

CMediaType compressedVideoType(std::span<const uint8_t> bitmapHeader, REFERENCE_TIME frameDuration) {
    platform::vfw::LeReader header(bitmapHeader.data(), bitmapHeader.size());
    return videoInfoType(fourccSubtype(header.u32(kCompressionOffset)), bitmapHeader, frameDuration);
}

CMediaType rgb32VideoType(int32_t width, int32_t height, REFERENCE_TIME frameDuration) {
    std::vector<uint8_t> header(kBitmapHeaderSize, 0);
    platform::vfw::setLE32(header.data(), kBitmapHeaderSize);
    platform::vfw::setLE32(header.data() + kWidthOffset, static_cast<uint32_t>(width));
    platform::vfw::setLE32(header.data() + kHeightOffset, static_cast<uint32_t>(-std::abs(height)));
    header[12] = 1; // planes
    header[kBitCountOffset] = kRgb32Bits;
    platform::vfw::setLE32(header.data() + kImageSizeOffset,
                           static_cast<uint32_t>(width * std::abs(height) * kBytesPerPixel));
    CMediaType type = videoInfoType(MEDIASUBTYPE_RGB32, header, frameDuration);
    type.lSampleSize = static_cast<ULONG>(width * std::abs(height) * kBytesPerPixel);
    return type;
}

std::optional<VideoFormat> videoFormatOf(const AM_MEDIA_TYPE& type) {
    if (type.formattype != FORMAT_VideoInfo || !type.pbFormat ||
        type.cbFormat < kVideoInfoPrefix + kBitmapHeaderSize)
        return std::nullopt;
    platform::vfw::LeReader block(type.pbFormat, type.cbFormat);
    VideoFormat format;
    format.frameDuration = static_cast<REFERENCE_TIME>(block.u64(kAvgTimeOffset));
    format.width = static_cast<int32_t>(block.u32(kVideoInfoPrefix + kWidthOffset));
    format.height = static_cast<int32_t>(block.u32(kVideoInfoPrefix + kHeightOffset));
    format.compression = block.u32(kVideoInfoPrefix + kCompressionOffset);
    format.bitmapHeader.assign(type.pbFormat + kVideoInfoPrefix, type.pbFormat + type.cbFormat);
    return format;
}

} // namespace platform::dshow::filters
