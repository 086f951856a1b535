#include "cover/cover_picture.h"

#include "g32/g32_bitmap32.h"
#include "platform/gdi/bmp_file.h"
#include "platform/gdi/graphic.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <random>

namespace cover {
namespace {

namespace gdi = platform::gdi;

int channel(std::uint32_t pixel, int shift) {
    return static_cast<int>((pixel >> shift) & 0xFF);
}

TEST(CoverPicture, DecodesAJpegPicture) {
    const std::string jpeg =
        kes::test::makeJpeg(64, 32, [](int x, int) { return x < 32 ? 0xFF0000u : 0x0000FFu; });
    auto bitmap = decodeJpeg(jpeg);
    ASSERT_EQ(bitmap->width(), 64);
    ASSERT_EQ(bitmap->height(), 32);
    const std::uint32_t left = bitmap->bits()[16 * 64 + 8];
    const std::uint32_t right = bitmap->bits()[16 * 64 + 56];
    EXPECT_GT(channel(left, 16), 230);
    EXPECT_LT(channel(left, 0), 30);
    EXPECT_GT(channel(right, 0), 230);
    EXPECT_LT(channel(right, 16), 30);
}

TEST(CoverPicture, DamagedJpegDataIsRefusedOrDecodedButNeverCrashes) {
    EXPECT_THROW(decodeJpeg(""), gdi::GraphicError);
    EXPECT_THROW(decodeJpeg("not a picture at all"), gdi::GraphicError);
    const std::string jpeg =
        kes::test::makeJpeg(40, 40, [](int x, int y) { return static_cast<std::uint32_t>(x * y); });
    // A file cut inside its data still gives a picture of the full size.
    auto cut = decodeJpeg(jpeg.substr(0, jpeg.size() / 2));
    EXPECT_EQ(cut->width(), 40);
    for (std::size_t n = 0; n < 200 && n < jpeg.size(); n += 7)
        EXPECT_THROW(decodeJpeg(jpeg.substr(0, n)), gdi::GraphicError) << n;
    std::mt19937 random(3);
    for (int round = 0; round < 300; ++round) {
        std::string damaged = jpeg;
        for (int k = 0; k < 6; ++k)
            damaged[random() % damaged.size()] = static_cast<char>(random());
        try {
            auto bitmap = decodeJpeg(damaged);
            EXPECT_GT(bitmap->width(), 0);
        } catch (const gdi::GraphicError&) {
        }
    }
}

// A picture whose header gives more pixels than allowed is named too large, with its size.
TEST(CoverPicture, AnOversizeJpegSaysItIsTooLarge) {
    std::string jpeg = kes::test::makeJpeg(16, 16, [](int, int) { return 0x808080u; });
    // The frame header (SOF0, FF C0): height and width after the length and the precision.
    const std::size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    for (const std::size_t at : {sof + 5, sof + 7}) {
        jpeg[at] = static_cast<char>(30000 >> 8);
        jpeg[at + 1] = static_cast<char>(30000 & 0xFF);
    }
    try {
        decodeJpeg(jpeg);
        FAIL() << "decoded";
    } catch (const gdi::GraphicError& e) {
        EXPECT_NE(std::string(e.what()).find("too large (30000 x 30000 pixels"), std::string::npos)
            << e.what();
    }
    kes::test::TempDir dir;
    kes::test::writeBytes(dir.file("big.jpg"), jpeg);
    gdi::Picture picture;
    try {
        picture.loadFromFile(dir.file("big.jpg"));
        FAIL() << "loaded";
    } catch (const gdi::GraphicError& e) {
        EXPECT_NE(std::string(e.what()).find("30000 x 30000"), std::string::npos) << e.what();
    }
}

TEST(CoverPicture, LoadsByExtension) {
    kes::test::TempDir dir;
    kes::test::writeBytes(dir.path() / "front.JPEG", kes::test::makeJpeg(8, 6, [](int, int) { return 0u; }));
    const std::uint32_t pixels[4] = {0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00};
    kes::test::writeBytes(dir.path() / "back.bmp", gdi::encodeBmp(2, 2, pixels, 24));
    kes::test::writeBytes(dir.path() / "bad.jpg", "garbage");
    EXPECT_TRUE(isJpegName("a/b.Jpg"));
    EXPECT_FALSE(isJpegName("a.jpg/b.png"));
    EXPECT_EQ(loadPicture(dir.file("front.JPEG"))->width(), 8);
    auto bmp = loadPicture(dir.file("back.bmp"));
    EXPECT_EQ(bmp->bits()[3] & 0xFFFFFF, 0x00FF00u);
    EXPECT_THROW(loadPicture(dir.file("bad.jpg")), gdi::GraphicError);
    EXPECT_THROW(loadPicture(dir.file("missing.jpg")), gdi::GraphicError);
}

// The cover's own pictures and the bitmap library's loader go through one decoder, so print software's
// CMYK files and grey scans look the same in every place the cover shows them.
TEST(CoverPicture, CoverAndBitmapLibraryDecodeJpegAlike) {
    kes::test::TempDir dir;
    const auto colour = [](int x, int y) { return x < 8 ? 0xC02020u : y < 8 ? 0x2020C0u : 0x808080u; };
    for (kes::test::JpegKind kind : {kes::test::JpegKind::AdobeCmyk, kes::test::JpegKind::PlainCmyk,
                                     kes::test::JpegKind::Grey, kes::test::JpegKind::Colour}) {
        kes::test::JpegOptions options;
        options.kind = kind;
        const std::string path = dir.file("p" + std::to_string(static_cast<int>(kind)) + ".jpg");
        kes::test::writeBytes(path, kes::test::makeJpeg(16, 16, colour, options));
        auto cover = loadPicture(path);
        g32::TBitmap32 bitmap;
        bitmap.LoadFromFile(path);
        ASSERT_EQ(bitmap.Width(), cover->width());
        ASSERT_EQ(bitmap.Height(), cover->height());
        for (int i = 0; i < 16 * 16; ++i)
            ASSERT_EQ(bitmap.Bits()[i], cover->bits()[i] | 0xFF000000u) << static_cast<int>(kind) << " " << i;
        if (kind == kes::test::JpegKind::AdobeCmyk) {
            EXPECT_GT(channel(bitmap.Pixel(2, 2), 16), 0xA0); // red stays red, not its inverse
            EXPECT_LT(channel(bitmap.Pixel(2, 2), 0), 0x40);
        }
    }
}

} // namespace
} // namespace cover
