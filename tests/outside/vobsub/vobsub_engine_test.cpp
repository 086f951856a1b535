// The extractor's engine without the programs: the control file's forms, the IFO fields it takes
// (sizes, stream numbers, palette, cells) and the index's time texts.
#include "outside/vobsub/idx_writer.h"
#include "outside/vobsub/title_ifo.h"
#include "outside/vobsub/vobsub_error.h"
#include "outside/vobsub/vsp_config.h"

#include "tests/support/ifogen.h"

#include <gtest/gtest.h>

namespace outside::vobsub {
namespace {

TEST(VspConfig, LineEndsWordsAndRepeatedStreams) {
    const VspConfig crlf = parseVspConfig("/d/VTS_01_0.IFO\r\n/o/movie\r\n0 2 \r\nBLIND\r\nCLOSE\r\n");
    EXPECT_EQ(crlf.ifo, "/d/VTS_01_0.IFO");
    EXPECT_EQ(crlf.destination, "/o/movie");
    EXPECT_EQ(crlf.streams, (std::vector<int>{0, 2}));
    EXPECT_TRUE(crlf.blind && crlf.close);
    // Blanks inside paths are kept; LF alone ends lines too; the words ignore case and may be missing.
    const VspConfig lf = parseVspConfig("/my dvd/a.IFO\n/out put/m\n  3\t1 3 1\nblind\n");
    EXPECT_EQ(lf.ifo, "/my dvd/a.IFO");
    EXPECT_EQ(lf.destination, "/out put/m");
    EXPECT_EQ(lf.streams, (std::vector<int>{3, 1}));
    EXPECT_TRUE(lf.blind);
    EXPECT_FALSE(lf.close);
    EXPECT_THROW(parseVspConfig("a\rb\r32 \r"), VobSubError);
    EXPECT_THROW(parseVspConfig("a\nb\n-1\n"), VobSubError);
    EXPECT_THROW(parseVspConfig(" \nb\n1\n"), VobSubError);
    EXPECT_THROW(parseVspConfig(std::string(MaxVspIniSize + 1, 'a')), VobSubError);
}

TEST(TitleIfo, SizesStreamNumbersPaletteAndCells) {
    kes::test::IfoSpec spec;
    spec.pal = false;
    spec.resolution = 3;
    spec.subtitles = {"en", "", "fr"};
    spec.subpictureNumbers = {4, 0, 9};
    spec.palette[0] = 0x000000;
    spec.palette[5] = 0xFFFFFF;
    spec.palette[9] = 0x3366CC;
    kes::test::IfoCell a, b;
    a.seconds = 61.5;
    b.seconds = 2.0;
    b.vobId = 2;
    b.cellId = 7;
    spec.cells = {a, b};
    spec.shorterChains = {30.0};
    const TitleIfo title = parseTitleIfo(kes::test::makeIfo(spec));
    EXPECT_EQ(title.width, 352);
    EXPECT_EQ(title.height, 240);
    ASSERT_EQ(title.subpictures.size(), 3u);
    EXPECT_EQ(title.subpictures[0].code, "en");
    EXPECT_EQ(title.subpictures[0].number, 4);
    EXPECT_EQ(title.subpictures[1].code, "");
    EXPECT_EQ(title.subpictures[2].number, 9);
    const auto near = [](uint32_t got, uint32_t want) {
        for (int shift : {0, 8, 16})
            if (std::abs(static_cast<int>((got >> shift) & 0xFF) - static_cast<int>((want >> shift) & 0xFF)) >
                3)
                return false;
        return true;
    };
    EXPECT_TRUE(near(title.palette[0], 0x000000)) << std::hex << title.palette[0];
    EXPECT_TRUE(near(title.palette[5], 0xFFFFFF)) << std::hex << title.palette[5];
    EXPECT_TRUE(near(title.palette[9], 0x3366CC)) << std::hex << title.palette[9];
    ASSERT_EQ(title.cells.size(), 2u);
    EXPECT_EQ(title.cells[1].vobId, 2);
    EXPECT_EQ(title.cells[1].cellId, 7);
    // 61 s and 15 frames at 29.97 fps.
    EXPECT_EQ(title.cells[1].start, 61 * PtsRate + 15 * 3003);
}

TEST(TitleIfo, PlaybackTimesAreBcd) {
    EXPECT_EQ(playbackTicks({0x01, 0x02, 0x03, 0x40 | 0x24}), (3723 * PtsRate) + 24 * 3600);
    EXPECT_EQ(playbackTicks({0x0A, 0, 0, 0x40}), -1);
    EXPECT_EQ(playbackTicks({0, 0, 0, 0xC0 | 0x3A}), -1);
}

TEST(IdxText, TimesRoundToTheMillisecond) {
    EXPECT_EQ(idxTime(90), "00:00:00:001");
    EXPECT_EQ(idxTime(90450), "00:00:01:005");
    EXPECT_EQ(idxTime((3600 + 23 * 60 + 59) * PtsRate + 89900), "01:23:59:999");
    EXPECT_EQ(idxTime(-5), "00:00:00:000");
    EXPECT_EQ(idxTime(int64_t{200} * 3600 * PtsRate), "99:59:59:999");
}

TEST(IdxText, BlocksForTheAdjuster) {
    TitleIfo title;
    title.subpictures = {{"fr", 3}, {"", 1}};
    const std::string text = idxText(title, {{{"fr", 3}, {{90000, 0x800, 1, 1, 0}}}, {{"", 1}, {}}});
    EXPECT_EQ(text.rfind("# VobSub index file, v7 (do not modify this line!)\r\n", 0), 0u);
    EXPECT_NE(
        text.find("\r\nlangidx: 3\r\n\r\n# French\r\nid: fr, index: 3\r\n# Vob/Cell ID: 1, 1 (PTS: 0)\r\n"
                  "timestamp: 00:00:01:000, filepos: 000000800\r\n\r\n# Unknown\r\nid: --, index: 1\r\n"),
        std::string::npos)
        << text;
    // No settings line could be taken for a timestamp, a language or the language in use.
    const std::string settings = text.substr(0, text.find("langidx:"));
    EXPECT_EQ(settings.find("timestamp:"), std::string::npos);
    EXPECT_EQ(settings.find("index:"), std::string::npos);
}

} // namespace
} // namespace outside::vobsub
