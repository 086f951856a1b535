#pragma once

// The OpenDML video properties header ("vprp"), which a video stream's header list may hold after its
// format. Of what it describes (the video standard, the frame, its fields) the display aspect is what
// players use: they show the picture in that shape whatever its stored size, and it is the only place
// in the file for the aspect of a codec that has none of its own (MS-MPEG-4 v3). Readers that do not
// know the chunk pass over it.
//
// Layout, 32-bit little-endian fields: video format token, video standard (0, 0: unknown), vertical
// refresh rate, horizontal total, vertical total, frame aspect ratio (width << 16 | height), frame
// width, frame height, fields per frame; then per field its compressed height and width, valid height
// and width, valid x and y offsets, x offset in the signal and first valid line.

#include "platform/vfw/vfw_types.h"

#include <cstdint>
#include <vector>

namespace platform::vfw {

// The display aspect of a picture of width x height pixels whose pixels have the aspect pixelWidth :
// pixelHeight, in lowest terms; when those do not fit 16 bits, the nearest ratio that does. Unknown
// (0 : 0) when any value is 0.
DisplayAspect displayAspectOf(uint32_t pixelWidth, uint32_t pixelHeight, uint32_t width, uint32_t height);

namespace avi {

inline constexpr FOURCC ckidVIDEOPROPERTIES = mmioFOURCC('v', 'p', 'r', 'p');
inline constexpr uint32_t VideoPropertiesHeaderSize = 36; // up to the field count
inline constexpr uint32_t VideoFieldSize = 32;
// What is written: a progressive frame, one field.
inline constexpr uint32_t VideoPropertiesSize = VideoPropertiesHeaderSize + VideoFieldSize;

// The chunk's data for a progressive frame of width x height shown at framesPerSecond.
std::vector<uint8_t> videoProperties(DisplayAspect aspect, uint32_t width, uint32_t height,
                                     uint32_t framesPerSecond);
// The display aspect a chunk's data holds; unknown when it is too short or holds none.
DisplayAspect readDisplayAspect(const std::vector<uint8_t>& data);

} // namespace avi

} // namespace platform::vfw
