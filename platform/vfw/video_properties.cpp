#include "platform/vfw/video_properties.h"

#include "platform/vfw/byte_source.h"

#include <algorithm>
#include <numeric>

namespace platform::vfw {

namespace {

constexpr uint64_t MaxTerm = 0xFFFF;
__extension__ using Wide = unsigned __int128;

// Whether p / q is nearer to num / den than r / s (all terms above 0).
bool nearer(uint64_t p, uint64_t q, uint64_t r, uint64_t s, uint64_t num, uint64_t den) {
    const auto gap = [&](uint64_t a, uint64_t b) {
        const Wide x = Wide{a} * den;
        const Wide y = Wide{num} * b;
        return x > y ? x - y : y - x; // |a / b - num / den| * b * den
    };
    return gap(p, q) * s < gap(r, s) * q;
}

// The ratio num / den (both above 0, in lowest terms) with terms of at most 16 bits nearest to it: the
// last continued-fraction convergent that fits, or the largest semiconvergent after it when nearer.
DisplayAspect nearest16Bit(uint64_t num, uint64_t den) {
    uint64_t h0 = 0, h1 = 1; // numerators of the two latest convergents
    uint64_t k0 = 1, k1 = 0; // their denominators
    for (uint64_t a = num, b = den; b != 0;) {
        const uint64_t q = a / b;
        const bool fits = q <= MaxTerm && q * h1 + h0 <= MaxTerm && q * k1 + k0 <= MaxTerm;
        if (!fits) {
            // The semiconvergents (t * h1 + h0) / (t * k1 + k0), t below q, lie beyond h1 / k1.
            const uint64_t t =
                std::min(h1 > 0 ? (MaxTerm - h0) / h1 : MaxTerm, k1 > 0 ? (MaxTerm - k0) / k1 : MaxTerm);
            const uint64_t hs = t * h1 + h0;
            const uint64_t ks = t * k1 + k0;
            if (t > 0 && (k1 == 0 || nearer(hs, ks, h1, k1, num, den))) {
                h1 = hs;
                k1 = ks;
            }
            break;
        }
        const uint64_t h = q * h1 + h0;
        const uint64_t k = q * k1 + k0;
        h0 = h1;
        h1 = h;
        k0 = k1;
        k1 = k;
        const uint64_t r = a % b;
        a = b;
        b = r;
    }
    if (h1 == 0 || k1 == 0)
        return {}; // nearer to 0 : 1 or 1 : 0 than to any aspect that fits
    return {static_cast<WORD>(h1), static_cast<WORD>(k1)};
}

} // namespace

DisplayAspect displayAspectOf(uint32_t pixelWidth, uint32_t pixelHeight, uint32_t width, uint32_t height) {
    if (pixelWidth == 0 || pixelHeight == 0 || width == 0 || height == 0)
        return {};
    uint64_t num = uint64_t{pixelWidth} * width;
    uint64_t den = uint64_t{pixelHeight} * height;
    const uint64_t g = std::gcd(num, den);
    return nearest16Bit(num / g, den / g);
}

namespace avi {

std::vector<uint8_t> videoProperties(DisplayAspect aspect, uint32_t width, uint32_t height,
                                     uint32_t framesPerSecond) {
    std::vector<uint8_t> out;
    out.reserve(VideoPropertiesSize);
    putLE32(out, 0); // video format token: unknown
    putLE32(out, 0); // video standard: unknown
    putLE32(out, framesPerSecond);
    putLE32(out, width);  // horizontal total
    putLE32(out, height); // vertical total
    putLE32(out, uint32_t{aspect.width} << 16 | aspect.height);
    putLE32(out, width);
    putLE32(out, height);
    putLE32(out, 1);      // fields per frame
    putLE32(out, height); // compressed bitmap height
    putLE32(out, width);  // compressed bitmap width
    putLE32(out, height); // valid bitmap height
    putLE32(out, width);  // valid bitmap width
    for (int i = 0; i < 4; ++i)
        putLE32(out, 0); // valid x and y offsets, x offset in the signal, first valid line
    return out;
}

DisplayAspect readDisplayAspect(const std::vector<uint8_t>& data) {
    if (data.size() < VideoPropertiesHeaderSize)
        return {};
    const uint32_t ratio = LeReader(data).u32(20);
    const DisplayAspect aspect{static_cast<WORD>(ratio >> 16), static_cast<WORD>(ratio & 0xFFFF)};
    return aspect.known() ? aspect : DisplayAspect{};
}

} // namespace avi

} // namespace platform::vfw
