// Reading VobSub subtitles: the index, the subpicture gathered from the program stream and decoded
// from its two fields, its display times, and its drawing over a picture; damaged input.

#include "outside/dvobsub/vobsub_track.h"

#include "tests/outside/dvobsub/vobsub_sample.h"

#include <gtest/gtest.h>

namespace {

using namespace outside::dvobsub;
using namespace kes::test;

constexpr int64_t Ms = 10'000;

std::span<const uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(VobSubTrack, ReadsTheIndexAndDecodesItsSubpicture) {
    std::string error;
    const auto idx = parseIdx(sampleIdx(), &error);
    ASSERT_TRUE(idx) << error;
    EXPECT_EQ(idx->width, 160);
    EXPECT_EQ(idx->palette[1], 0xFFFFFFu);
    ASSERT_EQ(idx->languages.size(), 1u);
    EXPECT_EQ(idx->languages[0].id, "en");
    const std::string sub = sampleSub();
    const auto pictures = readSubpictures(*idx, 0, bytesOf(sub), &error);
    ASSERT_EQ(pictures.size(), 1u) << error;
    const Subpicture& p = pictures[0];
    EXPECT_EQ(p.start, 500 * Ms);
    EXPECT_NEAR(static_cast<double>(p.stop), 1501.2 * Ms, 1 * Ms); // 88 × 1024 / 90000 s later
    EXPECT_EQ(p.x, SubX);
    EXPECT_EQ(p.y, SubY);
    EXPECT_EQ(p.width, SubWidth);
    EXPECT_EQ(p.height, SubHeight);
    for (uint32_t pixel : p.pixels)
        EXPECT_EQ(pixel, 0xFFFFFFFFu);
}

TEST(VobSubTrack, DrawsOverThePictureScaledAndMovedUp) {
    const auto idx = parseIdx(sampleIdx(), nullptr);
    const std::string sub = sampleSub();
    const auto pictures = readSubpictures(*idx, 0, bytesOf(sub), nullptr);
    ASSERT_EQ(pictures.size(), 1u);
    constexpr uint32_t grey = 0xFF3C3C3C;
    // A picture twice the index's size: the bar is twice as large.
    std::vector<uint32_t> frame(320 * 240, grey);
    drawSubpicture(pictures[0], 160, 120, frame.data(), 320, 240, 0);
    EXPECT_EQ(frame[(2 * SubY + 1) * 320 + 2 * SubX + 1], 0xFFFFFFFFu);
    EXPECT_EQ(frame[(2 * SubY - 1) * 320 + 2 * SubX + 1], grey);
    EXPECT_EQ(frame[(2 * SubY + 1) * 320 + 2 * (SubX + SubWidth) + 1], grey);
    // Moved up by a tenth of the height.
    std::vector<uint32_t> moved(160 * 120, grey);
    drawSubpicture(pictures[0], 160, 120, moved.data(), 160, 120, 10);
    EXPECT_EQ(moved[(SubY - 12 + 1) * 160 + SubX + 1], 0xFFFFFFFFu);
    EXPECT_EQ(moved[(SubY + 1) * 160 + SubX + 1], grey);
}

TEST(VobSubTrack, DamagedInputGivesNoSubtitlesAndSaysWhy) {
    std::string error;
    EXPECT_FALSE(parseIdx("junk\r\n", &error));
    EXPECT_FALSE(error.empty());
    const auto idx = parseIdx(sampleIdx(), nullptr);
    std::string sub = sampleSub();
    for (size_t cut : {size_t{0}, size_t{10}, size_t{30}, size_t{40}, size_t{60}}) {
        std::string shortSub = sub.substr(0, cut);
        error.clear();
        EXPECT_TRUE(readSubpictures(*idx, 0, bytesOf(shortSub), &error).empty()) << cut;
        EXPECT_FALSE(error.empty());
    }
    // Every byte of the unit flipped in turn: never a crash, never a picture beyond its limits.
    for (size_t i = 14; i < 120; ++i) {
        std::string bad = sub;
        bad[i] = static_cast<char>(bad[i] ^ 0x5A);
        for (const Subpicture& p : readSubpictures(*idx, 0, bytesOf(bad), nullptr))
            EXPECT_EQ(p.pixels.size(), static_cast<size_t>(p.width) * static_cast<size_t>(p.height));
    }
    EXPECT_TRUE(readSubpictures(*idx, 5, bytesOf(sub), &error).empty());
}

} // namespace

TEST(VobSubTrack, TimeStampsOfAnyLengthReadExactlyOrAreLeftOut) {
    const std::string idx = "size: 720x576\r\nid: en, index: 0\r\n"
                            "timestamp: 999999:59:59:999, filepos: 000000000\r\n"
                            "timestamp: 99999999999:00:00:000, filepos: 000000800\r\n"
                            "timestamp: 00:4294967297:00:000, filepos: 000001000\r\n"
                            "timestamp: 00:00:01:500, filepos: 000001800\r\n";
    const auto parsed = parseIdx(idx, nullptr);
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->languages.size(), 1u);
    const auto& stamps = parsed->languages[0].stamps;
    ASSERT_EQ(stamps.size(), 2u); // the fields too long to be a time are left out
    EXPECT_EQ(stamps[0].first, (((999999LL * 3600 + 59 * 60 + 59) * 1000) + 999) * 10'000);
    EXPECT_EQ(stamps[1].first, 1'500LL * 10'000);
    EXPECT_EQ(stamps[1].second, 0x1800u);
}
