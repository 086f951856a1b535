#pragma once

// Pictures of the cover printer: JPEG files through the platform's JPEG decoder (the one the bitmap
// library's loader uses too), BMP files by the platform's reader, other kinds through the platform's
// picture loader. Every picture ends up as a 32-bit toolkit bitmap.
// Failures are platform::gdi::GraphicError exceptions with the loader's fixed texts.

#include "platform/gdi/graphic.h"

#include <memory>
#include <string>
#include <string_view>

namespace cover {

// Decodes JPEG bytes (platform/gdi/jpeg_file.h) into a bitmap of the picture's size. Throws
// GraphicError(ImageNotValidText) when the platform's decoder refuses them.
std::unique_ptr<platform::gdi::Bitmap> decodeJpeg(std::string_view bytes);

// Loads a picture file by its extension (".jpg" and ".jpeg" through decodeJpeg, ".bmp", and the other
// kinds the platform loader knows).
std::unique_ptr<platform::gdi::Bitmap> loadPicture(const std::string& path);

// True for ".jpg" and ".jpeg", ignoring case.
bool isJpegName(std::string_view path);

} // namespace cover
