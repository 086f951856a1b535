#include "cover/cover_picture.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/gdi/jpeg_file.h"

#include <algorithm>

namespace cover {

namespace gdi = platform::gdi;
namespace core = platform::core;

namespace {

std::string readWhole(const std::string& path) {
    auto bytes = core::readFile(path);
    if (!bytes)
        throw gdi::GraphicError(std::string(gdi::CannotOpenText) + " \"" + path + "\"");
    return std::move(*bytes);
}

} // namespace

bool isJpegName(std::string_view path) {
    const std::string ext = core::upperAscii(core::extractFileExt(path));
    return ext == ".JPG" || ext == ".JPEG";
}

std::unique_ptr<gdi::Bitmap> decodeJpeg(std::string_view bytes) {
    std::optional<gdi::JpegImage> image = gdi::decodeJpeg(bytes);
    if (!image) {
        throw gdi::GraphicError(
            gdi::unreadablePictureText(gdi::jpegPictureSize(bytes), gdi::ImageNotValidText));
    }
    auto bitmap = std::make_unique<gdi::Bitmap>();
    bitmap->setSize(image->width, image->height);
    std::copy(image->pixels.begin(), image->pixels.end(), bitmap->bits());
    return bitmap;
}

std::unique_ptr<gdi::Bitmap> loadPicture(const std::string& path) {
    if (isJpegName(path))
        return decodeJpeg(readWhole(path));
    if (core::upperAscii(core::extractFileExt(path)) == ".BMP") {
        auto bitmap = std::make_unique<gdi::Bitmap>();
        bitmap->loadFromFile(path);
        return bitmap;
    }
    gdi::Picture picture;
    picture.loadFromFile(path);
    auto bitmap = std::make_unique<gdi::Bitmap>();
    bitmap->setSize(picture.width(), picture.height());
    if (!bitmap->bits())
        throw gdi::GraphicError(gdi::ImageNotValidText);
    picture.graphic()->draw(bitmap->canvas(), {0, 0, picture.width(), picture.height()});
    return bitmap;
}

} // namespace cover
