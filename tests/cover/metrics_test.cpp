#include "cover/cover_metrics.h"

#include <gtest/gtest.h>

#include <limits>

namespace cover {
namespace {

TEST(CoverMetrics, ParseDecimalTakesDigitsAndDots) {
    EXPECT_EQ(parseDecimal("2"), 2.0);
    EXPECT_EQ(parseDecimal("2.5"), 2.5);
    EXPECT_DOUBLE_EQ(*parseDecimal("1.2.3"), 1.23);
    EXPECT_EQ(parseDecimal(".5"), 0.5);
    EXPECT_EQ(parseDecimal(""), 0.0);
    EXPECT_EQ(parseDecimal("."), 0.0);
    EXPECT_FALSE(parseDecimal("2a").has_value());
    EXPECT_FALSE(parseDecimal("-1").has_value());
    EXPECT_FALSE(parseDecimal("1,5").has_value());
}

TEST(CoverMetrics, FrontPlacementFollowsTheRadios) {
    const double ratio = 500.0 / 1000.0;
    EXPECT_EQ(placeFront(ratio, 400, true, FrontPosition::MM), (FrontPlacement{0, 100, 400, 200}));
    EXPECT_EQ(placeFront(ratio, 400, true, FrontPosition::DM), (FrontPlacement{0, 200, 400, 200}));
    EXPECT_EQ(placeFront(ratio, 400, false, FrontPosition::DM), (FrontPlacement{0, 0, 400, 200}));
    EXPECT_EQ(placeFront(ratio, 400, true, FrontPosition::None), (FrontPlacement{0, 100, 400, 200}));
    // Portrait: the height is the zoom; 300 / 1.5 = 200.
    EXPECT_EQ(placeFront(1.5, 300, true, FrontPosition::UR), (FrontPlacement{200, 0, 200, 300}));
    EXPECT_EQ(placeFront(1.5, 300, true, FrontPosition::DL), (FrontPlacement{0, 100, 200, 300}));
    // Halves go to the even neighbour: 5 x 0.5 = 2.5 -> 2; odd remainders truncate toward zero.
    EXPECT_EQ(placeFront(0.5, 5, true, FrontPosition::MM), (FrontPlacement{197, 199, 5, 2}));
    EXPECT_EQ(placeFront(ratio, -10, true, FrontPosition::MM), (FrontPlacement{205, 202, -10, -5}));
}

TEST(CoverMetrics, PrintSizesAt300Dpi) {
    EXPECT_EQ(printMetrics(300), (PrintMetrics{1418, 1381, 1618, 82}));
    EXPECT_EQ(borderPixels(2, 300), 236);
    EXPECT_EQ(borderPixels(3, 300), 354);
    EXPECT_EQ(borderPixels(0, 300), 0);
    EXPECT_EQ(printMetrics(600).FrontSize, 2836);
    EXPECT_EQ(borderPixels(1e300, 300), std::numeric_limits<int>::max());
    EXPECT_EQ(printMetrics(std::numeric_limits<int>::max()).FrontSize, std::numeric_limits<int>::max());
}

TEST(CoverMetrics, SpineStartByAlignmentAndDirection) {
    EXPECT_EQ(spineStart(SpineAlign::Center, true, 380, 101, 10), 139);
    EXPECT_EQ(spineStart(SpineAlign::Up, true, 380, 100, 10), 280);
    EXPECT_EQ(spineStart(SpineAlign::Up, false, 380, 100, 10), 10);
    EXPECT_EQ(spineStart(SpineAlign::Down, true, 380, 100, 10), 10);
    EXPECT_EQ(spineStart(SpineAlign::Down, false, 380, 100, 10), 280);
    EXPECT_EQ(spineStart(SpineAlign::Center, true, 380, 401, 10), -10);
}

TEST(CoverMetrics, DpiRegistryValueIsFourBytes) {
    EXPECT_EQ(dpiRegistryValue("300"), std::string("300\0", 4));
    EXPECT_EQ(dpiRegistryValue("1200"), "1200");
    EXPECT_EQ(dpiRegistryValue("12000"), "1200");
    EXPECT_EQ(dpiRegistryValue("30"), std::string("30\0\0", 4));
    EXPECT_EQ(dpiTextFromRegistry(std::string("300\0", 4)), "300");
    EXPECT_EQ(dpiTextFromRegistry(std::string("1200")), "1200");
    EXPECT_EQ(dpiTextFromRegistry(std::nullopt), "300");
    EXPECT_EQ(dpiTextFromRegistry(std::string(11, '1')), "300");
}

} // namespace
} // namespace cover
