#pragma once

// The 32-bit ARGB colour of the bitmap library: alpha in bits 24-31, red 16-23, green 8-15, blue 0-7.
// In memory a pixel is the four bytes blue, green, red, alpha. Alpha 255 is opaque.

#include <cstdint>

namespace g32 {

using TColor32 = std::uint32_t;

constexpr TColor32 AlphaMask32 = 0xFF000000;
constexpr int AlphaShift = 24;
constexpr TColor32 ChannelMax = 0xFF;

constexpr TColor32 AlphaComponent(TColor32 c) {
    return c >> AlphaShift;
}

} // namespace g32
