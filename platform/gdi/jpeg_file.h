#pragma once

// JPEG files decoded by libjpeg: baseline and progressive, greyscale, YCbCr and RGB, and the CMYK and
// YCCK pictures of print software (stored inverted when the file carries an Adobe marker, as such
// programs write them). The pixels are kept in the order they are stored: an EXIF orientation tag is
// not applied, as the libjpeg picture object of the toolkit does not apply it.

#include "platform/gdi/bmp_file.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace platform::gdi {

struct JpegImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // rows top to bottom, 0xFFRRGGBB
};

// The decoded picture, or nullopt when the bytes are no JPEG picture libjpeg can decode or the picture
// has more than MaxBmpPixels pixels. A file cut inside its data decodes with the rest left grey, as
// libjpeg fills it.
std::optional<JpegImage> decodeJpeg(std::string_view bytes);

// The size in a JPEG file's header, or nullopt when libjpeg cannot read its header.
std::optional<PictureSize> jpegPictureSize(std::string_view bytes);

} // namespace platform::gdi
