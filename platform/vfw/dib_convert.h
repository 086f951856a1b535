#pragma once

// Conversion between packed DIBs and top-down 0xAARRGGBB pixels, bounds-checked against the bytes
// actually given.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::vfw {

// Largest picture handled: 16384 pixels a side and 64 million pixels in all.
inline constexpr int32_t MaxPictureSide = 16384;
inline constexpr int64_t MaxPicturePixels = 64ll << 20;

// Bytes of one pixel row of a DIB, padded to 4 bytes; -1 for sizes outside the limits.
int64_t dibStride(int32_t width, int bitCount);

// header: the bitmap header and what follows it in the format (colour table or bit masks), headerSize
// bytes; bits: the pixel rows. Uncompressed 8-, 16-, 24- and 32-bit DIBs (BI_RGB or BI_BITFIELDS).
bool dibToArgb(const uint8_t* header, size_t headerSize, const uint8_t* bits, size_t bitsSize,
               std::vector<uint32_t>& out, int& width, int& height);

// A packed DIB (40-byte header, no colour table, bottom-up rows) of 24 or 32 bits from top-down pixels.
void argbToDib(const std::vector<uint32_t>& argb, int width, int height, int bitCount,
               std::vector<uint8_t>& dib);

} // namespace platform::vfw
