#pragma once

// The first line of "m2a.bat", which the on-screen adjusting preview leaves in extern/ with the resize
// and crop sizes the user chose: "-3X" and a width, "-3Y" and a height, "-1" and a crop width and
// height, each value its own blank-separated item. Window-free.

#include <optional>
#include <string>
#include <string_view>

namespace kes {

inline constexpr std::string_view M2aBatName = "m2a.bat";
// The longest size value taken from the line.
inline constexpr size_t MaxSizeDigits = 5;

struct OnScreenSizes {
    std::optional<std::string> xSize; // after "-3X"
    std::optional<std::string> ySize; // after "-3Y"
    std::optional<std::string> xCrop; // first value after "-1"
    std::optional<std::string> yCrop; // second value after "-1" (set together with xCrop)
};

// Reads the values after the first "-3X", "-3Y" and "-1" items of the line. A value is taken as it
// stands (leading zeros kept) when it is a decimal number of at most MaxSizeDigits digits; an item
// whose value is missing or is no such number gives nothing. Items are separated by blanks or tabs,
// so a "-1" inside a path or another item is never taken for the crop item.
OnScreenSizes parseM2aFirstLine(std::string_view line);

} // namespace kes
