#pragma once

// Video media types of the playback filters: compressed frames named by their FourCC, and the 32-bit
// pictures the decoders put out and the video renderer shows. Both carry a VIDEOINFOHEADER block (the
// frame rectangles, bit rates and frame duration, then the bitmap header with its extra bytes).

#include "platform/dshow/guids.h"
#include "platform/dshow/media_type.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace platform::dshow::filters {

inline constexpr GUID MEDIATYPE_Video = makeGuid("{73646976-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIASUBTYPE_RGB32 = makeGuid("{E436EB7E-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID FORMAT_VideoInfo = makeGuid("{05589F80-C356-11CE-BF01-00AA0055595A}");

// The bytes before the bitmap header in a VIDEOINFOHEADER.
inline constexpr size_t kVideoInfoPrefix = 48;
inline constexpr size_t kBitmapHeaderSize = 40;

// The subtype of compressed frames with this FourCC ({fourcc-0000-0010-8000-00AA00389B71}).
GUID fourccSubtype(uint32_t fourcc);
// The FourCC of such a subtype; nothing for a subtype of another kind.
std::optional<uint32_t> fourccOfSubtype(const GUID& subtype);

// What a video type says about its pictures.
struct VideoFormat {
    uint32_t compression = 0; // biCompression
    int32_t width = 0;
    int32_t height = 0;                // as stored: negative for top-down pictures
    REFERENCE_TIME frameDuration = 0;  // AvgTimePerFrame
    std::vector<uint8_t> bitmapHeader; // the bitmap header and its extra bytes
};

// A type for compressed frames from a stream's bitmap header (its "strf" bytes).
CMediaType compressedVideoType(std::span<const uint8_t> bitmapHeader, REFERENCE_TIME frameDuration);
// Top-down 32-bit pictures of this size.
CMediaType rgb32VideoType(int32_t width, int32_t height, REFERENCE_TIME frameDuration);
// The format of a FORMAT_VideoInfo type; nothing for another format or a block too short.
std::optional<VideoFormat> videoFormatOf(const AM_MEDIA_TYPE& type);

} // namespace platform::dshow::filters
