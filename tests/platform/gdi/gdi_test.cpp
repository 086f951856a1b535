#include "platform/gdi/bmp_file.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/dib_section.h"
#include "platform/gdi/graphic.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace platform::gdi {
namespace {

void put16(std::string& s, std::uint32_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string& s, std::uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

// A BMP file with a 40-byte header, the given palette and pixel rows as stored.
std::string bmpFile(int width, int height, int bits, const std::vector<std::uint32_t>& palette,
                    const std::string& rows, std::uint32_t compression = 0, const std::string& masks = {}) {
    std::string s = "BM";
    const std::uint32_t offset = 14 + 40 + static_cast<std::uint32_t>(masks.size() + palette.size() * 4);
    put32(s, offset + static_cast<std::uint32_t>(rows.size()));
    put32(s, 0);
    put32(s, offset);
    put32(s, 40);
    put32(s, static_cast<std::uint32_t>(width));
    put32(s, static_cast<std::uint32_t>(height));
    put16(s, 1);
    put16(s, static_cast<std::uint32_t>(bits));
    put32(s, compression);
    put32(s, static_cast<std::uint32_t>(rows.size()));
    put32(s, 0);
    put32(s, 0);
    put32(s, static_cast<std::uint32_t>(palette.size()));
    put32(s, 0);
    s += masks;
    for (std::uint32_t p : palette)
        put32(s, p);
    return s + rows;
}

TEST(Bmp, DecodesPaletteAndTrueColourDepths) {
    // 1 bit, 3 x 2 bottom-up: the file's first row is the picture's last.
    auto one = decodeBmp(bmpFile(3, 2, 1, {0x000000, 0xFFFFFF}, std::string("\xA0\0\0\0\x40\0\0\0", 8)));
    ASSERT_TRUE(one);
    EXPECT_EQ(one->pixels, (std::vector<std::uint32_t>{0, 0xFFFFFF, 0, 0xFFFFFF, 0, 0xFFFFFF}));
    // 4 bits, top-down.
    auto four = decodeBmp(bmpFile(2, -1, 4, {0x111111, 0x222222, 0x333333}, std::string("\x21\0\0\0", 4)));
    ASSERT_TRUE(four);
    EXPECT_EQ(four->pixels, (std::vector<std::uint32_t>{0x333333, 0x222222}));
    // 8 bits with an index past the palette: black.
    auto eight = decodeBmp(bmpFile(2, 1, 8, {0x010203}, std::string("\0\x09\0\0", 4)));
    ASSERT_TRUE(eight);
    EXPECT_EQ(eight->pixels, (std::vector<std::uint32_t>{0x010203, 0}));
    // 16 bits 5-5-5.
    auto sixteen = decodeBmp(bmpFile(1, 1, 16, {}, std::string("\x1F\x7C\0\0", 4)));
    ASSERT_TRUE(sixteen);
    EXPECT_EQ(sixteen->pixels[0], 0xFF00FFu);
    // 24 bits, rows padded to 4 bytes.
    auto rgb = decodeBmp(bmpFile(1, 2, 24, {}, std::string("\x01\x02\x03\0\x04\x05\x06\0", 8)));
    ASSERT_TRUE(rgb);
    EXPECT_EQ(rgb->pixels, (std::vector<std::uint32_t>{0x060504, 0x030201}));
    EXPECT_EQ(rgb->bitCount, 24);
    // 32 bits keeps the fourth byte; bit fields without alpha are opaque.
    auto argb = decodeBmp(bmpFile(1, 1, 32, {}, std::string("\x01\x02\x03\x04", 4)));
    ASSERT_TRUE(argb);
    EXPECT_EQ(argb->pixels[0], 0x04030201u);
    std::string masks;
    put32(masks, 0x0000FF00);
    put32(masks, 0x00FF0000);
    put32(masks, 0xFF000000);
    auto fields = decodeBmp(bmpFile(1, 1, 32, {}, std::string("\x00\x11\x22\x33", 4), 3, masks));
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->pixels[0], 0xFF112233u);
}

TEST(Bmp, RefusesDamagedFiles) {
    const std::string good = bmpFile(2, 2, 24, {}, std::string(16, '\x7F'));
    ASSERT_TRUE(decodeBmp(good));
    EXPECT_FALSE(decodeBmp(""));
    EXPECT_FALSE(decodeBmp("BM"));
    EXPECT_FALSE(decodeBmp(good.substr(0, good.size() - 1)));            // pixel data cut
    EXPECT_FALSE(decodeBmp(good.substr(0, 30)));                         // header cut
    EXPECT_FALSE(decodeBmp("XY" + good.substr(2)));                      // no magic
    EXPECT_FALSE(decodeBmp(bmpFile(0, 2, 24, {}, "")));                  // no width
    EXPECT_FALSE(decodeBmp(bmpFile(2, 2, 7, {}, std::string(16, 0))));   // odd depth
    EXPECT_FALSE(decodeBmp(bmpFile(2, 2, 8, {}, std::string(8, 0), 1))); // no end of a run-length bitmap
    EXPECT_FALSE(decodeBmp(bmpFile(100000, 100000, 1, {0, 1}, std::string(64, 0)))); // too many pixels
    EXPECT_FALSE(decodeBmp(bmpFile(1, std::numeric_limits<std::int32_t>::min(), 24, {}, std::string(4, 0))));
    std::string badOffset = good;
    badOffset[10] = '\xFF';
    badOffset[11] = '\xFF';
    EXPECT_FALSE(decodeBmp(badOffset));
    std::string badHeader = good;
    badHeader[14] = '\x05'; // header size 5
    EXPECT_FALSE(decodeBmp(badHeader));
    // A palette said to hold more entries than the file has.
    EXPECT_FALSE(decodeBmp(bmpFile(2, 1, 8, {}, std::string(2, 0)).substr(0, 54) + std::string(3, 0)));
    // Every truncation of a good file is refused without harm.
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(decodeBmp(good.substr(0, n))) << n;
}

// Run-length BMP files as image programs write 8-bit (and 4-bit) pictures by default: runs, absolute
// stretches padded to 16 bits, end-of-line, delta and end-of-bitmap marks; rows bottom-up.
TEST(Bmp, DecodesRunLengthFiles) {
    const std::vector<std::uint32_t> palette{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    const std::string rle8 = std::string("\x04\x02\x00\x00", 4)                            // bottom: 4 x blue
                             + std::string("\x00\x03\x00\x01\x02\x00\x01\x03\x00\x00", 10) // r g b w
                             + std::string("\x00\x02\x02\x00\x02\x01\x00\x01", 8);         // skip 2, g g
    const auto image = decodeBmp(bmpFile(4, 3, 8, palette, rle8, 1));
    ASSERT_TRUE(image);
    const std::vector<std::uint32_t> expected{0xFF0000, 0xFF0000, 0x00FF00, 0x00FF00, // top row
                                              0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, //
                                              0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF};
    EXPECT_EQ(image->pixels, expected);
    EXPECT_EQ(image->bitCount, 8);

    const auto four =
        decodeBmp(bmpFile(5, 1, 4, palette, std::string("\x02\x12\x00\x03\x31\x20\x00\x01", 8), 2));
    ASSERT_TRUE(four);
    EXPECT_EQ(four->pixels, (std::vector<std::uint32_t>{0x00FF00, 0x0000FF, 0xFFFFFF, 0x00FF00, 0x0000FF}));

    // A few bytes claiming a large picture are refused before it is made.
    EXPECT_FALSE(decodeBmp(bmpFile(8192, 8192, 8, palette, std::string("\x00\x01", 2), 1)));
    // A run past the row's end, or data ending before the end mark, is damage.
    EXPECT_FALSE(decodeBmp(bmpFile(4, 1, 8, palette, std::string("\x05\x01\x00\x01", 4), 1)));
    EXPECT_FALSE(decodeBmp(bmpFile(4, 1, 8, palette, std::string("\x04\x01", 2), 1)));
    EXPECT_FALSE(
        decodeBmp(bmpFile(4, 1, 4, palette, std::string("\x04\x01\x00\x01", 4), 1))); // 4 bits as RLE8
}

// A picture larger than allowed says so, with its size, instead of calling the file damaged.
TEST(Bmp, ATooLargePictureIsNamedSo) {
    Bitmap bitmap;
    try {
        bitmap.loadFromBytes(bmpFile(100000, 100000, 1, {0, 1}, std::string(64, 0)));
        FAIL() << "loaded";
    } catch (const GraphicError& e) {
        EXPECT_NE(std::string(e.what()).find("100000 x 100000"), std::string::npos) << e.what();
    }
    try {
        bitmap.loadFromBytes("BM" + std::string(60, 0));
        FAIL() << "loaded";
    } catch (const GraphicError& e) {
        EXPECT_STREQ(e.what(), BitmapNotValidText);
    }
}

TEST(Bmp, EncodesBottomUpFilesThatDecodeBack) {
    const std::vector<std::uint32_t> px = {0x80010203, 0x40040506, 0x20070809};
    const std::string b32 = encodeBmp(3, 1, px.data(), 32);
    EXPECT_EQ(b32.size(), 54u + 12u);
    auto back32 = decodeBmp(b32);
    ASSERT_TRUE(back32);
    EXPECT_EQ(back32->pixels, px);
    const std::string b24 = encodeBmp(1, 3, px.data(), 24);
    EXPECT_EQ(b24.size(), 54u + 12u);
    EXPECT_EQ(b24.substr(54, 3), "\x09\x08\x07"); // bottom row first
    auto back24 = decodeBmp(b24);
    ASSERT_TRUE(back24);
    EXPECT_EQ(back24->pixels, (std::vector<std::uint32_t>{0x010203, 0x040506, 0x070809}));
}

std::unique_ptr<DibSection> section(int w, int h) {
    BitmapInfo info;
    info.header.width = w;
    info.header.height = -h;
    info.header.bitCount = 32;
    return DibSection::create(info);
}

TEST(Dib, SectionsAndBlockCopies) {
    EXPECT_FALSE(section(0, 1));
    EXPECT_FALSE(section(70000, 70000)); // beyond the limit
    BitmapInfo bottomUp;
    bottomUp.header.width = 2;
    bottomUp.header.height = 2;
    bottomUp.header.bitCount = 32;
    EXPECT_FALSE(DibSection::create(bottomUp));

    auto a = section(4, 4);
    auto b = section(3, 3);
    ASSERT_TRUE(a && b);
    for (int i = 0; i < 16; ++i)
        a->bits()[i] = static_cast<std::uint32_t>(i + 1);
    auto da = DeviceContext::createCompatible();
    auto db = DeviceContext::createCompatible();
    EXPECT_FALSE(bitBlt(*db, 0, 0, 1, 1, *da, 0, 0)); // no surfaces yet
    da->selectBitmap(a.get());
    db->selectBitmap(b.get());
    // Clipped at both ends: source from (-1, -1), destination at (1, 1).
    EXPECT_TRUE(bitBlt(*db, 1, 1, 5, 5, *da, -1, -1));
    EXPECT_EQ(b->bits()[4], 0u); // (1, 1) lies on the source's -1 column
    EXPECT_EQ(b->bits()[8], 1u); // (2, 2) takes source (0, 0)
    // Within one surface, a block moved down and right keeps its contents.
    EXPECT_TRUE(bitBlt(*da, 1, 1, 3, 3, *da, 0, 0));
    EXPECT_EQ(a->bits()[15], 11u);
    EXPECT_EQ(a->bits()[5], 1u);
    // Stretch with AND.
    std::fill(b->bits(), b->bits() + 9, 0xFFFFFFF0u);
    a->bits()[0] = 0x0F0F0F0F;
    EXPECT_TRUE(stretchBlt(*db, 0, 0, 2, 2, *da, 0, 0, 1, 1, RasterOp::SrcAnd));
    EXPECT_EQ(b->bits()[0], 0x0F0F0F00u);
    EXPECT_EQ(b->bits()[4], 0x0F0F0F00u);
    EXPECT_EQ(b->bits()[2], 0xFFFFFFF0u);
}

TEST(Dib, ToolkitBitmapResizeKeepsPixelsAndSavesAtomically) {
    kes::test::TempDir dir;
    Bitmap bmp;
    bmp.setSize(2, 1);
    bmp.bits()[0] = 0x123456;
    bmp.setSize(3, 2);
    EXPECT_EQ(bmp.bits()[0], 0x123456u);
    EXPECT_EQ(bmp.bits()[5], 0xFFFFFFFFu);
    bmp.saveToFile(dir.file("a.bmp"));
    Bitmap again;
    again.loadFromFile(dir.file("a.bmp"));
    EXPECT_EQ(again.width(), 3);
    EXPECT_EQ(again.pixelFormat(), PixelFormat::Bits24);
    EXPECT_EQ(again.bits()[0] & 0xFFFFFF, 0x123456u);
    EXPECT_THROW(bmp.saveToFile(dir.file("no/such/folder/a.bmp")), GraphicError);
}

} // namespace
} // namespace platform::gdi

namespace platform::gdi {
namespace {

// Damaged files kept from the reader's hard cases: each is refused, by the reader and by the loader.
TEST(Bmp, DamagedCorpusIsRefused) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(KES_GDI_CORPUS)) {
        ++files;
        const std::string bytes = kes::test::readBytes(entry.path());
        EXPECT_FALSE(decodeBmp(bytes)) << entry.path();
        Bitmap bitmap;
        EXPECT_THROW(bitmap.loadFromFile(entry.path().string()), GraphicError) << entry.path();
        EXPECT_EQ(bitmap.width(), 0);
    }
    EXPECT_GE(files, 8);
}

} // namespace
} // namespace platform::gdi
