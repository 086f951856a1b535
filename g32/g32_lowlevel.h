#pragma once

// Small integer helpers of the bitmap library: 32-bit fill, clamp, fixed-point shifts, a rounding
// multiply-divide and the conversion of a 0x00BBGGRR colour.

#include "g32/color32.h"

#include <cstdint>

namespace g32 {

// Writes Value into Count consecutive words; nothing when Count <= 0.
void Fill32(TColor32* X, int Count, TColor32 Value);

// Lo when Value <= Lo, else Hi when Value >= Hi, else Value (the low bound is tested first).
constexpr int ClampInt(int Value, int Lo, int Hi) {
    if (Value <= Lo)
        return Lo;
    if (Value >= Hi)
        return Hi;
    return Value;
}

// Arithmetic right shifts (toward minus infinity) that leave 4-, 8- and 12-bit fixed point.
constexpr std::int32_t FixedShr4(std::int32_t Value) {
    return Value >> 4;
}
constexpr std::int32_t FixedShr8(std::int32_t Value) {
    return Value >> 8;
}
constexpr std::int32_t FixedShr12(std::int32_t Value) {
    return Value >> 12;
}

// 0x00BBGGRR becomes 0xFFRRGGBB.
constexpr TColor32 WinColorToColor32(std::uint32_t C) {
    return AlphaMask32 | ((C & 0xFF) << 16) | (C & 0xFF00) | ((C >> 16) & 0xFF);
}

// A * B / D rounded to the nearest integer, halves away from zero; -1 when D is 0 or the quotient does
// not fit in 31 bits.
std::int32_t SafeMulDiv(std::int32_t A, std::int32_t B, std::int32_t D);

} // namespace g32
