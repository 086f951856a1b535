#include "g32/blend_forms.h"
#include "g32/g32_blend.h"
#include "g32/g32_cpuid.h"
#include "g32/g32_lowlevel.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace g32 {
namespace {

const TBlendTable& plain() {
    return PlainBlendTable();
}
const TBlendTable& mmx() {
    return MmxBlendTable();
}

// Largest per-channel difference of two colours.
int channelDistance(TColor32 a, TColor32 b) {
    int worst = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        worst = std::max(worst, std::abs(d));
    }
    return worst;
}

TEST(Blend, PlainFormulasAgainstHandValues) {
    // Per channel ((F*W+128) div 256) + ((B*(255-W)+128) div 256).
    // F=200, B=100, W=100: (20128 div 256)=78 + (15628 div 256)=61 -> 139 = 0x8B.
    EXPECT_EQ(plain().ColorMix(0xC8C8C8C8, 0x64646464, 100), 0x8B8B8B8Bu);
    // F=255, B=0, W=128: (32768 div 256)=128 + (128 div 256)=0 -> 128.
    EXPECT_EQ(plain().ColorMix(0xFF00FF00, 0x00FF00FF, 128), 0x807F807Fu);
    EXPECT_EQ(plain().ColorMix(0x12345678, 0x9ABCDEF0, 0), 0x9ABCDEF0u);
    EXPECT_EQ(plain().ColorMix(0x12345678, 0x9ABCDEF0, 255), 0x12345678u);
    // Opaque black over white: plain keeps 0.
    EXPECT_EQ(plain().ColorOver(0xFF000000, 0xFFFFFFFF), 0xFF000000u);
    // Over with alpha 0x80 = 128: alpha 255 *128 ... per channel as ColorMix with W = Fa.
    EXPECT_EQ(plain().ColorOver(0x80FF0000, 0xFF0000FF), plain().ColorMix(0x80FF0000, 0xFF0000FF, 0x80));
    // Scaled: W = (M * Fa) div 256 = (128 * 255) div 256 = 127, no shortcut at full alpha.
    EXPECT_EQ(plain().ColorOverScaled(0xFFFFFFFF, 0x00000000, 128), plain().ColorMix(0xFFFFFFFF, 0, 127));
    EXPECT_EQ(plain().ColorOverScaled(0xFFFFFFFF, 0x00000000, 255), plain().ColorMix(0xFFFFFFFF, 0, 254));
    EXPECT_EQ(plain().ColorOverScaled(0x01FFFFFF, 0x11223344, 255), 0x11223344u); // W = 0
}

TEST(Blend, MmxFormulasAgainstHandValues) {
    // No shortcut for ColorMix: per lane (255*255+128) div 256 = 254.
    EXPECT_EQ(mmx().ColorMix(0xFFFFFFFF, 0x00000000, 255), 0xFEFEFEFEu);
    EXPECT_EQ(mmx().ColorMix(0xFFFFFFFF, 0x00000000, 0), 0x00000000u);
    // Opaque black over white gives 1 per channel (and alpha 255).
    EXPECT_EQ(mmx().ColorOver(0xFF000000, 0xFFFFFFFF), 0xFF010101u);
    // F=200, B=100, W=100: ((100*100) + 100*256 + 128) div 256 = 139.
    EXPECT_EQ(mmx().ColorMix(0xC8C8C8C8, 0x64646464, 100), 0x8B8B8B8Bu);
    TColor32 b = 0x11223344;
    mmx().ColorMixInto(0x55667788, b, 255);
    EXPECT_EQ(b, 0x55667788u);
    mmx().ColorMixInto(0x99999999, b, 0);
    EXPECT_EQ(b, 0x55667788u);
}

TEST(Blend, IntoFormsShortcutsAgreeInBothForms) {
    for (const TBlendTable* t : {&plain(), &mmx(), &detail::MmxScalarForms()}) {
        TColor32 b = 0x80402010;
        t->ColorOverInto(0x00FFFFFF, b);
        EXPECT_EQ(b, 0x80402010u);
        t->ColorOverInto(0xFF123456, b);
        EXPECT_EQ(b, 0xFF123456u);
        t->ColorOverScaledInto(0x00FFFFFF, b, 255);
        EXPECT_EQ(b, 0xFF123456u);
        t->ColorOverScaledInto(0xFFFFFFFF, b, 0);
        EXPECT_EQ(b, 0xFF123456u);
    }
}

TEST(Blend, RowsAndCounts) {
    for (const TBlendTable* t : {&plain(), &mmx()}) {
        const std::vector<TColor32> src = {0xFF0000FF, 0x00FFFFFF, 0x80FF0000};
        std::vector<TColor32> dst = {1, 2, 3};
        t->RowOver(src.data(), dst.data(), 0);
        t->RowOver(src.data(), dst.data(), -5);
        t->RowOverScaled(src.data(), dst.data(), 0, 255);
        EXPECT_EQ(dst, (std::vector<TColor32>{1, 2, 3}));
        t->RowOver(src.data(), dst.data(), 3);
        EXPECT_EQ(dst[0], 0xFF0000FFu);
        EXPECT_EQ(dst[1], 2u);
        EXPECT_EQ(dst[2], t->ColorOver(0x80FF0000, 3));
    }
}

// The formulas channel by channel, written out independently of the paired and vector code.
TColor32 perChannel(TColor32 f, TColor32 b, TColor32 w, bool mmxForm) {
    TColor32 out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const TColor32 fc = (f >> shift) & 0xFF;
        const TColor32 bc = (b >> shift) & 0xFF;
        const TColor32 c = mmxForm ? (fc * w + bc * (256 - w) + 128) / 256
                                   : (fc * w + 128) / 256 + (bc * (255 - w) + 128) / 256;
        out |= c << shift;
    }
    return out;
}

TEST(Blend, RandomDataFollowTheChannelFormulasInBothForms) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<std::uint32_t> any;
    const TBlendTable& lanes = detail::MmxScalarForms();
    for (int i = 0; i < 200000; ++i) {
        const TColor32 f = any(rng);
        const TColor32 b = any(rng);
        const TColor32 w = 1 + any(rng) % 254;
        const TColor32 m = any(rng) & 0xFF;
        const TColor32 fa = f >> 24;
        ASSERT_EQ(plain().ColorMix(f, b, w), perChannel(f, b, w, false));
        ASSERT_EQ(mmx().ColorMix(f, b, w), perChannel(f, b, w, true));
        ASSERT_EQ(mmx().ColorMix(f, b, w), lanes.ColorMix(f, b, w)) << std::hex << f << " " << b << " " << w;
        ASSERT_EQ(mmx().ColorOver(f, b), lanes.ColorOver(f, b));
        ASSERT_EQ(mmx().ColorOverScaled(f, b, m), lanes.ColorOverScaled(f, b, m));
        if (fa > 0 && fa < 255) {
            ASSERT_EQ(plain().ColorOver(f, b), perChannel(f, b, fa, false));
            ASSERT_EQ(mmx().ColorOver(f, b), perChannel(f, b, fa, true));
        }
        const TColor32 sw = (m * fa) / 256;
        if (sw > 0) {
            ASSERT_EQ(plain().ColorOverScaled(f, b, m), perChannel(f, b, sw, false));
            ASSERT_EQ(mmx().ColorOverScaled(f, b, m), perChannel(f, b, sw, true));
        }
        // The two forms weigh the background by 255 - W and 256 - W: close, but not the same.
        ASSERT_LE(channelDistance(mmx().ColorMix(f, b, w), plain().ColorMix(f, b, w)), 2);
    }
}

TEST(Blend, WeightsAboveRangeCountAsFull) {
    EXPECT_EQ(plain().ColorMix(0x11223344, 0x55667788, 0x1FF), 0x11223344u);
    EXPECT_EQ(mmx().ColorMix(0x11223344, 0x55667788, 0x1FF), mmx().ColorMix(0x11223344, 0x55667788, 255));
    // The scaled weight stops at 255, which the plain scaled form mixes without a shortcut.
    EXPECT_EQ(plain().ColorOverScaled(0xFFFFFFFF, 0, 0xFFFFFFFF), 0xFEFEFEFEu);
}

TEST(Blend, ChosenTableFollowsTheProcessor) {
    EXPECT_EQ(MMXActive(), HasMMX());
    EXPECT_EQ(&BlendTable(), MMXActive() ? &MmxBlendTable() : &PlainBlendTable());
    EndMMX(); // harmless either way
#if defined(__x86_64__)
    EXPECT_TRUE(HasCPUID());
    EXPECT_TRUE(HasMMX());
#endif
}

TEST(CpuFeatures, FamilyAndFeatureBit) {
    constexpr std::uint32_t mmxBit = 1u << 23;
    EXPECT_FALSE(MmxFromCpuid(true, 4u << 8, mmxBit)); // family 4, bit set
    EXPECT_TRUE(MmxFromCpuid(true, 5u << 8, mmxBit));
    EXPECT_FALSE(MmxFromCpuid(true, 6u << 8, 0));
    EXPECT_FALSE(MmxFromCpuid(false, 6u << 8, mmxBit));
}

TEST(LowLevel, SafeMulDiv) {
    EXPECT_EQ(SafeMulDiv(7, 3, 2), 11);
    EXPECT_EQ(SafeMulDiv(-7, 3, 2), -11);
    EXPECT_EQ(SafeMulDiv(7, -3, -2), 11);
    EXPECT_EQ(SafeMulDiv(5, 5, 0), -1);
    EXPECT_EQ(SafeMulDiv(10, 1, 4), 3);         // 2.5 rounds away from zero
    EXPECT_EQ(SafeMulDiv(9, 1, 4), 2);          // 2.25
    EXPECT_EQ(SafeMulDiv(65536, 65536, 1), -1); // 2^32 does not fit
    EXPECT_EQ(SafeMulDiv(1 << 20, 1 << 10, 1), 1 << 30);
    EXPECT_EQ(SafeMulDiv(std::numeric_limits<std::int32_t>::min(), 1, 1),
              std::numeric_limits<std::int32_t>::min());
}

TEST(LowLevel, ClampShiftsFillAndColour) {
    EXPECT_EQ(ClampInt(5, 10, 0), 10);
    EXPECT_EQ(ClampInt(5, 0, 3), 3);
    EXPECT_EQ(ClampInt(2, 0, 3), 2);
    EXPECT_EQ(FixedShr8(-1), -1);
    EXPECT_EQ(FixedShr4(-17), -2);
    EXPECT_EQ(FixedShr12(8191), 1);
    EXPECT_EQ(WinColorToColor32(0x000000FF), 0xFFFF0000u);
    EXPECT_EQ(WinColorToColor32(0x00123456), 0xFF563412u);
    std::vector<TColor32> v(4, 7);
    Fill32(v.data(), 0, 1);
    Fill32(v.data(), -3, 1);
    EXPECT_EQ(v, (std::vector<TColor32>{7, 7, 7, 7}));
    Fill32(v.data() + 1, 2, 9);
    EXPECT_EQ(v, (std::vector<TColor32>{7, 9, 9, 7}));
}

} // namespace
} // namespace g32
