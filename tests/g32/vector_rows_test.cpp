// The row kernels against the MMX forms' scalar lanes, and the transfers through them against the
// per-pixel path: the same bits everywhere.
#include "g32/blend_forms.h"
#include "g32/g32_cpuid.h"
#include "g32/g32_transforms.h"
#include "g32/vector_rows.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace g32 {
namespace {

using detail::TVectorKernels;
using detail::TVectorLevel;

const TBlendTable& lanes() {
    return detail::MmxScalarForms();
}

struct Level {
    TVectorLevel level;
    const char* name;
};

// The levels this processor runs.
std::vector<Level> levels() {
    std::vector<Level> out;
    for (const Level l : {Level{TVectorLevel::SSE2, "SSE2"}, Level{TVectorLevel::AVX2, "AVX2"}})
        if (detail::VectorKernels(l.level))
            out.push_back(l);
    return out;
}

// Pixel p of a row holds channel combinations 4p .. 4p + 3 of (f, b), f the high byte.
void combinations(std::vector<TColor32>& f, std::vector<TColor32>& b, int channels) {
    const int pixels = (65536 + channels - 1) / channels;
    f.assign(static_cast<std::size_t>(pixels), 0);
    b.assign(static_cast<std::size_t>(pixels), 0);
    for (int c = 0; c < 65536; ++c) {
        const auto p = static_cast<std::size_t>(c / channels);
        const int shift = 8 * (c % channels);
        f[p] |= static_cast<TColor32>(c >> 8) << shift;
        b[p] |= static_cast<TColor32>(c & 0xFF) << shift;
    }
}

TEST(VectorRows, MixCoversEveryChannelAndWeight) {
    std::vector<TColor32> f, b;
    combinations(f, b, 4);
    const int n = static_cast<int>(f.size());
    std::vector<TColor32> want(f.size()), got(f.size());
    for (const Level l : levels()) {
        const TVectorKernels& k = *detail::VectorKernels(l.level);
        for (TColor32 w = 0; w <= 256; ++w) { // 256 counts as 255
            for (int i = 0; i < n; ++i)
                want[static_cast<std::size_t>(i)] = lanes().ColorMix(f[i], b[i], w);
            k.RowMix(f.data(), b.data(), got.data(), n, w);
            ASSERT_EQ(got, want) << l.name << " weight " << w;
        }
    }
}

TEST(VectorRows, OverCoversEveryChannelAndAlpha) {
    // Colour channels take the combinations; the alpha of F is the weight, B's alpha varies with them.
    std::vector<TColor32> f, b;
    combinations(f, b, 3);
    const int n = static_cast<int>(f.size());
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] |= static_cast<TColor32>(i * 7 & 0xFF) << 24;
    const std::vector<TColor32> masters = {0, 1, 2, 127, 128, 200, 254, 255, 256, 1000, 0xFFFFFFFF};
    for (const Level l : levels()) {
        const TVectorKernels& k = *detail::VectorKernels(l.level);
        for (TColor32 a = 0; a < 256; ++a) {
            std::vector<TColor32> src = f;
            for (TColor32& c : src)
                c = (c & 0x00FFFFFF) | a << 24;
            std::vector<TColor32> want = b, got = b;
            lanes().RowOver(src.data(), want.data(), n);
            k.RowOver(src.data(), got.data(), n);
            ASSERT_EQ(got, want) << l.name << " alpha " << a;
            for (TColor32 m : masters) {
                want = got = b;
                lanes().RowOverScaled(src.data(), want.data(), n, m);
                k.RowOverScaled(src.data(), got.data(), n, m);
                ASSERT_EQ(got, want) << l.name << " alpha " << a << " master " << m;
            }
        }
        // Every master alpha against every alpha, on random colours.
        std::mt19937 rng(5);
        std::vector<TColor32> src(256 * 3), dst(256 * 3);
        for (TColor32 m = 0; m < 256; ++m) {
            for (std::size_t i = 0; i < src.size(); ++i) {
                src[i] = (rng() & 0x00FFFFFF) | static_cast<TColor32>(i & 0xFF) << 24;
                dst[i] = rng();
            }
            std::vector<TColor32> want = dst, got = dst;
            lanes().RowOverScaled(src.data(), want.data(), static_cast<int>(src.size()), m);
            k.RowOverScaled(src.data(), got.data(), static_cast<int>(src.size()), m);
            ASSERT_EQ(got, want) << l.name << " master " << m;
        }
    }
}

// Random rows of every length up to 40 at every start offset up to 8, and the slots of the MMX forms.
TEST(VectorRows, OddLengthsUnalignedStartsAndOverlaps) {
    std::mt19937 rng(77);
    std::vector<TColor32> pool(64), back(64);
    std::vector<std::int32_t> left(64), right(64), weight(64), index(64);
    for (const Level l : levels()) {
        const TVectorKernels& k = *detail::VectorKernels(l.level);
        for (int n = 0; n <= 40; ++n)
            for (int at = 0; at < 8; ++at) {
                for (std::size_t i = 0; i < pool.size(); ++i) {
                    pool[i] = rng();
                    back[i] = rng();
                    left[i] = static_cast<std::int32_t>(rng() % 64);
                    right[i] = static_cast<std::int32_t>(rng() % 64);
                    weight[i] = static_cast<std::int32_t>(rng() % 256);
                    index[i] = static_cast<std::int32_t>(rng() % 64);
                }
                const TColor32* s = pool.data() + at;
                std::vector<TColor32> want = back, got = back;
                lanes().RowOver(s, want.data() + at, n);
                k.RowOver(s, got.data() + at, n);
                ASSERT_EQ(got, want) << l.name << " over " << n << " at " << at;
                want = got = back;
                lanes().RowOverScaled(s, want.data() + at, n, 99);
                k.RowOverScaled(s, got.data() + at, n, 99);
                ASSERT_EQ(got, want) << l.name << " scaled " << n;
                want = got = back;
                for (int i = 0; i < n; ++i)
                    want[static_cast<std::size_t>(at + i)] = lanes().ColorMix(
                        pool[static_cast<std::size_t>(left[i])], pool[static_cast<std::size_t>(right[i])],
                        static_cast<TColor32>(weight[i]));
                k.RowMixPairs(pool.data(), left.data(), right.data(), weight.data(), got.data() + at, n);
                ASSERT_EQ(got, want) << l.name << " pairs " << n;
                want = got = back;
                for (int i = 0; i < n; ++i)
                    want[static_cast<std::size_t>(at + i)] = pool[static_cast<std::size_t>(index[i])];
                k.RowGather(pool.data(), index.data(), got.data() + at, n);
                ASSERT_EQ(got, want) << l.name << " gather " << n;
                // A row blended onto itself a few pixels on reads what the pixels before it wrote.
                for (int shift = 1; shift < 9 && at + shift + n <= 64; ++shift) {
                    want = got = pool;
                    lanes().RowOver(want.data() + at, want.data() + at + shift, n);
                    MmxBlendTable().RowOver(got.data() + at, got.data() + at + shift, n);
                    ASSERT_EQ(got, want) << "overlap " << shift;
                    want = got = pool;
                    lanes().RowOverScaled(want.data() + at + shift, want.data() + at, n, 77);
                    k.RowOverScaled(got.data() + at + shift, got.data() + at, n, 77);
                    ASSERT_EQ(got, want) << "overlap back " << shift;
                }
            }
    }
}

// The transfers with the path set for the scope.
class PathScope {
public:
    PathScope(const TBlendTable& forms, TVectorLevel level) : saved_(detail::TransferPath()) {
        detail::TransferPath() = {&forms, level};
    }
    ~PathScope() { detail::TransferPath() = saved_; }
    PathScope(const PathScope&) = delete;
    PathScope& operator=(const PathScope&) = delete;

private:
    detail::TTransferPath saved_;
};

void fillRandom(TBitmap32& b, std::mt19937& rng, int w, int h) {
    b.SetSize(w, h);
    for (int i = 0; i < w * h; ++i)
        b.Bits()[i] = rng();
}

std::vector<TColor32> pixels(const TBitmap32& b) {
    return {b.Bits(), b.Bits() + static_cast<std::size_t>(b.Width()) * b.Height()};
}

// Draws with a fresh copy of the destination through the per-pixel path and through each level.
template <class Draw>
void expectSameBits(const TBitmap32& background, const Draw& draw, const std::string& what) {
    TBitmap32 want;
    want.Assign(&background);
    {
        const PathScope path(lanes(), TVectorLevel::None);
        draw(want);
    }
    for (const Level l : levels()) {
        TBitmap32 got;
        got.Assign(&background);
        {
            const PathScope path(MmxBlendTable(), l.level);
            draw(got);
        }
        ASSERT_EQ(pixels(got), pixels(want)) << l.name << " " << what;
    }
}

struct Mode {
    TDrawMode mode;
    TColor32 master;
};
const Mode Modes[] = {{TDrawMode::dmOpaque, 255},
                      {TDrawMode::dmBlend, 255},
                      {TDrawMode::dmBlend, 140},
                      {TDrawMode::dmCustom, 90}};

// A custom combine that depends on the destination, so the order of reads and writes shows.
const TPixelCombineEvent Swirl = [](TColor32 F, TColor32& B, TColor32 M) { B = (B ^ F) + M; };

TEST(VectorRows, StretchesMatchThePixelPath) {
    std::mt19937 rng(99);
    TBitmap32 src, background;
    fillRandom(background, rng, 61, 47);
    const TStretchFilter filters[] = {TStretchFilter::sfNearest, TStretchFilter::sfLinear,
                                      TStretchFilter::sfLinear2, TStretchFilter::sfSpline};
    for (int round = 0; round < 60; ++round) {
        fillRandom(src, rng, 1 + static_cast<int>(rng() % 40), 1 + static_cast<int>(rng() % 40));
        const int sl = static_cast<int>(rng() % static_cast<unsigned>(src.Width()));
        const int st = static_cast<int>(rng() % static_cast<unsigned>(src.Height()));
        const TRect srcRect = MakeRect(sl, st, sl + 1 + static_cast<int>(rng() % (src.Width() - sl)),
                                       st + 1 + static_cast<int>(rng() % (src.Height() - st)));
        // Destination rectangles clipped on any side, enlarging or reducing.
        const int dl = static_cast<int>(rng() % 50) - 15;
        const int dt = static_cast<int>(rng() % 40) - 12;
        const TRect dstRect =
            MakeRect(dl, dt, dl + 1 + static_cast<int>(rng() % 90), dt + 1 + static_cast<int>(rng() % 70));
        for (const TStretchFilter filter : filters)
            for (const Mode& m : Modes) {
                src.SetMasterAlpha(m.master);
                expectSameBits(
                    background,
                    [&](TBitmap32& dst) {
                        StretchBlock(&dst, dstRect, &src, srcRect, filter, m.mode,
                                     m.mode == TDrawMode::dmCustom ? Swirl : TPixelCombineEvent{});
                    },
                    "round " + std::to_string(round) + " filter " + std::to_string(static_cast<int>(filter)) +
                        " mode " + std::to_string(static_cast<int>(m.mode)));
            }
    }
}

TEST(VectorRows, TransformsMatchThePixelPath) {
    std::mt19937 rng(2024);
    TBitmap32 src, background;
    fillRandom(background, rng, 83, 71);
    std::uniform_real_distribution<float> angle(0.0f, 360.0f), scale(0.3f, 3.0f), shift(-30.0f, 60.0f);
    for (int round = 0; round < 40; ++round) {
        fillRandom(src, rng, 2 + static_cast<int>(rng() % 50), 2 + static_cast<int>(rng() % 50));
        src.OuterColor = rng();
        TAffineTransformation t;
        // Whole turns and arbitrary ones, some scaled, some moved partly off the destination.
        const float alpha = round % 4 == 0 ? 90.0f * static_cast<float>(round % 16 / 4) : angle(rng);
        t.SetSrcRect(TFloatRect{static_cast<float>(rng() % 5), static_cast<float>(rng() % 5),
                                static_cast<float>(src.Width()), static_cast<float>(src.Height())});
        t.Rotate(static_cast<float>(src.Width()) / 2, static_cast<float>(src.Height()) / 2, alpha);
        if (round % 3 == 0) {
            const float s = scale(rng);
            t.Matrix[0][0] *= s;
            t.Matrix[1][1] *= s;
        }
        t.Translate(shift(rng), shift(rng));
        for (const TStretchFilter filter : {TStretchFilter::sfNearest, TStretchFilter::sfLinear})
            for (const Mode& m : Modes) {
                src.SetStretchFilter(filter);
                src.SetDrawMode(m.mode);
                src.SetMasterAlpha(m.master);
                src.OnPixelCombine = m.mode == TDrawMode::dmCustom ? Swirl : TPixelCombineEvent{};
                expectSameBits(
                    background, [&](TBitmap32& dst) { Transform(&dst, &src, &t); },
                    "round " + std::to_string(round) + " angle " + std::to_string(alpha));
            }
    }
}

// Quarter turns go through block transposes: every turn, with whole and fractional offsets, partly off
// the destination, on sizes that are not multiples of the blocks.
TEST(VectorRows, QuarterTurnsMatchThePixelPath) {
    std::mt19937 rng(11);
    TBitmap32 src, background;
    fillRandom(background, rng, 45, 38);
    fillRandom(src, rng, 37, 29);
    const float offsets[][2] = {{0, 0}, {3, -5}, {0.3f, 0.7f}, {-10.5f, 12.25f}};
    for (const float turn : {90.0f, 270.0f, -90.0f, 450.0f})
        for (const auto& offset : offsets)
            for (const TStretchFilter filter : {TStretchFilter::sfNearest, TStretchFilter::sfLinear})
                for (const Mode& m : Modes) {
                    TAffineTransformation t;
                    t.SetSrcRect(TFloatRect{0, 0, 37, 29});
                    t.Rotate(18, 14, turn);
                    t.Translate(offset[0], offset[1]);
                    src.SetStretchFilter(filter);
                    src.SetDrawMode(m.mode);
                    src.SetMasterAlpha(m.master);
                    src.OnPixelCombine = m.mode == TDrawMode::dmCustom ? Swirl : TPixelCombineEvent{};
                    expectSameBits(
                        background, [&](TBitmap32& dst) { Transform(&dst, &src, &t); },
                        "turn " + std::to_string(turn) + " offset " + std::to_string(offset[0]));
                }
}

TEST(VectorRows, BlockBlendOntoItselfMatchesThePixelPath) {
    std::mt19937 rng(3);
    TBitmap32 background;
    fillRandom(background, rng, 37, 9);
    for (const int dx : {-5, -1, 1, 3, 8}) {
        expectSameBits(
            background,
            [&](TBitmap32& b) { CopyBlock(&b, dx, 1, &b, MakeRect(0, 0, 37, 8), TDrawMode::dmBlend, {}); },
            "shift " + std::to_string(dx));
    }
}

TEST(VectorRows, PathAndProcessorFeatures) {
    EXPECT_FALSE(Avx2FromCpuid(0, 1u << 5, 0x6));                       // no OSXSAVE
    EXPECT_FALSE(Avx2FromCpuid((1u << 27) | (1u << 28), 1u << 5, 0x2)); // YMM state off
    EXPECT_FALSE(Avx2FromCpuid((1u << 27) | (1u << 28), 0, 0x7));       // no AVX2 bit
    EXPECT_TRUE(Avx2FromCpuid((1u << 27) | (1u << 28), 1u << 5, 0x7));
    // The plain forms never take the row kernels; the MMX forms take them when the level has them.
    {
        const PathScope path(PlainBlendTable(), detail::BestVectorLevel());
        EXPECT_EQ(detail::ActiveVectorKernels(), nullptr);
    }
    {
        const PathScope path(MmxBlendTable(), detail::BestVectorLevel());
        EXPECT_EQ(detail::ActiveVectorKernels(), detail::VectorKernels(detail::BestVectorLevel()));
    }
#if defined(__x86_64__)
    EXPECT_TRUE(HasSSE2());
    EXPECT_NE(detail::VectorKernels(TVectorLevel::SSE2), nullptr);
    EXPECT_EQ(detail::VectorKernels(TVectorLevel::AVX2) != nullptr, HasAVX2());
#endif
}

} // namespace
} // namespace g32
