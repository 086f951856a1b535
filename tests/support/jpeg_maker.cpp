#include "tests/support/jpeg_maker.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace kes::test {

namespace {

constexpr int Full = 255;

// The EXIF block of an APP1 marker: "Exif", a little-endian TIFF header and one IFD entry, the
// orientation (tag 0x0112, SHORT, count 1).
std::string exifOrientationBlock(int orientation) {
    std::string s("Exif\0\0", 6);
    const unsigned char tiff[] = {'I',
                                  'I',
                                  42,
                                  0,
                                  8,
                                  0,
                                  0,
                                  0, // header
                                  1,
                                  0, // one entry
                                  0x12,
                                  0x01,
                                  3,
                                  0,
                                  1,
                                  0,
                                  0,
                                  0, // tag, type, count
                                  static_cast<unsigned char>(orientation),
                                  0,
                                  0,
                                  0, // value
                                  0,
                                  0,
                                  0,
                                  0}; // no next IFD
    s.append(reinterpret_cast<const char*>(tiff), sizeof tiff);
    return s;
}

void putSamples(std::uint32_t c, JpegKind kind, unsigned char* out) {
    const int r = static_cast<int>((c >> 16) & 0xFF);
    const int g = static_cast<int>((c >> 8) & 0xFF);
    const int b = static_cast<int>(c & 0xFF);
    switch (kind) {
    case JpegKind::Colour:
        out[0] = static_cast<unsigned char>(r);
        out[1] = static_cast<unsigned char>(g);
        out[2] = static_cast<unsigned char>(b);
        return;
    case JpegKind::Grey:
        out[0] = static_cast<unsigned char>(b);
        return;
    case JpegKind::AdobeCmyk:
    case JpegKind::PlainCmyk:
    case JpegKind::AdobeYcck: {
        const int k = Full - std::max({r, g, b});
        const auto ink = [k](int v) { return k == Full ? 0 : (Full - v - k) * Full / (Full - k); };
        const int inks[4] = {ink(r), ink(g), ink(b), k};
        for (int i = 0; i < 4; ++i)
            out[i] = static_cast<unsigned char>(kind == JpegKind::PlainCmyk ? inks[i] : Full - inks[i]);
        return;
    }
    }
}

} // namespace

std::string makeJpeg(int width, int height, const std::function<std::uint32_t(int x, int y)>& colour,
                     const JpegOptions& options) {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    const bool cmyk = options.kind == JpegKind::AdobeCmyk || options.kind == JpegKind::PlainCmyk ||
                      options.kind == JpegKind::AdobeYcck;
    const int components = options.kind == JpegKind::Grey ? 1 : cmyk ? 4 : 3;
    info.input_components = components;
    info.in_color_space = options.kind == JpegKind::Grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    if (options.kind == JpegKind::AdobeYcck)
        jpeg_set_colorspace(&info, JCS_YCCK);
    info.write_Adobe_marker = options.kind != JpegKind::PlainCmyk && cmyk ? TRUE : FALSE;
    jpeg_set_quality(&info, options.quality, TRUE);
    if (options.progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    if (options.exifOrientation > 0) {
        const std::string exif = exifOrientationBlock(options.exifOrientation);
        jpeg_write_marker(&info, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif.data()),
                          static_cast<unsigned>(exif.size()));
    }
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * static_cast<std::size_t>(components));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            putSamples(colour(x, y), options.kind, row.data() + static_cast<std::size_t>(x) * components);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

} // namespace kes::test
