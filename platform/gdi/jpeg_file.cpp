#include "platform/gdi/jpeg_file.h"

#include "platform/gdi/bmp_file.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace platform::gdi {

namespace {

constexpr std::uint32_t OpaqueAlpha = 0xFF000000;
constexpr int RgbComponents = 3;
constexpr int CmykComponents = 4;
constexpr unsigned MaxSample = 255;

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

std::uint32_t rgbPixel(unsigned r, unsigned g, unsigned b) {
    return OpaqueAlpha | (r << 16) | (g << 8) | b;
}

// One ink against the black ink; inverted samples (Adobe files) hold 255 - ink.
unsigned inkToLight(unsigned ink, unsigned black, bool inverted) {
    if (inverted)
        return (ink * black + MaxSample / 2) / MaxSample;
    return ((MaxSample - ink) * (MaxSample - black) + MaxSample / 2) / MaxSample;
}

void convertRow(const unsigned char* row, int width, bool cmyk, bool inverted, std::uint32_t* out) {
    for (int x = 0; x < width; ++x) {
        if (cmyk) {
            const unsigned char* p = row + static_cast<std::size_t>(x) * CmykComponents;
            out[x] = rgbPixel(inkToLight(p[0], p[3], inverted), inkToLight(p[1], p[3], inverted),
                              inkToLight(p[2], p[3], inverted));
        } else {
            const unsigned char* p = row + static_cast<std::size_t>(x) * RgbComponents;
            out[x] = rgbPixel(p[0], p[1], p[2]);
        }
    }
}

// Decodes into image. False on any decoder error. Only plain data and objects whose storage is
// settled before the first libjpeg call live in this frame, so a jump out of the decoder skips no
// destructor that matters and leaks nothing.
bool decodeInto(std::string_view bytes, JpegImage& image, std::vector<unsigned char>& row) {
    jpeg_decompress_struct info{};
    JpegError error;
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
    if (info.image_width < 1 || info.image_height < 1 || count > MaxBmpPixels) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    const bool inverted = cmyk && info.saw_Adobe_marker;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    const int components = cmyk ? CmykComponents : RgbComponents;
    jpeg_start_decompress(&info);
    if (info.output_components != components) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    image.width = static_cast<int>(info.output_width);
    image.height = static_cast<int>(info.output_height);
    image.pixels.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
    row.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(components));
    while (info.output_scanline < info.output_height) {
        const std::size_t y = info.output_scanline;
        JSAMPROW rows[1] = {row.data()};
        if (jpeg_read_scanlines(&info, rows, 1) != 1)
            break; // the memory source ends a cut file with an end marker, so this does not happen
        convertRow(row.data(), image.width, cmyk, inverted,
                   image.pixels.data() + y * static_cast<std::size_t>(image.width));
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

// Reads the header only. False on any decoder error; the same rules for the jump as above.
bool readSize(std::string_view bytes, PictureSize& size) {
    jpeg_decompress_struct info{};
    JpegError error;
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
    const bool read = jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK;
    if (read) {
        size.width = info.image_width;
        size.height = info.image_height;
    }
    jpeg_destroy_decompress(&info);
    return read;
}

} // namespace

std::optional<PictureSize> jpegPictureSize(std::string_view bytes) {
    PictureSize size;
    if (!readSize(bytes, size))
        return std::nullopt;
    return size;
}

std::optional<JpegImage> decodeJpeg(std::string_view bytes) {
    JpegImage image;
    std::vector<unsigned char> row;
    if (!decodeInto(bytes, image, row))
        return std::nullopt;
    return image;
}

} // namespace platform::gdi
