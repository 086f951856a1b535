#pragma once

// Colours as GDI takes them: 0x00BBGGRR (red in the low byte); a value with the top bit set is a
// system colour whose low byte is the colour index.

#include <cstdint>

namespace platform::gdi {

using ColorRef = std::uint32_t;

constexpr ColorRef SystemColorFlag = 0x80000000;
constexpr ColorRef SystemColorIndexMask = 0xFF;

// System colour indexes in use.
constexpr int ColorWindow = 5;
constexpr int ColorWindowText = 8;
constexpr int ColorBtnFace = 15;

// The RGB value of a system colour index: the application palette's colour when a GUI application
// runs, else the classic fixed value.
ColorRef sysColor(int index);

// A colour with any system colour resolved to its RGB value (0x00BBGGRR).
ColorRef resolveColor(ColorRef color);

} // namespace platform::gdi
