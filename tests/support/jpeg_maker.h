#pragma once

// JPEG files written by libjpeg in the test itself, as other programs write them: colour, greyscale,
// CMYK with and without the Adobe marker, YCCK, progressive, and with an EXIF orientation tag.

#include <cstdint>
#include <functional>
#include <string>

namespace kes::test {

enum class JpegKind {
    Colour,    // YCbCr from RGB, the common camera and editor file
    Grey,      // one component; colour() gives the grey level in its low byte
    AdobeCmyk, // CMYK stored inverted with an Adobe marker, as print software writes it
    PlainCmyk, // CMYK stored as plain ink values, without an Adobe marker
    AdobeYcck, // YCCK with an Adobe marker (transform 2)
};

struct JpegOptions {
    JpegKind kind = JpegKind::Colour;
    bool progressive = false;
    int exifOrientation = 0; // 1..8 writes an APP1 EXIF block with that orientation; 0 writes none
    int quality = 95;
};

// The bytes of a JPEG file of the given size whose pixel (x, y) has colour(x, y) (0xRRGGBB); CMYK kinds
// turn the colour into inks with the black taken out (K = 255 - max(R, G, B)).
std::string makeJpeg(int width, int height, const std::function<std::uint32_t(int x, int y)>& colour,
                     const JpegOptions& options = {});

} // namespace kes::test
