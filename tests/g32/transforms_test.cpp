#include "g32/g32_blend.h"
#include "g32/g32_transforms.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace g32 {
namespace {

void fillRandom(TBitmap32& b, unsigned seed) {
    std::mt19937 rng(seed);
    for (int i = 0; i < b.Width() * b.Height(); ++i)
        b.Bits()[i] = rng();
}

std::vector<TColor32> row(const TBitmap32& b, int y) {
    return {b.RowAddr(y), b.RowAddr(y) + b.Width()};
}

std::string transformErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ETransformError& e) {
        return e.what();
    }
    return "none";
}

constexpr TColor32 Black = 0xFF000000;
constexpr TColor32 White = 0xFFFFFFFF;

TEST(Stretch, NearestEnlargesReducesAndClips) {
    TBitmap32 src;
    src.SetSize(2, 2);
    src.Bits()[0] = 1;
    src.Bits()[1] = 2;
    src.Bits()[2] = 3;
    src.Bits()[3] = 4;
    TBitmap32 dst;
    dst.SetSize(4, 4);
    dst.Clear(0);
    src.DrawInto(&dst, MakeRect(0, 0, 4, 4));
    EXPECT_EQ(row(dst, 0), (std::vector<TColor32>{1, 1, 2, 2}));
    EXPECT_EQ(row(dst, 3), (std::vector<TColor32>{3, 3, 4, 4}));

    // 4 -> 2 takes every second column.
    TBitmap32 wide;
    wide.SetSize(4, 1);
    for (int i = 0; i < 4; ++i)
        wide.Bits()[i] = 10 + i;
    dst.Clear(0);
    wide.DrawInto(&dst, MakeRect(0, 0, 2, 1));
    EXPECT_EQ(row(dst, 0), (std::vector<TColor32>{10, 12, 0, 0}));

    // Clipped at the left edge, opaque starts from SafeMulDiv(2 * (2 - 1), 65535, 3) = 43690: column 0.
    dst.Clear(0);
    src.DrawInto(&dst, MakeRect(-2, 0, 2, 1), MakeRect(0, 0, 2, 1));
    EXPECT_EQ(row(dst, 0), (std::vector<TColor32>{1, 2, 0, 0}));
}

TEST(Stretch, LinearWeighsNeighbours) {
    TBitmap32 src;
    src.SetSize(2, 1);
    src.Bits()[0] = Black;
    src.Bits()[1] = White;
    src.SetStretchFilter(TStretchFilter::sfLinear);
    TBitmap32 dst;
    dst.SetSize(4, 1);
    dst.Clear(0);
    src.DrawInto(&dst, MakeRect(0, 0, 4, 1));
    // Steps of 16384: weights 255, 191, 127, 63 of the left pixel; the single row mixes with itself.
    const TColor32 weights[4] = {255, 191, 127, 63};
    for (int x = 0; x < 4; ++x) {
        const TColor32 across = ColorMix(Black, White, weights[x]);
        EXPECT_EQ(dst.Pixel(x, 0), ColorMix(across, across, 255)) << x;
    }
    EXPECT_LT(dst.Pixel(1, 0) & 0xFF, dst.Pixel(2, 0) & 0xFF);
    EXPECT_LT(dst.Pixel(2, 0) & 0xFF, dst.Pixel(3, 0) & 0xFF);

    // A one-pixel-wide source stays inside its rectangle.
    TBitmap32 narrow;
    narrow.SetSize(1, 1);
    narrow.Bits()[0] = White;
    narrow.SetStretchFilter(TStretchFilter::sfLinear);
    dst.Clear(0);
    narrow.DrawInto(&dst, MakeRect(0, 0, 3, 1));
    EXPECT_EQ(dst.Pixel(0, 0), ColorMix(ColorMix(White, White, 255), ColorMix(White, White, 255), 255));
}

TEST(Stretch, MappingTables) {
    // Enlargement 2 -> 4: scale 3, reach 1 / 1.001.
    auto up = BuildMappingTable(4, 2, 0, 2, TStretchFilter::sfLinear2, 0, 4);
    ASSERT_EQ(up.size(), 4u);
    EXPECT_EQ(up[0], (TMappingList{{0, 256}}));
    EXPECT_EQ(up[1], (TMappingList{{0, 171}, {1, 85}}));
    EXPECT_EQ(up[3], (TMappingList{{1, 256}}));
    // Reduction 4 -> 2: scale 1/3; indexes below 0 are clamped; the weights add up to 255.
    auto down = BuildMappingTable(2, 4, 0, 4, TStretchFilter::sfLinear2, 0, 2);
    EXPECT_EQ(down[0], (TMappingList{{0, 28}, {0, 57}, {0, 85}, {1, 57}, {2, 28}}));
    // Only the asked range is built, counted from the destination edge.
    auto part = BuildMappingTable(4, 2, 0, 2, TStretchFilter::sfLinear2, 1, 2);
    ASSERT_EQ(part.size(), 1u);
    EXPECT_EQ(part[0], up[1]);
    // Empty source, single destination, single source index.
    EXPECT_TRUE(BuildMappingTable(4, 0, 0, 0, TStretchFilter::sfSpline, 0, 4).empty());
    auto one = BuildMappingTable(1, 5, 0, 5, TStretchFilter::sfSpline, 0, 1);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_TRUE(one[0].empty());
    EXPECT_EQ(BuildMappingTable(3, 5, 2, 3, TStretchFilter::sfSpline, 0, 3)[2], (TMappingList{{2, 256}}));
    // A reduction so strong that every weight rounds to 0 falls back to the nearest pixel.
    auto tiny = BuildMappingTable(2, 2000, 0, 2000, TStretchFilter::sfLinear2, 0, 2);
    EXPECT_EQ(tiny[0], (TMappingList{{0, 255}}));
    ASSERT_EQ(tiny[1].size(), 1u);
    EXPECT_NEAR(tiny[1][0].Pos, 1999, 1); // the centre is a 32-bit float near 1999
    EXPECT_EQ(tiny[1][0].Weight, 255);
    // Spline enlargement weights add up to about 256.
    for (const TMappingList& list : BuildMappingTable(10, 3, 0, 3, TStretchFilter::sfSpline, 0, 10)) {
        int sum = 0;
        for (const TPointRec& p : list)
            sum += p.Weight;
        EXPECT_NEAR(sum, 256, 3);
    }
}

TEST(Stretch, FilteredPixels) {
    TBitmap32 src;
    src.SetSize(2, 1);
    src.Bits()[0] = Black;
    src.Bits()[1] = White;
    src.SetStretchFilter(TStretchFilter::sfLinear2);
    TBitmap32 dst;
    dst.SetSize(4, 2);
    dst.Clear(0);
    src.DrawInto(&dst, MakeRect(0, 0, 4, 2));
    // Row weight 256; column (0, 171), (1, 85): blue = 255 * 85 * 256 div 65536 = 84, alpha 255.
    EXPECT_EQ(dst.Pixel(1, 0), 0xFF545454u);
    EXPECT_EQ(dst.Pixel(0, 1), Black);
    EXPECT_EQ(dst.Pixel(3, 1), White);
    // A reduction of white: 255 x (column weights) x (row weights) div 65536, the weights adding up to
    // about 255 each, so a little below white.
    TBitmap32 big;
    big.SetSize(8, 8);
    big.Clear(White);
    big.SetStretchFilter(TStretchFilter::sfSpline);
    dst.Clear(0);
    big.DrawInto(&dst, MakeRect(0, 0, 4, 2));
    auto total = [](const TMappingList& list) {
        int sum = 0;
        for (const TPointRec& p : list)
            sum += p.Weight;
        return sum;
    };
    const int across = total(BuildMappingTable(4, 8, 0, 8, TStretchFilter::sfSpline, 2, 3)[0]);
    const int down = total(BuildMappingTable(2, 8, 0, 8, TStretchFilter::sfSpline, 1, 2)[0]);
    EXPECT_NEAR(across, 255, 2);
    EXPECT_NEAR(down, 255, 2);
    const TColor32 channel = static_cast<TColor32>(std::min(255 * 65536, 255 * across * down) / 65536);
    EXPECT_EQ(dst.Pixel(2, 1), channel * 0x01010101u);
}

TEST(Stretch, ChecksAndModes) {
    TBitmap32 src;
    src.SetSize(4, 4);
    src.Clear(0x80FF0000);
    TBitmap32 dst;
    TBitmap32 empty;
    const TPixelCombineEvent none;
    EXPECT_EQ(transformErrorOf([&] {
                  StretchBlock(&dst, MakeRect(0, 0, 2, 2), &src, MakeRect(0, 0, 4, 4),
                               TStretchFilter::sfNearest, TDrawMode::dmOpaque, none);
              }),
              "Destination bitmap is nil or empty");
    dst.SetSize(4, 4);
    EXPECT_EQ(transformErrorOf([&] {
                  StretchBlock(&dst, MakeRect(0, 0, 2, 2), &empty, MakeRect(0, 0, 4, 4),
                               TStretchFilter::sfNearest, TDrawMode::dmOpaque, none);
              }),
              "Source bitmap is nil or empty");
    EXPECT_EQ(transformErrorOf([&] {
                  StretchBlock(&dst, MakeRect(0, 0, 2, 2), &src, MakeRect(0, 0, 5, 4),
                               TStretchFilter::sfNearest, TDrawMode::dmOpaque, none);
              }),
              "Source rectangle is invalid");
    EXPECT_EQ(transformErrorOf(
                  [&] { CopyBlock(&dst, 0, 0, nullptr, MakeRect(0, 0, 1, 1), TDrawMode::dmOpaque, none); }),
              "Source bitmap is nil or empty");
    dst.Clear(7);
    StretchBlock(&dst, MakeRect(0, 0, 2, 2), &src, MakeRect(5, 5, 5, 9), TStretchFilter::sfNearest,
                 TDrawMode::dmOpaque, none);
    StretchBlock(&dst, MakeRect(10, 10, 12, 12), &src, MakeRect(0, 0, 4, 4), TStretchFilter::sfNearest,
                 TDrawMode::dmOpaque, none);
    // Blending with master alpha 0 draws nothing.
    src.SetMasterAlpha(0);
    for (TStretchFilter f : {TStretchFilter::sfNearest, TStretchFilter::sfLinear, TStretchFilter::sfSpline})
        StretchBlock(&dst, MakeRect(0, 0, 3, 3), &src, MakeRect(0, 0, 4, 4), f, TDrawMode::dmBlend, none);
    CopyBlock(&dst, 0, 0, &src, MakeRect(0, 0, 4, 4), TDrawMode::dmBlend, none);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(dst.Bits()[i], 7u);
    // A custom combiner sees the source pixel, the destination pixel and the master alpha.
    src.SetMasterAlpha(77);
    int calls = 0;
    const TPixelCombineEvent custom = [&](TColor32 F, TColor32& B, TColor32 M) {
        ++calls;
        EXPECT_EQ(F, 0x80FF0000u);
        EXPECT_EQ(M, 77u);
        B = F ^ B;
    };
    StretchBlock(&dst, MakeRect(0, 0, 2, 2), &src, MakeRect(0, 0, 4, 4), TStretchFilter::sfNearest,
                 TDrawMode::dmCustom, custom);
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(dst.Pixel(1, 1), 0x80FF0007u);
    // dmCustom without a callback is opaque.
    StretchBlock(&dst, MakeRect(0, 0, 2, 2), &src, MakeRect(0, 0, 4, 4), TStretchFilter::sfNearest,
                 TDrawMode::dmCustom, none);
    EXPECT_EQ(dst.Pixel(1, 1), 0x80FF0000u);
}

TEST(Stretch, EqualSizesAreTheBlockTransfer) {
    for (TDrawMode mode : {TDrawMode::dmOpaque, TDrawMode::dmBlend}) {
        for (TColor32 master : {255u, 100u}) {
            TBitmap32 src;
            src.SetSize(6, 5);
            fillRandom(src, 1);
            src.SetMasterAlpha(master);
            TBitmap32 a;
            TBitmap32 b;
            a.SetSize(7, 7);
            b.SetSize(7, 7);
            fillRandom(a, 2);
            fillRandom(b, 2);
            StretchBlock(&a, MakeRect(3, -1, 6, 3), &src, MakeRect(1, 1, 4, 5), TStretchFilter::sfSpline,
                         mode, {});
            CopyBlock(&b, 3, -1, &src, MakeRect(1, 1, 4, 5), mode, {});
            EXPECT_TRUE(std::equal(a.Bits(), a.Bits() + 49, b.Bits()));
            if (mode == TDrawMode::dmBlend) {
                TColor32 expected = 0;
                fillRandom(b, 2);
                expected = b.Pixel(3, 0);
                if (master == 255)
                    ColorOverInto(src.Pixel(1, 2), expected);
                else
                    ColorOverScaledInto(src.Pixel(1, 2), expected, master);
                EXPECT_EQ(a.Pixel(3, 0), expected);
            } else {
                EXPECT_EQ(a.Pixel(3, 0), src.Pixel(1, 2));
            }
        }
    }
}

TEST(Stretch, CopyBlockClipsBothBitmaps) {
    TBitmap32 src;
    src.SetSize(3, 1);
    src.Bits()[0] = 1;
    src.Bits()[1] = 2;
    src.Bits()[2] = 3;
    TBitmap32 dst;
    dst.SetSize(3, 1);
    dst.Clear(0);
    CopyBlock(&dst, 0, 0, &src, MakeRect(-1, 0, 2, 1), TDrawMode::dmOpaque, {});
    EXPECT_EQ(row(dst, 0), (std::vector<TColor32>{0, 1, 2}));
    dst.Clear(0);
    CopyBlock(&dst, -2, 0, &src, MakeRect(0, 0, 3, 5), TDrawMode::dmOpaque, {});
    EXPECT_EQ(row(dst, 0), (std::vector<TColor32>{3, 0, 0}));
    dst.Clear(0);
    CopyBlock(&dst, 5, 0, &src, MakeRect(0, 0, 3, 1), TDrawMode::dmOpaque, {});
    EXPECT_EQ(row(dst, 0), (std::vector<TColor32>{0, 0, 0}));
}

TEST(Affine, RotationAboutTheSpineCentre) {
    TAffineTransformation t;
    t.Clear();
    t.SetSrcRect(FloatRect(0, 0, 400, 400));
    t.Rotate(195, 195, 270);
    EXPECT_FALSE(t.Prepared());
    t.Prepare();
    EXPECT_TRUE(t.Prepared());
    for (auto [x, y] : {std::pair{0, 0}, {10, 20}, {389, 5}, {200, 399}}) {
        int sx = 0, sy = 0;
        t.MapBackInt(x, y, sx, sy);
        EXPECT_NEAR(sx, y, 1);
        EXPECT_NEAR(sy, 390 - x, 1);
    }
    const TRect bounds = t.GetDestBounds();
    EXPECT_LE(bounds.Left, -10);
    EXPECT_GE(bounds.Right, 390);
    EXPECT_LE(bounds.Top, 0);
    EXPECT_GE(bounds.Bottom, 400);
    EXPECT_LE(bounds.Right - bounds.Left, 402);

    // One zero coordinate: the turn is about the origin, no translation is added.
    TAffineTransformation o;
    o.Rotate(100, 0, 90);
    EXPECT_FLOAT_EQ(o.Matrix[2][0], 0.0f);
    EXPECT_FLOAT_EQ(o.Matrix[2][1], 0.0f);
    EXPECT_NEAR(o.Matrix[1][0], 1.0f, 1e-6); // x' = y
    EXPECT_NEAR(o.Matrix[0][1], -1.0f, 1e-6);

    // Translation applies after the matrix; a singular matrix inverts to the identity.
    TAffineTransformation s;
    s.Translate(3, 4);
    s.Prepare();
    EXPECT_EQ(s.C, -3 * 4096);
    EXPECT_EQ(s.F, -4 * 4096);
    int px = 0, py = 0;
    s.MapBack256(10, 10, px, py);
    EXPECT_EQ(px, 7 * 256);
    EXPECT_EQ(py, 6 * 256);
    for (auto& column : s.Matrix)
        for (float& v : column)
            v = 0;
    s.Prepare();
    EXPECT_EQ(s.A, 4096);
    EXPECT_EQ(s.E, 4096);
    EXPECT_EQ(s.C, 0);
}

TEST(Affine, TransformNearestAndLinear) {
    TBitmap32 src;
    src.SetSize(4, 4);
    for (int i = 0; i < 16; ++i)
        src.Bits()[i] = 0xFF000000u + static_cast<TColor32>(i);
    TBitmap32 dst;
    dst.SetSize(8, 8);
    dst.Clear(0);
    int changes = 0;
    dst.OnChange = [&] { ++changes; };
    TAffineTransformation t;
    t.SetSrcRect(FloatRect(0, 0, 4, 4));
    t.Translate(2, 1);
    Transform(&dst, &src, &t);
    EXPECT_EQ(changes, 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 2 && x < 6 && y >= 1 && y < 5;
            EXPECT_EQ(dst.Pixel(x, y), inside ? src.Pixel(x - 2, y - 1) : 0u) << x << "," << y;
        }

    // Half a pixel across with the linear filter: fx = 128, so 127 of the left pixel.
    TAffineTransformation h;
    h.SetSrcRect(FloatRect(0, 0, 4, 4));
    h.Translate(0.5f, 0);
    src.SetStretchFilter(TStretchFilter::sfLinear);
    dst.Clear(0);
    Transform(&dst, &src, &h);
    const TColor32 top = ColorMix(src.Pixel(1, 1), src.Pixel(2, 1), 127);
    const TColor32 bottom = ColorMix(src.Pixel(1, 2), src.Pixel(2, 2), 127);
    EXPECT_EQ(dst.Pixel(2, 1), ColorMix(top, bottom, 255));
}

TEST(Affine, TransformOutsideTheDestinationChangesNothing) {
    TBitmap32 src;
    src.SetSize(4, 4);
    src.Clear(White);
    TBitmap32 dst;
    dst.SetSize(10, 10);
    dst.Clear(0);
    int changes = 0;
    dst.OnChange = [&] { ++changes; };
    TAffineTransformation t;
    t.SetSrcRect(FloatRect(0, 0, 4, 4));
    t.Translate(100, 100);
    EXPECT_NO_THROW(Transform(&dst, &src, &t));
    EXPECT_EQ(changes, 0);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(dst.Bits()[i], 0u);
    // An empty source draws nothing and reads nothing.
    TBitmap32 empty;
    TAffineTransformation id;
    id.SetSrcRect(FloatRect(0, 0, 4, 4));
    EXPECT_NO_THROW(Transform(&dst, &empty, &id));
    EXPECT_EQ(dst.Pixel(0, 0), 0u);
}

} // namespace
} // namespace g32
