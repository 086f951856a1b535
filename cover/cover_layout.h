#pragma once

// The back inlay's layout: seven text items (font, colour, position, placing flag) and the logo
// position, with their defaults, and the binary layout file in which a user keeps a layout. The file
// is little-endian without header or padding: six item records (title, rip description, comments,
// genre, language, subtitle; the runtime item is not stored), the background and logo file names in
// 64 bytes each, padded with blanks, and the logo position.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace cover {

// The items, in the order the window keeps them.
enum CoverItemIndex : int { ciTitle, ciRuntime, ciRipDesc, ciComments, ciGenre, ciLanguage, ciSubtitle };
inline constexpr int CoverItemCount = 7;

// Style bits of an item's font.
inline constexpr std::uint8_t StyleBold = 0x01;
inline constexpr std::uint8_t StyleItalic = 0x02;
inline constexpr std::uint8_t StyleUnderline = 0x04;
inline constexpr std::uint8_t StyleStrikeOut = 0x08;

inline constexpr const char* DefaultFontName = "Arial";

struct TCoverItem {
    std::uint8_t Size = 10;                 // points; a larger size keeps its low 8 bits
    std::uint8_t Style = 0;                 // Style* bits
    std::uint32_t Color = 0;                // 0x00BBGGRR
    std::string FontName = DefaultFontName; // UTF-8 here, code page 1252 in the file
    std::int32_t X = 0;                     // pixels of the 456 x 390 back preview
    std::int32_t Y = 0;
    std::uint8_t Placing = 0; // 1 while the item follows the mouse
    bool operator==(const TCoverItem&) const = default;
};

struct CoverLayout {
    std::array<TCoverItem, CoverItemCount> Items;
    std::int32_t LogoX = 320;
    std::int32_t LogoY = 8;
    std::uint8_t LogoPlacing = 0;
    bool operator==(const CoverLayout&) const = default;
};

// The layout a new window starts with.
CoverLayout defaultLayout();

// The items stored in the file, in file order.
inline constexpr int StoredItemCount = 6;
inline constexpr std::array<CoverItemIndex, StoredItemCount> StoredItems{ciTitle, ciRipDesc,  ciComments,
                                                                         ciGenre, ciLanguage, ciSubtitle};

inline constexpr std::size_t PictureNameSize = 64;
inline constexpr char PictureNamePad = ' ';
// Size of an item record without its font name.
inline constexpr std::size_t ItemRecordFixedSize = 19;
// Files shorter than this are refused (a layout whose fonts all have five-letter names is exactly this).
inline constexpr std::size_t LayoutMinimumSize = 280;
// The least a layout can hold: six records with empty font names, the two names and the logo position.
inline constexpr std::size_t LayoutStructureMinimum = 6 * 19 + 2 * PictureNameSize + 2 * 4;
// Far beyond any real layout; a larger file is not read.
inline constexpr std::size_t LayoutMaximumSize = 1024 * 1024;

// What a layout file holds.
struct LayoutFile {
    std::array<TCoverItem, StoredItemCount> Records; // in file order
    std::string BackgroundName;                      // file names without folder, blanks at the end stripped
    std::string LogoName;
    std::int32_t LogoX = 0;
    std::int32_t LogoY = 0;
};

// The file's bytes for a layout and the two picture paths (only their file names are stored).
std::string encodeLayoutFile(const CoverLayout& layout, std::string_view backgroundPath,
                             std::string_view logoPath);

enum class LayoutReadStatus {
    Ok,
    TooShort, // too short to hold a layout (under LayoutStructureMinimum bytes)
    Damaged,  // ends inside a field, or too large to be a layout
};

// Reads a whole file's bytes; on anything but Ok, file is left as it was.
LayoutReadStatus decodeLayoutFile(std::string_view bytes, LayoutFile& file);

// Positions a layout file may bring, in back preview pixels; values beyond are held at these bounds
// (a file may hold any 32-bit value, and text cannot be drawn at such places).
inline constexpr std::int32_t MaxLayoutCoordinate = 1 << 20;

// Takes the records, the picture names aside, into a layout: the runtime item keeps its values.
// Positions are held within MaxLayoutCoordinate; control bytes are dropped from font names (a name
// made only of them becomes the default font).
void applyLayoutFile(const LayoutFile& file, CoverLayout& layout);

// A picture name from a layout file that may be used: no control bytes (no file is named so).
bool usablePictureName(std::string_view name);

// The file-name part of a path, padded with blanks and cut to exactly PictureNameSize bytes.
std::string pictureNameField(std::string_view path);

} // namespace cover
