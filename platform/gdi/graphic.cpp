#include "platform/gdi/graphic.h"

#include "platform/core/files.h"
#include "platform/gdi/bmp_file.h"
#include "platform/gdi/jpeg_file.h"

#include <QPainter>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

namespace platform::gdi {

namespace {

constexpr std::uint32_t White = 0xFFFFFFFF;

std::string quoted(const char* text, const std::string& path) {
    return std::string(text) + " \"" + path + "\"";
}

std::string readWhole(const std::string& path) {
    std::optional<std::string> bytes = core::readFile(path);
    if (!bytes)
        throw GraphicError(quoted(CannotOpenText, path));
    return std::move(*bytes);
}

std::string lowerExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

} // namespace

Bitmap::Bitmap() : dc_(DeviceContext::createCompatible()) {}

Bitmap::~Bitmap() {
    dc_->selectBitmap(nullptr);
}

int Bitmap::width() const {
    return dib_ ? dib_->width() : 0;
}

int Bitmap::height() const {
    return dib_ ? dib_->height() : 0;
}

std::uint32_t* Bitmap::bits() const {
    return dib_ ? dib_->bits() : nullptr;
}

void Bitmap::setSize(int newWidth, int newHeight) {
    if (newWidth < 1 || newHeight < 1) {
        dc_->selectBitmap(nullptr);
        dib_.reset();
        return;
    }
    if (newWidth == width() && newHeight == height())
        return;
    BitmapInfo info;
    info.header.width = newWidth;
    info.header.height = -newHeight;
    info.header.bitCount = 32;
    std::unique_ptr<DibSection> fresh = DibSection::create(info);
    if (!fresh)
        throw GraphicError("Out of system resources");
    std::fill(fresh->bits(), fresh->bits() + static_cast<std::size_t>(newWidth) * newHeight, White);
    auto next = DeviceContext::createCompatible();
    next->selectBitmap(fresh.get());
    if (dib_)
        bitBlt(*next, 0, 0, width(), height(), *dc_, 0, 0);
    dc_->selectBitmap(fresh.get());
    dib_ = std::move(fresh);
}

void Bitmap::draw(DeviceContext& dc, const Rect& rect) const {
    if (!dib_)
        return;
    stretchBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, *dc_, 0, 0, width(),
               height());
}

std::string unreadablePictureText(const std::optional<PictureSize>& size, const char* notValidText) {
    if (!size || !size->tooLarge())
        return notValidText;
    return "The picture is too large (" + std::to_string(size->width) + " x " + std::to_string(size->height) +
           " pixels, at most " + std::to_string(MaxBmpPixels) + " pixels) : make it smaller first";
}

void Bitmap::loadFromBytes(std::string_view bytes) {
    std::optional<BmpImage> image = decodeBmp(bytes);
    if (!image) {
        throw GraphicError(unreadablePictureText(bmpPictureSize(bytes), BitmapNotValidText));
    }
    Bitmap loaded;
    loaded.setSize(image->width, image->height);
    std::copy(image->pixels.begin(), image->pixels.end(), loaded.bits());
    loaded.dc_->selectBitmap(nullptr);
    dc_->selectBitmap(nullptr);
    dib_ = std::move(loaded.dib_);
    dc_->selectBitmap(dib_.get());
    format_ = image->bitCount == 32 ? PixelFormat::Bits32 : PixelFormat::Bits24;
}

void Bitmap::loadFromFile(const std::string& path) {
    loadFromBytes(readWhole(path));
}

std::string Bitmap::saveToBytes() const {
    const int bits = format_ == PixelFormat::Bits32 ? 32 : 24;
    return encodeBmp(width(), height(), this->bits(), bits);
}

void Bitmap::saveToFile(const std::string& path) const {
    if (!core::writeFileAtomic(path, saveToBytes()))
        throw GraphicError(quoted(CannotWriteText, path));
}

void ImageGraphic::draw(DeviceContext& dc, const Rect& rect) const {
    QImage target = dc.view();
    if (target.isNull() || image_.isNull())
        return;
    QPainter painter(&target);
    painter.drawImage(QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top), image_);
}

void Picture::loadFromFile(const std::string& path) {
    const std::string ext = lowerExtension(path);
    if (ext == "bmp") {
        auto bitmap = std::make_unique<Bitmap>();
        bitmap->loadFromFile(path);
        graphic_ = std::move(bitmap);
        return;
    }
    if (ext == "jpg" || ext == "jpeg") {
        const std::string bytes = readWhole(path);
        std::optional<JpegImage> jpeg = decodeJpeg(bytes);
        if (!jpeg) {
            throw GraphicError(unreadablePictureText(jpegPictureSize(bytes), ImageNotValidText));
        }
        QImage image(jpeg->width, jpeg->height, QImage::Format_RGB32);
        if (image.isNull())
            throw GraphicError(ImageNotValidText);
        const std::size_t rowBytes = static_cast<std::size_t>(jpeg->width) * sizeof(std::uint32_t);
        for (int y = 0; y < jpeg->height; ++y)
            std::memcpy(image.scanLine(y), jpeg->pixels.data() + static_cast<std::size_t>(y) * jpeg->width,
                        rowBytes);
        graphic_ = std::make_unique<ImageGraphic>(std::move(image));
        return;
    }
    if (ext == "png" || ext == "gif") {
        const std::string bytes = readWhole(path);
        if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
            throw GraphicError(ImageNotValidText);
        QImage image;
        const char* format = ext.c_str();
        if (!image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()),
                                format) ||
            image.isNull() || static_cast<std::int64_t>(image.width()) * image.height() > MaxBmpPixels)
            throw GraphicError(ImageNotValidText);
        graphic_ = std::make_unique<ImageGraphic>(image.convertToFormat(QImage::Format_RGB32));
        return;
    }
    throw GraphicError(std::string(UnknownExtensionText) + " (." + ext + ")");
}

const Bitmap* Picture::bitmap() const {
    return dynamic_cast<const Bitmap*>(graphic_.get());
}

} // namespace platform::gdi
