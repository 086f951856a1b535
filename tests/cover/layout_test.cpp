#include "cover/cover_layout.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

namespace cover {
namespace {

std::string le32(std::uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return s;
}

TEST(CoverLayoutFile, DefaultLayoutIs280BytesWithTheTitleRecordFirst) {
    const std::string bytes = encodeLayoutFile(defaultLayout(), "/p/covers/back/bckgnd.jpg", "");
    ASSERT_EQ(bytes.size(), LayoutMinimumSize);
    const std::string title =
        std::string("\x0F\x00", 2) + le32(0) + le32(5) + "Arial" + le32(10) + le32(90) + std::string(1, '\0');
    EXPECT_EQ(bytes.substr(0, title.size()), title);
    // The second record is the rip description (20, 190), not the runtime item.
    const std::string second = bytes.substr(24, 24);
    EXPECT_EQ(second.substr(15, 8), le32(20) + le32(190));
    EXPECT_EQ(bytes.substr(144, 64), "bckgnd.jpg" + std::string(54, ' '));
    EXPECT_EQ(bytes.substr(208, 64), std::string(64, ' '));
    EXPECT_EQ(bytes.substr(272), le32(320) + le32(8));
}

TEST(CoverLayoutFile, RoundTripIsByteExactAndKeepsTheRuntimeItem) {
    CoverLayout layout = defaultLayout();
    layout.Items[ciTitle] = {200, StyleBold | StyleStrikeOut, 0x00123456, "Caf\xC3\xA9 Sans Serif", -5, 77,
                             1};
    layout.Items[ciSubtitle].FontName = "";
    layout.Items[ciComments].Color = 0xFFFFFFFF;
    layout.LogoX = -1;
    layout.LogoY = 123456;
    const std::string bytes = encodeLayoutFile(layout, "/a/b.jpg", "/c/logo.bmp");
    // The font name is stored in code page 1252: "é" is one byte.
    EXPECT_NE(bytes.find(std::string("Caf\xE9 Sans Serif")), std::string::npos);

    LayoutFile file;
    ASSERT_EQ(decodeLayoutFile(bytes, file), LayoutReadStatus::Ok);
    EXPECT_EQ(file.BackgroundName, "b.jpg");
    EXPECT_EQ(file.LogoName, "logo.bmp");
    CoverLayout loaded = defaultLayout();
    loaded.Items[ciRuntime] = {33, StyleItalic, 7, "Runtime Font", 1, 2, 0};
    applyLayoutFile(file, loaded);
    EXPECT_EQ(loaded.Items[ciTitle], layout.Items[ciTitle]);
    EXPECT_EQ(loaded.Items[ciTitle].Placing, 1);
    EXPECT_EQ(loaded.Items[ciRuntime].FontName, "Runtime Font");
    EXPECT_EQ(loaded.LogoX, -1);
    EXPECT_EQ(encodeLayoutFile(loaded, "/x/b.jpg", "/y/logo.bmp"), bytes);
}

// A file may hold any 32-bit position and any bytes in its names: positions are held where text can
// still be drawn (and printed at high resolutions) and control bytes never reach a font or a path.
TEST(CoverLayoutFile, ExtremePositionsAndControlBytesAreMadeSafe) {
    CoverLayout layout = defaultLayout();
    layout.Items[ciTitle].X = std::numeric_limits<std::int32_t>::max();
    layout.Items[ciTitle].Y = std::numeric_limits<std::int32_t>::min();
    layout.Items[ciComments].FontName = std::string("Ari\x01"
                                                    "al\x7F",
                                                    7);
    layout.Items[ciGenre].FontName = std::string("\x00\n", 2);
    layout.LogoX = std::numeric_limits<std::int32_t>::max() - 1;
    layout.LogoY = 55;
    LayoutFile file;
    ASSERT_EQ(decodeLayoutFile(encodeLayoutFile(layout, "/a/back\x02.jpg", "/b/logo.bmp"), file),
              LayoutReadStatus::Ok);
    CoverLayout loaded = defaultLayout();
    applyLayoutFile(file, loaded);
    EXPECT_EQ(loaded.Items[ciTitle].X, MaxLayoutCoordinate);
    EXPECT_EQ(loaded.Items[ciTitle].Y, -MaxLayoutCoordinate);
    EXPECT_EQ(loaded.LogoX, MaxLayoutCoordinate);
    EXPECT_EQ(loaded.LogoY, 55);
    EXPECT_EQ(loaded.Items[ciComments].FontName, "Arial");
    EXPECT_EQ(loaded.Items[ciGenre].FontName, DefaultFontName);
    EXPECT_FALSE(usablePictureName(file.BackgroundName));
    EXPECT_TRUE(usablePictureName(file.LogoName));
}

TEST(CoverLayoutFile, PictureNamesArePaddedOrCutTo64Bytes) {
    const std::string exact(64, 'e');
    EXPECT_EQ(pictureNameField("/dir/" + exact), exact);
    const std::string longName(70, 'l');
    EXPECT_EQ(pictureNameField("/dir/" + longName), std::string(64, 'l'));
    EXPECT_EQ(pictureNameField("short.jpg"), "short.jpg" + std::string(55, ' '));
    LayoutFile file;
    ASSERT_EQ(decodeLayoutFile(encodeLayoutFile(defaultLayout(), "/d/" + longName, "  "), file),
              LayoutReadStatus::Ok);
    EXPECT_EQ(file.BackgroundName, std::string(64, 'l'));
    EXPECT_EQ(file.LogoName, "");
}

// A layout the window saved with short font names is shorter than 280 bytes and loads all the same.
TEST(CoverLayoutFile, ShortFontNamesLoad) {
    CoverLayout fourLetters = defaultLayout();
    for (auto& item : fourLetters.Items)
        item.FontName = "Sans";
    fourLetters.LogoX = 12;
    LayoutFile file;
    const std::string shortFile = encodeLayoutFile(fourLetters, "", "");
    EXPECT_LT(shortFile.size(), LayoutMinimumSize);
    ASSERT_EQ(decodeLayoutFile(shortFile, file), LayoutReadStatus::Ok);
    EXPECT_EQ(file.Records[0].FontName, "Sans");
    EXPECT_EQ(file.LogoX, 12);
    for (auto& item : fourLetters.Items)
        item.FontName = "";
    EXPECT_EQ(decodeLayoutFile(encodeLayoutFile(fourLetters, "", ""), file), LayoutReadStatus::Ok);
}

TEST(CoverLayoutFile, PictureNamesAreCutOnCharacters) {
    const std::string name = std::string(63, 'a') + "Ã©.jpg"; // the 64th and 65th bytes make one letter
    EXPECT_EQ(pictureNameField("/d/" + name), std::string(63, 'a') + " ");
}

TEST(CoverLayoutFile, ShortAndDamagedFilesChangeNothing) {
    LayoutFile file;
    file.LogoX = 999;
    const std::string tooShort = encodeLayoutFile(defaultLayout(), "", "").substr(0, 200);
    EXPECT_EQ(decodeLayoutFile(tooShort, file), LayoutReadStatus::TooShort);

    std::string bytes = encodeLayoutFile(defaultLayout(), "", "");
    std::string huge = bytes;
    huge.replace(6, 4, le32(0x7FFFFFFF));
    EXPECT_EQ(decodeLayoutFile(huge, file), LayoutReadStatus::Damaged);
    std::string cut = bytes + std::string(30, 'x');
    cut.replace(6, 4, le32(40)); // the name swallows the rest and the file ends inside a record
    EXPECT_EQ(decodeLayoutFile(cut, file), LayoutReadStatus::Damaged);
    EXPECT_EQ(file.LogoX, 999);

    // A negative name length reads no name and goes on.
    CoverLayout noName = defaultLayout();
    noName.Items[ciTitle].FontName = "";
    noName.Items[ciGenre].FontName = "Arial Black";
    std::string negative = encodeLayoutFile(noName, "", "");
    ASSERT_GE(negative.size(), LayoutMinimumSize);
    negative.replace(6, 4, le32(0xFFFFFFFF));
    ASSERT_EQ(decodeLayoutFile(negative, file), LayoutReadStatus::Ok);
    EXPECT_EQ(file.Records[0].FontName, "");
    EXPECT_EQ(file.Records[3].FontName, "Arial Black");
}

TEST(CoverLayoutFile, EveryCutAndRandomDamageIsRefusedWithoutCrashing) {
    const std::string bytes = encodeLayoutFile(defaultLayout(), "bg.jpg", "logo.jpg");
    LayoutFile file;
    for (std::size_t n = 0; n < bytes.size(); ++n)
        EXPECT_NE(decodeLayoutFile(bytes.substr(0, n), file), LayoutReadStatus::Ok) << n;
    std::mt19937 random(5);
    for (int round = 0; round < 2000; ++round) {
        std::string damaged = bytes;
        for (int k = 0; k < 4; ++k)
            damaged[random() % damaged.size()] = static_cast<char>(random());
        damaged.resize(LayoutMinimumSize + random() % 100, '\x7F');
        const LayoutReadStatus status = decodeLayoutFile(damaged, file);
        EXPECT_TRUE(status == LayoutReadStatus::Ok || status == LayoutReadStatus::Damaged);
    }
}

} // namespace
} // namespace cover
