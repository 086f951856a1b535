#pragma once

// Internal to the blending code: the two sets of forms and the weight helpers they share.

#include "g32/g32_blend.h"

#include <cstdint>

namespace g32::detail {

constexpr TColor32 ClampWeight(TColor32 W) {
    return W > ChannelMax ? ChannelMax : W;
}

// (M * Fa) div 256, 0 when F is fully transparent.
constexpr TColor32 ScaledWeight(TColor32 F, TColor32 M) {
    const std::uint64_t w = (static_cast<std::uint64_t>(M) * AlphaComponent(F)) >> 8;
    return w > ChannelMax ? ChannelMax : static_cast<TColor32>(w);
}

const TBlendTable& PlainForms();
// The MMX forms through SSE2 registers where the compiler targets x86 (the row slots through the widest
// row kernels, several pixels at a time), else through scalar lanes; both compute per lane
// ((F - B) * W + B * 256 + 128) div 256 and give the same bits.
const TBlendTable& MmxForms();
const TBlendTable& MmxScalarForms();

} // namespace g32::detail
