#pragma once

// The numbers of the cover printer: the centimetre parser of the border edits, the place of the front
// picture in its 400 x 400 preview, the start of a title along a spine, the page sizes at a printer
// resolution, and the registry form of that resolution.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cover {

// Digits with "." starting the fraction (later dots are skipped: "1.2.3" is 1.23). Nothing when the
// text holds any other character; a text without digits is 0.
std::optional<double> parseDecimal(std::string_view text);

inline constexpr int FrontPreviewSize = 400;

enum class FrontPosition { None, UL, UM, UR, ML, MM, MR, DL, DM, DR };

struct FrontPlacement {
    int PicX = 0;
    int PicY = 0;
    int PicWidth = 0;
    int PicHeight = 0;
    bool operator==(const FrontPlacement&) const = default;
};

// The rectangle of a picture of the given height/width ratio drawn at zoom z (the length of its
// longer side), placed by the position radio when centring is on, else at (0, 0).
FrontPlacement placeFront(double ratio, int zoom, bool center, FrontPosition position);

enum class SpineAlign { Up, Center, Down };

// Where a title of width w starts along a spine of the given length: centred, or at margin from the
// end the alignment and reading direction name.
int spineStart(SpineAlign align, bool downUp, int length, int w, int margin);

// The page parts at a resolution, in printer dots.
struct PrintMetrics {
    int FrontSize = 0;  // the 12 cm front square, plus one
    int BackHeight = 0; // 11.7 cm
    int BackWidth = 0;  // 13.7 cm
    int SpineWidth = 0; // 0.7 cm
    bool operator==(const PrintMetrics&) const = default;
};
PrintMetrics printMetrics(int dpi);

// A border in centimetres as printer dots (truncated; saturated to the 32-bit range).
int borderPixels(double centimetres, int dpi);

inline constexpr const char* DefaultDpiText = "300";
// The registry value's size as the window reads it; a longer value is not taken.
inline constexpr std::size_t DpiReadBufferSize = 10;
// The registry value's size as the window writes it.
inline constexpr std::size_t DpiValueSize = 4;

// The printer resolution's text from the registry value (DefaultDpiText when there is none or it is
// too long): the bytes up to the first zero byte.
std::string dpiTextFromRegistry(const std::optional<std::string>& value);
// The registry value for a resolution text: exactly DpiValueSize bytes, the text cut or padded with
// zero bytes.
std::string dpiRegistryValue(std::string_view text);

// The resolution a text gives, or nothing when it is no whole number of 1 or more.
std::optional<int> dpiValue(std::string_view text);
inline constexpr const char* InvalidDpiText = " is not a printer resolution : type the dots per inch "
                                              "your printer is set to (for example 300).";

} // namespace cover
