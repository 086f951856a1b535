#pragma once

// "m2a.bat": what the preview leaves for the main window when the user confirms the picture size.
// Its first line holds only the chosen items, each number in three digits: "-3X 640" (resize width),
// "-3Y 352" (resize height), "-1 640 272" (crop width and height), one blank between items.

#include <optional>
#include <string>

namespace mpeg2avi {

inline constexpr const char* kAdjustFileName = "m2a.bat";
// Three digits hold every side the file can carry.
inline constexpr int kAdjustMinSide = 8;
inline constexpr int kAdjustMaxSide = 999;

struct AdjustValues {
    std::optional<int> width, height;         // resize
    std::optional<int> cropWidth, cropHeight; // crop (both or neither)
    bool operator==(const AdjustValues&) const = default;
};

std::string adjustLine(const AdjustValues& values);

// Reads items in the same notation ("-3X 640 -1 640 272"); false with a message for anything else or
// a side out of range. Items not named keep their values.
bool parseAdjustItems(const std::string& text, AdjustValues& values, std::string& error);

// Writes the file (the line and CR LF) whole into the folder; false when it cannot be written.
bool writeAdjustFile(const std::string& folder, const AdjustValues& values);

} // namespace mpeg2avi
