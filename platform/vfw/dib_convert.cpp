#include "platform/vfw/dib_convert.h"

#include "platform/vfw/byte_source.h"
#include "platform/vfw/vfw_types.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace platform::vfw {

namespace {

constexpr size_t BitmapHeaderSize = 40;
constexpr size_t PaletteEntrySize = 4;
constexpr int MaxPaletteEntries = 256;
constexpr uint32_t Opaque = 0xFF000000u;

struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int width = 0;

    explicit Channel(uint32_t m) : mask(m) {
        if (m != 0) {
            shift = std::countr_zero(m);
            width = std::popcount(m);
        }
    }
    uint32_t scale(uint32_t pixel) const {
        if (width == 0)
            return 0;
        const uint32_t v = (pixel & mask) >> shift;
        if (width >= 8)
            return v >> (width - 8);
        // Spread the bits over 8 (for 5 bits: v << 3 | v >> 2).
        uint32_t out = 0;
        for (int filled = 0; filled < 8; filled += width)
            out = out << width | v;
        return out >> (((8 + width - 1) / width) * width - 8);
    }
};

} // namespace

int64_t dibStride(int32_t width, int bitCount) {
    if (width <= 0 || width > MaxPictureSide || bitCount <= 0 || bitCount > 32)
        return -1;
    return (static_cast<int64_t>(width) * bitCount + 31) / 32 * 4;
}

bool dibToArgb(const uint8_t* header, size_t headerSize, const uint8_t* bits, size_t bitsSize,
               std::vector<uint32_t>& out, int& width, int& height) {
    if (header == nullptr || headerSize < BitmapHeaderSize || bits == nullptr)
        return false;
    LeReader r(header, headerSize);
    const auto biSize = r.u32(0);
    const auto w = static_cast<int32_t>(r.u32(4));
    const auto h = static_cast<int32_t>(r.u32(8));
    const int bitCount = r.u16(14);
    const uint32_t compression = r.u32(16);
    const uint32_t clrUsed = r.u32(32);
    if (biSize < BitmapHeaderSize || biSize > headerSize || h == INT32_MIN)
        return false;
    const int32_t rows = h < 0 ? -h : h;
    const int64_t stride = dibStride(w, bitCount);
    if (stride < 0 || rows == 0 || rows > MaxPictureSide || int64_t{w} * rows > MaxPicturePixels)
        return false;
    if (static_cast<int64_t>(bitsSize) < stride * rows)
        return false;

    uint32_t masks[3] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu};
    if (bitCount == 16)
        masks[0] = 0x7C00u, masks[1] = 0x03E0u, masks[2] = 0x001Fu;
    std::vector<uint32_t> palette;
    if (compression == BI_BITFIELDS) {
        if ((bitCount != 16 && bitCount != 32) || headerSize < biSize + 12)
            return false;
        for (int i = 0; i < 3; ++i)
            masks[i] = r.u32(biSize + 4 * static_cast<size_t>(i));
    } else if (compression != BI_RGB) {
        return false;
    }
    if (bitCount == 8) {
        const size_t entries =
            std::min<size_t>(clrUsed == 0 ? MaxPaletteEntries : clrUsed, MaxPaletteEntries);
        if (headerSize < biSize + entries * PaletteEntrySize)
            return false;
        palette.resize(MaxPaletteEntries, Opaque);
        for (size_t i = 0; i < entries; ++i)
            palette[i] = Opaque | (r.u32(biSize + i * PaletteEntrySize) & 0x00FFFFFFu);
    } else if (bitCount != 16 && bitCount != 24 && bitCount != 32) {
        return false;
    }

    const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
    out.resize(static_cast<size_t>(w) * static_cast<size_t>(rows));
    for (int32_t y = 0; y < rows; ++y) {
        // Bottom-up unless the height is negative.
        const int32_t stored = h > 0 ? rows - 1 - y : y;
        const uint8_t* row = bits + stored * stride;
        uint32_t* dst = out.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
        for (int32_t x = 0; x < w; ++x) {
            uint32_t px = 0;
            switch (bitCount) {
            case 8:
                dst[x] = palette[row[x]];
                continue;
            case 16:
                px = static_cast<uint32_t>(row[2 * x] | row[2 * x + 1] << 8);
                break;
            case 24:
                dst[x] = Opaque | static_cast<uint32_t>(row[3 * x + 2]) << 16 |
                         static_cast<uint32_t>(row[3 * x + 1]) << 8 | row[3 * x];
                continue;
            default:
                std::memcpy(&px, row + 4 * x, 4);
                break;
            }
            dst[x] = Opaque | red.scale(px) << 16 | green.scale(px) << 8 | blue.scale(px);
        }
    }
    width = w;
    height = rows;
    return true;
}

void argbToDib(const std::vector<uint32_t>& argb, int width, int height, int bitCount,
               std::vector<uint8_t>& dib) {
    const int64_t stride = dibStride(width, bitCount);
    const size_t image = static_cast<size_t>(stride * height);
    dib.assign(BitmapHeaderSize + image, 0);
    BITMAPINFOHEADER h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = static_cast<WORD>(bitCount);
    h.biSizeImage = static_cast<DWORD>(image);
    std::memcpy(dib.data(), &h, sizeof h);
    const int bytes = bitCount / 8;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = dib.data() + BitmapHeaderSize + static_cast<size_t>((height - 1 - y) * stride);
        const uint32_t* src = argb.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int x = 0; x < width; ++x) {
            const uint32_t p = src[x];
            row[x * bytes] = static_cast<uint8_t>(p);
            row[x * bytes + 1] = static_cast<uint8_t>(p >> 8);
            row[x * bytes + 2] = static_cast<uint8_t>(p >> 16);
            if (bytes == 4)
                row[x * bytes + 3] = static_cast<uint8_t>(p >> 24);
        }
    }
}

} // namespace platform::vfw
