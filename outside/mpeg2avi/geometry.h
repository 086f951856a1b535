#pragma once

// The picture sizes and rates of a conversion, worked out from the options and the source.

#include "outside/mpeg2avi/options.h"

#include <string>

namespace mpeg2avi {

struct Geometry {
    int sourceWidth = 0, sourceHeight = 0;
    int scaledWidth = 0, scaledHeight = 0; // after -2 / -3X / -3Y
    int cropX = 0, cropY = 0;              // the crop's top left corner in the scaled picture
    int width = 0, height = 0;             // the final picture
    bool scaled() const { return scaledWidth != sourceWidth || scaledHeight != sourceHeight; }
    bool cropped() const { return width != scaledWidth || height != scaledHeight; }
};

// Half resolution first, then the resize of either side, then the crop from the centre (cut to the
// picture when larger; a note goes into warning). Every side is made even, as the codecs need.
Geometry planGeometry(const ConvertOptions& options, int sourceWidth, int sourceHeight, std::string& warning);

// The AVI's frame rate: the one asked for; without one, the source's, or film rate after inverse
// telecine of NTSC video.
FrameRate outputRate(const ConvertOptions& options, FrameRate source);

// Ticks of the converter's clock (1/180000 s: whole numbers for fields at 25 and 30000/1001).
inline constexpr int64_t kTicksPerSecond = 180000;

// Source frame n of a range as a time in ticks (at the source's coded rate).
int64_t frameTime(int64_t n, FrameRate rate);

} // namespace mpeg2avi
