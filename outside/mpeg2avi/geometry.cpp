#include "outside/mpeg2avi/geometry.h"

#include <algorithm>

namespace mpeg2avi {

namespace {
int even(int side) {
    return std::max(2, side & ~1);
}
} // namespace

Geometry planGeometry(const ConvertOptions& options, int sourceWidth, int sourceHeight,
                      std::string& warning) {
    Geometry g;
    g.sourceWidth = sourceWidth;
    g.sourceHeight = sourceHeight;
    int w = options.halfRes ? sourceWidth / 2 : sourceWidth;
    int h = options.halfRes ? sourceHeight / 2 : sourceHeight;
    if (options.width)
        w = *options.width;
    if (options.height)
        h = *options.height;
    g.scaledWidth = even(w);
    g.scaledHeight = even(h);
    int cw = options.cropWidth.value_or(g.scaledWidth);
    int ch = options.cropHeight.value_or(g.scaledHeight);
    if (cw > g.scaledWidth || ch > g.scaledHeight) {
        warning = "The crop " + std::to_string(cw) + "x" + std::to_string(ch) +
                  " is larger than the picture " + std::to_string(g.scaledWidth) + "x" +
                  std::to_string(g.scaledHeight) + ": cut to the picture.";
        cw = std::min(cw, g.scaledWidth);
        ch = std::min(ch, g.scaledHeight);
    }
    g.width = even(cw);
    g.height = even(ch);
    g.cropX = ((g.scaledWidth - g.width) / 2) & ~1;
    g.cropY = ((g.scaledHeight - g.height) / 2) & ~1;
    return g;
}

FrameRate outputRate(const ConvertOptions& options, FrameRate source) {
    if (options.rate)
        return *options.rate;
    if (options.ivtc && source == FrameRate{30000, 1001})
        return {24000, 1001};
    return source;
}

int64_t frameTime(int64_t n, FrameRate rate) {
    return n * kTicksPerSecond * rate.den / rate.num;
}

} // namespace mpeg2avi
