// DrawDib: packed DIBs drawn onto a surface, stretched by nearest neighbour when asked.

#include "platform/vfw/drawdib.h"

#include "platform/vfw/dib_convert.h"

#include <algorithm>
#include <cstring>

namespace platform::vfw {

class DrawDibContext {
public:
    DWORD rate = 0;
    bool started = false;
    std::vector<uint32_t> pixels;
    std::vector<uint32_t> scaled;
};

namespace {

constexpr size_t BitmapHeaderSize = 40;
constexpr size_t PaletteEntrySize = 4;
constexpr DWORD MaxPaletteEntries = 256;
constexpr size_t BitMasksSize = 12;

// The bytes of the header and what belongs to it (colour table or bit masks) of a DIB in memory.
size_t headerExtent(const BITMAPINFOHEADER* lpbi) {
    size_t size = std::max<size_t>(lpbi->biSize, BitmapHeaderSize);
    if (lpbi->biCompression == BI_BITFIELDS)
        size += BitMasksSize;
    else if (lpbi->biBitCount == 8)
        size += (lpbi->biClrUsed == 0 ? MaxPaletteEntries : std::min(lpbi->biClrUsed, MaxPaletteEntries)) *
                PaletteEntrySize;
    return size;
}

} // namespace

ArgbSurface::ArgbSurface(int width, int height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0) {}

void ArgbSurface::drawPixels(int x, int y, int width, int height, const uint32_t* argb) {
    for (int row = 0; row < height; ++row) {
        const int ty = y + row;
        if (ty < 0 || ty >= height_)
            continue;
        for (int col = 0; col < width; ++col) {
            const int tx = x + col;
            if (tx >= 0 && tx < width_)
                pixels_[static_cast<size_t>(ty) * static_cast<size_t>(width_) + static_cast<size_t>(tx)] =
                    argb[static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(col)];
        }
    }
}

uint32_t ArgbSurface::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return 0;
    return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

bool DibToArgb(const BITMAPINFOHEADER* lpbi, const void* bits, size_t bitsSize, std::vector<uint32_t>& out) {
    if (lpbi == nullptr)
        return false;
    const size_t header = headerExtent(lpbi);
    const auto* base = reinterpret_cast<const uint8_t*>(lpbi);
    const auto* pixels = bits != nullptr ? static_cast<const uint8_t*>(bits) : base + header;
    if (bitsSize == 0) {
        // The caller vouches for a whole DIB: the size its header gives.
        const int32_t rows = lpbi->biHeight < 0 ? -lpbi->biHeight : lpbi->biHeight;
        const int64_t stride = dibStride(lpbi->biWidth, lpbi->biBitCount);
        if (stride < 0 || rows <= 0 || rows > MaxPictureSide)
            return false;
        bitsSize = static_cast<size_t>(stride * rows);
    }
    int width = 0;
    int height = 0;
    return dibToArgb(base, header, pixels, bitsSize, out, width, height);
}

HDRAWDIB DrawDibOpen() {
    return new DrawDibContext;
}

BOOL DrawDibClose(HDRAWDIB hdd) {
    if (hdd == nullptr)
        return FALSE;
    delete hdd;
    return TRUE;
}

BOOL DrawDibStart(HDRAWDIB hdd, DWORD rate) {
    if (hdd == nullptr)
        return FALSE;
    hdd->rate = rate;
    hdd->started = true;
    return TRUE;
}

BOOL DrawDibStop(HDRAWDIB hdd) {
    if (hdd == nullptr)
        return FALSE;
    hdd->started = false;
    return TRUE;
}

BOOL DrawDibDraw(HDRAWDIB hdd, DrawSurface* hdc, int xDst, int yDst, int dxDst, int dyDst,
                 const BITMAPINFOHEADER* lpbi, const void* lpBits, int xSrc, int ySrc, int dxSrc, int dySrc,
                 UINT /*wFlags*/) {
    if (hdd == nullptr || hdc == nullptr || lpbi == nullptr)
        return FALSE;
    if (!DibToArgb(lpbi, lpBits, 0, hdd->pixels))
        return FALSE;
    const int width = lpbi->biWidth;
    const int height = lpbi->biHeight < 0 ? -lpbi->biHeight : lpbi->biHeight;
    if (dxSrc <= 0 || dySrc <= 0) {
        xSrc = ySrc = 0;
        dxSrc = width;
        dySrc = height;
    }
    xSrc = std::clamp(xSrc, 0, width);
    ySrc = std::clamp(ySrc, 0, height);
    dxSrc = std::min(dxSrc, width - xSrc);
    dySrc = std::min(dySrc, height - ySrc);
    if (dxDst <= 0 || dyDst <= 0) {
        dxDst = dxSrc;
        dyDst = dySrc;
    }
    if (dxSrc <= 0 || dySrc <= 0 || dxDst > MaxPictureSide || dyDst > MaxPictureSide)
        return FALSE;
    hdd->scaled.resize(static_cast<size_t>(dxDst) * static_cast<size_t>(dyDst));
    for (int y = 0; y < dyDst; ++y) {
        const int sy = ySrc + static_cast<int>(static_cast<int64_t>(y) * dySrc / dyDst);
        for (int x = 0; x < dxDst; ++x) {
            const int sx = xSrc + static_cast<int>(static_cast<int64_t>(x) * dxSrc / dxDst);
            hdd->scaled[static_cast<size_t>(y) * static_cast<size_t>(dxDst) + static_cast<size_t>(x)] =
                hdd->pixels[static_cast<size_t>(sy) * static_cast<size_t>(width) + static_cast<size_t>(sx)];
        }
    }
    hdc->drawPixels(xDst, yDst, dxDst, dyDst, hdd->scaled.data());
    return TRUE;
}

} // namespace platform::vfw
