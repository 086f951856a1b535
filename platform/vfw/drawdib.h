#pragma once

// DrawDib: drawing packed DIBs (as the frame getter returns them) onto a surface.
//
// A surface stands for the device context of a window: whatever shows the picture implements
// DrawSurface and receives top-down 0xAARRGGBB pixel rows (alpha 0xFF). ArgbSurface is a surface in
// memory.

#include "platform/vfw/vfw_types.h"

#include <cstdint>
#include <vector>

namespace platform::vfw {

class DrawSurface {
public:
    virtual ~DrawSurface() = default;
    // A block of width × height pixels, rows top-down and tightly packed, to be drawn at (x, y).
    virtual void drawPixels(int x, int y, int width, int height, const uint32_t* argb) = 0;
};

// A surface in memory; pixels outside it are clipped.
class ArgbSurface : public DrawSurface {
public:
    ArgbSurface(int width, int height);
    void drawPixels(int x, int y, int width, int height, const uint32_t* argb) override;
    int width() const { return width_; }
    int height() const { return height_; }
    uint32_t pixel(int x, int y) const; // 0 outside
    const std::vector<uint32_t>& pixels() const { return pixels_; }

private:
    int width_;
    int height_;
    std::vector<uint32_t> pixels_;
};

class DrawDibContext;
using HDRAWDIB = DrawDibContext*;

inline constexpr UINT DDF_SAME_HDC = 0x0004;
inline constexpr UINT DDF_SAME_DRAW = 0x0008;

HDRAWDIB DrawDibOpen();
BOOL DrawDibClose(HDRAWDIB hdd);
// Playback hints: the rate in microseconds per frame.
BOOL DrawDibStart(HDRAWDIB hdd, DWORD rate);
BOOL DrawDibStop(HDRAWDIB hdd);
// Draws the source rectangle (xSrc, ySrc, dxSrc, dySrc) of the DIB at (xDst, yDst) stretched to dxDst ×
// dyDst; a destination size of -1 (or 0) means the source size, a source size of -1 (or 0) the whole
// bitmap. lpBits null: the pixels follow the header (and its colour table). Uncompressed DIBs of 8, 16,
// 24 and 32 bits are drawn; FALSE for anything else or a header that does not hold together.
BOOL DrawDibDraw(HDRAWDIB hdd, DrawSurface* hdc, int xDst, int yDst, int dxDst, int dyDst,
                 const BITMAPINFOHEADER* lpbi, const void* lpBits, int xSrc, int ySrc, int dxSrc, int dySrc,
                 UINT wFlags);

// The pixels of an uncompressed DIB as top-down 0xAARRGGBB rows; false when the header does not hold
// together with the bytes given (bitsSize bytes at bits, or after the header when bits is null).
bool DibToArgb(const BITMAPINFOHEADER* lpbi, const void* bits, size_t bitsSize, std::vector<uint32_t>& out);

} // namespace platform::vfw
