#include "platform/gdi/bmp_file.h"
#include "platform/gdi/graphic.h"
#include "platform/gdi/jpeg_file.h"
#include "tests/support/jpeg_maker.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace platform::gdi {
namespace {

using kes::test::JpegKind;
using kes::test::JpegOptions;

constexpr int Side = 32;
constexpr int Tolerance = 14;

// Four quadrants: red, green, blue-grey and dark grey; a grey picture takes the blue byte as its level.
std::uint32_t quadrant(int x, int y) {
    const bool right = x >= Side / 2;
    const bool bottom = y >= Side / 2;
    if (!right && !bottom)
        return 0xE01010;
    if (right && !bottom)
        return 0x20C040;
    if (!right)
        return 0x6080C0;
    return 0x303030;
}

void expectNear(std::uint32_t got, std::uint32_t want, bool grey, const std::string& what) {
    for (int shift : {16, 8, 0}) {
        const int g = static_cast<int>((got >> shift) & 0xFF);
        const int w = static_cast<int>(((grey ? want & 0xFF : want >> shift)) & 0xFF);
        EXPECT_LE(std::abs(g - w), Tolerance) << what << " channel " << shift << ": " << std::hex << got;
    }
    EXPECT_EQ(got >> 24, 0xFFu) << what;
}

TEST(JpegFile, DecodesEveryColourModelOfOtherWriters) {
    const struct {
        JpegKind kind;
        const char* name;
    } kinds[] = {{JpegKind::Colour, "colour"},
                 {JpegKind::Grey, "grey"},
                 {JpegKind::AdobeCmyk, "Adobe CMYK"},
                 {JpegKind::PlainCmyk, "plain CMYK"},
                 {JpegKind::AdobeYcck, "YCCK"}};
    for (const auto& k : kinds) {
        for (bool progressive : {false, true}) {
            const std::string what = std::string(k.name) + (progressive ? " progressive" : " baseline");
            JpegOptions options;
            options.kind = k.kind;
            options.progressive = progressive;
            const std::optional<JpegImage> image =
                decodeJpeg(kes::test::makeJpeg(Side, Side, quadrant, options));
            ASSERT_TRUE(image) << what;
            ASSERT_EQ(image->width, Side) << what;
            ASSERT_EQ(image->height, Side) << what;
            const bool grey = k.kind == JpegKind::Grey;
            for (auto [x, y] : {std::pair{4, 4}, std::pair{28, 4}, std::pair{4, 28}, std::pair{28, 28}})
                expectNear(image->pixels[static_cast<std::size_t>(y * Side + x)], quadrant(x, y), grey,
                           what + " at " + std::to_string(x) + "," + std::to_string(y));
        }
    }
}

TEST(JpegFile, KeepsTheStoredOrientationWhateverTheExifTagSays) {
    JpegOptions options;
    options.exifOrientation = 6; // "rotate 90 degrees clockwise to show"
    const auto colour = [](int x, int) { return x < 24 ? 0xF00000u : 0x0000F0u; };
    const std::string bytes = kes::test::makeJpeg(48, 16, colour, options);
    ASSERT_NE(bytes.find("Exif"), std::string::npos);
    const std::optional<JpegImage> image = decodeJpeg(bytes);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 48);
    EXPECT_EQ(image->height, 16);
    expectNear(image->pixels[8 * 48 + 4], 0xF00000, false, "left");
    expectNear(image->pixels[8 * 48 + 44], 0x0000F0, false, "right");
}

TEST(JpegFile, RefusesWhatIsNoPictureOrTooLarge) {
    EXPECT_FALSE(decodeJpeg(""));
    EXPECT_FALSE(decodeJpeg("\xFF\xD8\xFF\xE0 not really"));
    std::string bytes = kes::test::makeJpeg(8, 8, [](int, int) { return 0u; });
    const std::size_t sof = bytes.find("\xFF\xC0", 0, 2);
    ASSERT_NE(sof, std::string::npos);
    // Height and width of 20000 each: far more pixels than any picture may bring.
    for (std::size_t i : {sof + 5, sof + 7}) {
        bytes[i] = '\x4E';
        bytes[i + 1] = '\x20';
    }
    EXPECT_FALSE(decodeJpeg(bytes));
}

TEST(JpegFile, ThePictureLoaderUsesTheSameDecoder) {
    kes::test::TempDir dir;
    JpegOptions options;
    options.kind = JpegKind::AdobeCmyk;
    const std::string bytes = kes::test::makeJpeg(Side, Side, quadrant, options);
    kes::test::writeBytes(dir.path() / "cmyk.JPEG", bytes);
    Picture picture;
    picture.loadFromFile(dir.file("cmyk.JPEG"));
    ASSERT_EQ(picture.width(), Side);
    Bitmap drawn;
    drawn.setSize(Side, Side);
    picture.graphic()->draw(drawn.canvas(), {0, 0, Side, Side});
    const std::optional<JpegImage> direct = decodeJpeg(bytes);
    ASSERT_TRUE(direct);
    for (std::size_t i = 0; i < direct->pixels.size(); ++i)
        ASSERT_EQ(drawn.bits()[i] & 0xFFFFFF, direct->pixels[i] & 0xFFFFFF) << i;
}

} // namespace
} // namespace platform::gdi
