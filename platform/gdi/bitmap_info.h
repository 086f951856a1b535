#pragma once

// The device-independent bitmap header (BITMAPINFOHEADER) and its constants.

#include <cstdint>

namespace platform::gdi {

constexpr std::uint32_t BitmapInfoHeaderSize = 40;
constexpr std::uint32_t BiRgb = 0; // uncompressed
constexpr std::uint32_t BiRle8 = 1;
constexpr std::uint32_t BiRle4 = 2;
constexpr std::uint32_t BiBitfields = 3; // uncompressed with channel masks
constexpr std::uint32_t DibRgbColors = 0;

struct BitmapInfoHeader {
    std::uint32_t size = BitmapInfoHeaderSize;
    std::int32_t width = 0;
    std::int32_t height = 0; // negative: rows top to bottom
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = BiRgb;
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
};

// The header followed by one (empty) colour entry, as handed to createDibSection.
struct BitmapInfo {
    BitmapInfoHeader header;
    std::uint32_t colors[1] = {0};
};

} // namespace platform::gdi
