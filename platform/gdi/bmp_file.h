#pragma once

// BMP files: a bounds-checked reader of the uncompressed forms (1, 4, 8, 16, 24 and 32 bits per pixel,
// bottom-up or top-down, BI_RGB or BI_BITFIELDS, Windows and OS/2 headers) and of the run-length forms
// of 4- and 8-bit files (BI_RLE4, BI_RLE8, which image programs write by default for 8-bit pictures;
// a run-length picture larger than its data could fill with runs is refused), and a writer of 24- and
// 32-bit files.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::gdi {

// The most pixels a picture file may bring.
constexpr std::int64_t MaxBmpPixels = std::int64_t{1} << 26;

struct BmpImage {
    int width = 0;
    int height = 0;
    int bitCount = 0;                  // bits per pixel of the file
    std::vector<std::uint32_t> pixels; // rows top to bottom, 0xAARRGGBB; the fourth byte of a 32-bit
                                       // BI_RGB file as stored, 255 for masks without alpha, else 0
};

// The decoded picture, or nullopt when the bytes are not a BMP file this reader accepts.
std::optional<BmpImage> decodeBmp(std::string_view bytes);

// The size a picture file's header gives (to tell a picture too large from a damaged one).
struct PictureSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
    bool tooLarge() const { return width > 0 && height > 0 && width * height > MaxBmpPixels; }
};
// The size in a BMP file's header, or nullopt when there is no header to read.
std::optional<PictureSize> bmpPictureSize(std::string_view bytes);

// The bytes of a bottom-up BI_RGB file of 24 or 32 bits per pixel from pixels given top row first.
std::string encodeBmp(int width, int height, const std::uint32_t* pixels, int bitCount);

} // namespace platform::gdi
