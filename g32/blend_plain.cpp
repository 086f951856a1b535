// The plain forms: two channels per 32-bit word (blue and red, green and alpha), each multiplied by its
// weight with the rounding bias 0x80 per channel.

#include "g32/blend_forms.h"

namespace g32::detail {

namespace {

constexpr TColor32 PairMask = 0x00FF00FF;
constexpr TColor32 HighPairMask = 0xFF00FF00;
constexpr TColor32 PairBias = 0x00800080;
constexpr int ByteShift = 8;

// Each channel of C times W, rounded and divided by 256.
TColor32 scalePairs(TColor32 C, TColor32 W) {
    const TColor32 blueRed = (((C & PairMask) * W + PairBias) & HighPairMask) >> ByteShift;
    const TColor32 alphaGreen = (((C >> ByteShift) & PairMask) * W + PairBias) & HighPairMask;
    return blueRed | alphaGreen;
}

// Per channel ((F * W + 128) div 256) + ((B * (255 - W) + 128) div 256), W in 1..254.
TColor32 mix(TColor32 F, TColor32 B, TColor32 W) {
    return scalePairs(F, W) + scalePairs(B, ChannelMax - W);
}

TColor32 PlainColorMix(TColor32 F, TColor32 B, TColor32 W) {
    W = ClampWeight(W);
    if (W == 0)
        return B;
    if (W == ChannelMax)
        return F;
    return mix(F, B, W);
}

void PlainColorMixInto(TColor32 F, TColor32& B, TColor32 W) {
    B = PlainColorMix(F, B, W);
}

TColor32 PlainColorOver(TColor32 F, TColor32 B) {
    const TColor32 a = AlphaComponent(F);
    if (a >= ChannelMax)
        return F;
    if (a == 0)
        return B;
    return mix(F, B, a);
}

void PlainColorOverInto(TColor32 F, TColor32& B) {
    B = PlainColorOver(F, B);
}

// No shortcut for a scaled weight of 255: it mixes like any other weight.
TColor32 PlainColorOverScaled(TColor32 F, TColor32 B, TColor32 M) {
    const TColor32 W = ScaledWeight(F, M);
    if (W == 0)
        return B;
    return mix(F, B, W);
}

void PlainColorOverScaledInto(TColor32 F, TColor32& B, TColor32 M) {
    B = PlainColorOverScaled(F, B, M);
}

void PlainRowOver(const TColor32* Src, TColor32* Dst, int Count) {
    for (int i = 0; i < Count; ++i)
        PlainColorOverInto(Src[i], Dst[i]);
}

void PlainRowOverScaled(const TColor32* Src, TColor32* Dst, int Count, TColor32 M) {
    for (int i = 0; i < Count; ++i)
        PlainColorOverScaledInto(Src[i], Dst[i], M);
}

} // namespace

const TBlendTable& PlainForms() {
    static const TBlendTable table{PlainColorMix,      PlainColorMixInto,    PlainColorOver,
                                   PlainColorOverInto, PlainColorOverScaled, PlainColorOverScaledInto,
                                   PlainRowOver,       PlainRowOverScaled};
    return table;
}

} // namespace g32::detail
