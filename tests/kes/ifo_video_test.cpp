// The IFO file's video part on hand-made bytes: the attribute bytes, the longest program chain with its
// standard, and short or damaged files that must fail cleanly.
#include "kes/ifo_video.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <vector>

namespace kes {
namespace {

struct Chain {
    uint8_t hours, minutes, seconds, frameByte; // BCD, as the disc stores them
};

// A title set IFO with its chain table in sector 1.
std::string makeIfo(uint8_t a, uint8_t b, const std::vector<Chain>& chains) {
    constexpr size_t Table = 2048;
    std::string ifo(Table + 8 + 8 * chains.size() + 16 * chains.size(), '\0');
    ifo[0x200] = static_cast<char>(a);
    ifo[0x201] = static_cast<char>(b);
    ifo[0xCF] = 1; // sector 1
    ifo[Table + 1] = static_cast<char>(chains.size());
    for (size_t i = 0; i < chains.size(); ++i) {
        const size_t entry = Table + 8 * (i + 1);
        const size_t chain = 8 + 8 * chains.size() + 16 * i; // relative to the table
        ifo[entry + 6] = static_cast<char>(chain >> 8);
        ifo[entry + 7] = static_cast<char>(chain & 0xFF);
        ifo[Table + chain + 4] = static_cast<char>(chains[i].hours);
        ifo[Table + chain + 5] = static_cast<char>(chains[i].minutes);
        ifo[Table + chain + 6] = static_cast<char>(chains[i].seconds);
        ifo[Table + chain + 7] = static_cast<char>(chains[i].frameByte);
    }
    return ifo;
}

constexpr uint8_t Pal = 0x40;
constexpr uint8_t Ntsc = 0xC0;

TEST(IfoTitleInfoTest, LongestChainGivesLengthAndStandard) {
    const std::string ifo =
        makeIfo(0x5C, 0x08, {{0x00, 0x05, 0x00, Ntsc}, {0x01, 0x52, 0x07, Pal}, {0x01, 0x52, 0x07, Ntsc}});
    const IfoTitleInfo info = readIfoTitleInfo(ifo, "");
    EXPECT_EQ(info.attributeA, 0x5C);
    EXPECT_EQ(info.attributeB, 0x08);
    EXPECT_EQ(info.minutes, "112");
    EXPECT_EQ(info.seconds, "7");
    EXPECT_EQ(info.standard, "PAL"); // the first of two equally long chains wins
}

TEST(IfoTitleInfoTest, UnknownRateCodesAndNoChainsKeepTheStandard) {
    EXPECT_EQ(readIfoTitleInfo(makeIfo(0, 0, {{0x00, 0x30, 0x00, 0x80}}), "NTSC").standard, "NTSC");
    const IfoTitleInfo none = readIfoTitleInfo(makeIfo(0, 0, {}), "PAL");
    EXPECT_EQ(none.minutes, "0");
    EXPECT_EQ(none.seconds, "0");
    EXPECT_EQ(none.standard, "PAL");
    // Bytes that are no BCD digits are no time: the chain is passed over.
    const IfoTitleInfo bad =
        readIfoTitleInfo(makeIfo(0, 0, {{0x1A, 0x00, 0x00, Pal}, {0x00, 0x01, 0x00, Ntsc}}), "");
    EXPECT_EQ(bad.minutes, "1");
    EXPECT_EQ(bad.standard, "NTSC");
}

TEST(IfoTitleInfoTest, ShortOrDamagedFilesFailCleanly) {
    const std::string good = makeIfo(0x10, 0, {{0x01, 0x00, 0x00, Pal}});
    EXPECT_THROW(readIfoTitleInfo(good.substr(0, 0x201), ""), IfoReadError);
    EXPECT_THROW(readIfoTitleInfo(good.substr(0, 2049), ""), IfoReadError);          // table cut
    EXPECT_THROW(readIfoTitleInfo(good.substr(0, 2048 + 16 + 7), ""), IfoReadError); // no frame byte

    std::string farSector = good;
    farSector[0xCC] = static_cast<char>(0xFF); // a table far beyond the end of the file
    EXPECT_THROW(readIfoTitleInfo(farSector, ""), IfoReadError);

    std::string manyChains = good;
    manyChains[2048] = static_cast<char>(0xFF); // 65281 chains announced, one there
    EXPECT_THROW(readIfoTitleInfo(manyChains, ""), IfoReadError);

    std::string wildOffset = good;
    wildOffset[2048 + 12] = static_cast<char>(0xFF); // chain offset near 4 GB
    EXPECT_THROW(readIfoTitleInfo(wildOffset, ""), IfoReadError);
}

TEST(IfoTitleInfoTest, FileIsReadAtItsOffsets) {
    test::TempDir dir("kes-ifo");
    const std::string path = dir.file("VTS_01_0.IFO");
    test::writeBytes(path, makeIfo(0x10, 0x04, {{0x02, 0x00, 0x59, Pal}}));
    const IfoTitleInfo info = ReadIfoTitleInfo(path, "");
    EXPECT_EQ(info.minutes, "120");
    EXPECT_EQ(info.seconds, "59");
    EXPECT_EQ(info.attributeB, 0x04);
    test::writeBytes(path, "short");
    EXPECT_THROW(ReadIfoTitleInfo(path, ""), IfoReadError);
    EXPECT_THROW(ReadIfoTitleInfo(dir.file("missing.ifo"), ""), IfoReadError);
}

TEST(VideoInfoTest, AttributeBits) {
    // MPEG-2, PAL, 16:9, letterboxed bit clear; VBR, 720 wide.
    VideoInfoTexts t = videoInfoTexts(0x5C, 0x00);
    EXPECT_EQ(t.coding, "Mpeg-2");
    EXPECT_EQ(t.standard, "PAL");
    EXPECT_EQ(t.aspect, "16:9");
    EXPECT_TRUE(t.wide);
    EXPECT_EQ(t.bitrateMode, "VBR");
    EXPECT_EQ(t.resolution, "720x576");
    EXPECT_EQ(t.letterboxed, "Yes");

    t = videoInfoTexts(0x01, 0x1C);
    EXPECT_EQ(t.coding, "Mpeg-1");
    EXPECT_EQ(t.standard, "NTSC");
    EXPECT_EQ(t.aspect, "4:3");
    EXPECT_FALSE(t.wide);
    EXPECT_EQ(t.bitrateMode, "CBR");
    EXPECT_EQ(t.resolution, "352x240");
    EXPECT_EQ(t.letterboxed, "No");

    EXPECT_EQ(videoInfoTexts(0x10, 0x04).resolution, "704x576");
    EXPECT_EQ(videoInfoTexts(0x00, 0x08).resolution, "352x480");
}

} // namespace
} // namespace kes
