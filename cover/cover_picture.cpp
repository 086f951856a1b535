#include "cover/cover_picture.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/gdi/bmp_file.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace cover {

namespace gdi = platform::gdi;
namespace core = platform::core;

namespace {

constexpr std::uint32_t OpaqueAlpha = 0xFF000000;
constexpr int RgbComponents = 3;

struct JpegError {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
};

[[noreturn]] void jpegErrorExit(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    std::longjmp(error->jump, 1);
}

void jpegOutputMessage(j_common_ptr) {
    // Warnings about damaged data are not printed; the decoder goes on with what it has.
}

// Decodes into pixels (0xAARRGGBB, rows top to bottom). False on any decoder error. Only plain data
// lives in this frame, so the jump out of the decoder skips no destructor.
bool decodeJpegPixels(std::string_view bytes, std::vector<std::uint32_t>& pixels, int& width, int& height) {
    jpeg_decompress_struct info{};
    JpegError error;
    std::vector<unsigned char> row;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegErrorExit;
    error.manager.output_message = jpegOutputMessage;
    if (setjmp(error.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    const std::int64_t count = std::int64_t{info.image_width} * info.image_height;
    if (info.image_width < 1 || info.image_height < 1 || count > gdi::MaxBmpPixels) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != RgbComponents) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    width = static_cast<int>(info.output_width);
    height = static_cast<int>(info.output_height);
    pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), OpaqueAlpha);
    row.resize(static_cast<std::size_t>(width) * RgbComponents);
    while (info.output_scanline < info.output_height) {
        const std::size_t y = info.output_scanline;
        JSAMPROW rows[1] = {row.data()};
        if (jpeg_read_scanlines(&info, rows, 1) != 1)
            break; // the memory source ends a cut file with an end marker, so this does not happen
        std::uint32_t* out = pixels.data() + y * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = row.data() + static_cast<std::size_t>(x) * RgbComponents;
            out[x] = OpaqueAlpha | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

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
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    if (!decodeJpegPixels(bytes, pixels, width, height))
        throw gdi::GraphicError(gdi::ImageNotValidText);
    auto bitmap = std::make_unique<gdi::Bitmap>();
    bitmap->setSize(width, height);
    std::copy(pixels.begin(), pixels.end(), bitmap->bits());
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
