#pragma once

// Toolkit-style pictures: a Graphic draws itself into a device context; a Bitmap is a DIB-backed graphic
// with a pixel format and its own drawing context; a Picture loads a file into the graphic its extension
// names. Loading failures are GraphicError exceptions with fixed English texts.

#include "platform/gdi/bmp_file.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/dib_section.h"

#include <QImage>

#include <memory>
#include <stdexcept>
#include <string>

namespace platform::gdi {

class GraphicError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Fixed texts of the loader.
inline constexpr const char* BitmapNotValidText = "Bitmap image is not valid";
inline constexpr const char* ImageNotValidText = "Image file is not valid";
inline constexpr const char* CannotOpenText = "Cannot open file";    // followed by " \"name\""
inline constexpr const char* CannotWriteText = "Cannot create file"; // followed by " \"name\""
inline constexpr const char* UnknownExtensionText = "Unknown picture file extension";

// The loader's text for a picture that could not be decoded: its size and the limit when its header
// gives more pixels than a picture may have, else notValidText.
std::string unreadablePictureText(const std::optional<PictureSize>& size, const char* notValidText);

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

class Graphic {
public:
    virtual ~Graphic() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    bool empty() const { return width() < 1 || height() < 1; }
    // Draws the whole graphic scaled into the rectangle of the context's surface.
    virtual void draw(DeviceContext& dc, const Rect& rect) const = 0;
};

enum class PixelFormat { Bits24, Bits32 };

class Bitmap : public Graphic {
public:
    Bitmap();
    ~Bitmap() override;

    int width() const override;
    int height() const override;
    void draw(DeviceContext& dc, const Rect& rect) const override;

    PixelFormat pixelFormat() const { return format_; }
    void setPixelFormat(PixelFormat format) { format_ = format; }
    // Resizes, keeping the pixels that both sizes share; new pixels are white. A size below 1 empties it.
    // Throws GraphicError when the pixels cannot be allocated.
    void setSize(int width, int height);
    // The drawing context over the pixels (no surface while empty).
    DeviceContext& canvas() { return *dc_; }
    const DeviceContext& canvas() const { return *dc_; }
    std::uint32_t* bits() const; // rows top to bottom, null while empty

    // BMP files; saving writes 24 or 32 bits per pixel as the pixel format says, through a temporary file.
    void loadFromFile(const std::string& path);
    void loadFromBytes(std::string_view bytes); // throws GraphicError(BitmapNotValidText)
    std::string saveToBytes() const;
    void saveToFile(const std::string& path) const;

private:
    std::unique_ptr<DibSection> dib_;
    std::unique_ptr<DeviceContext> dc_;
    PixelFormat format_ = PixelFormat::Bits24;
};

// A decoded picture that is not a bitmap: JPEG (libjpeg), PNG and GIF (Qt).
class ImageGraphic : public Graphic {
public:
    explicit ImageGraphic(QImage image) : image_(std::move(image)) {}
    int width() const override { return image_.width(); }
    int height() const override { return image_.height(); }
    void draw(DeviceContext& dc, const Rect& rect) const override;

private:
    QImage image_;
};

class Picture {
public:
    // Loads by extension, ignoring case: ".bmp" through the BMP reader, ".jpg" and ".jpeg" through the
    // JPEG decoder (jpeg_file.h), ".png" and ".gif" through Qt. Throws GraphicError; the picture keeps its
    // previous graphic then.
    void loadFromFile(const std::string& path);
    const Graphic* graphic() const { return graphic_.get(); }
    // The graphic when it is a Bitmap, else null.
    const Bitmap* bitmap() const;
    int width() const { return graphic_ ? graphic_->width() : 0; }
    int height() const { return graphic_ ? graphic_->height() : 0; }

private:
    std::unique_ptr<Graphic> graphic_;
};

} // namespace platform::gdi
