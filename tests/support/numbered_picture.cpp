#include "tests/support/numbered_picture.h"

#include <algorithm>

namespace kes::test {

namespace {

constexpr uint8_t kWhite = 235;
constexpr uint8_t kBlack = 16;
constexpr uint8_t kNeutralChroma = 128;
// Where the blocks lie, as fractions of the picture: between 5 % and 95 % of the width, the rows at
// 36 % and 50 % of the height, each 10 % high.
constexpr double kLeft = 0.05, kRight = 0.95;
constexpr double kRowTop[2] = {0.36, 0.50};
constexpr double kRowHeight = 0.10;
// A block's mean brightness must lie this far from mid grey to count as a bit.
constexpr int kDecisive = 50;
constexpr int kMidGrey = (kWhite + kBlack) / 2;

struct Block {
    int x0, y0, x1, y1;
};

Block blockOf(int width, int height, int row, int bit, double inset) {
    const double w = (kRight - kLeft) * width / kPictureNumberBits;
    const double h = kRowHeight * height;
    const double x = kLeft * width + bit * w;
    const double y = kRowTop[row] * height;
    return {static_cast<int>(x + inset * w), static_cast<int>(y + inset * h),
            static_cast<int>(x + (1.0 - inset) * w), static_cast<int>(y + (1.0 - inset) * h)};
}

bool bitOf(int number, int bit) {
    return (number >> (kPictureNumberBits - 1 - bit)) & 1;
}

} // namespace

void drawPictureNumber(TestPicture& p, int number) {
    for (int row = 0; row < 2; ++row) {
        for (int bit = 0; bit < kPictureNumberBits; ++bit) {
            const Block b = blockOf(p.width, p.height, row, bit, 0.0);
            const bool white = bitOf(number, bit) != (row == 1);
            for (int y = b.y0; y < b.y1; ++y)
                std::fill(p.y.begin() + y * p.width + b.x0, p.y.begin() + y * p.width + b.x1,
                          white ? kWhite : kBlack);
            const int cw = p.width / 2;
            for (int y = b.y0 / 2; y < b.y1 / 2; ++y) {
                std::fill(p.u.begin() + y * cw + b.x0 / 2, p.u.begin() + y * cw + b.x1 / 2, kNeutralChroma);
                std::fill(p.v.begin() + y * cw + b.x0 / 2, p.v.begin() + y * cw + b.x1 / 2, kNeutralChroma);
            }
        }
    }
}

int readPictureNumber(const TestPicture& p) {
    if (p.width < 2 * kPictureNumberBits || p.height < 20 ||
        p.y.size() < static_cast<size_t>(p.width) * p.height)
        return -1;
    int number = 0;
    for (int bit = 0; bit < kPictureNumberBits; ++bit) {
        bool values[2] = {};
        for (int row = 0; row < 2; ++row) {
            // The middle half of the block: its edges blur under compression and resizing.
            const Block b = blockOf(p.width, p.height, row, bit, 0.25);
            int64_t sum = 0, count = 0;
            for (int y = b.y0; y < b.y1; ++y)
                for (int x = b.x0; x < b.x1; ++x, ++count)
                    sum += p.y[static_cast<size_t>(y) * p.width + x];
            const int mean = count ? static_cast<int>(sum / count) : kMidGrey;
            if (std::abs(mean - kMidGrey) < kDecisive)
                return -1;
            values[row] = mean > kMidGrey;
        }
        if (values[0] == values[1])
            return -1;
        number = number << 1 | (values[0] ? 1 : 0);
    }
    return number;
}

} // namespace kes::test
