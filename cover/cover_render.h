#pragma once

// Drawing the back inlay's texts and a spine title on 32-bit bitmaps. The back preview draws at scale
// 1 in its 456 x 390 pixels; printing draws the same items at the printer's resolution, every size and
// position scaled and truncated.

#include "cover/cover_layout.h"
#include "cover/cover_metrics.h"
#include "g32/g32_bitmap32.h"

#include <array>
#include <string>
#include <string_view>

namespace cover {

inline constexpr int BackPreviewWidth = 456;
inline constexpr int BackPreviewHeight = 390;
// Space added to the font size between two comment lines in the preview (scaled like the font when
// printed).
inline constexpr int CommentLineGap = 8;
inline constexpr int CommentLineCount = 4;
inline constexpr g32::TColor32 White32 = 0x00FFFFFF;

// The texts of the "Back text" tab.
struct BackTexts {
    std::string Title;
    std::string Runtime;
    std::string Genre;
    std::string RipDesc;
    std::string Subtitle;
    std::string Language;
    std::array<std::string, CommentLineCount> Comments;
};

// The label captions drawn before the texts.
struct BackLabels {
    std::string Runtime = "Movie runtime :";
    std::string Genre = "Movie genre :";
    std::string RipDesc = "Rip description :";
    std::string Subtitle = "Subtitle :";
    std::string Language = "Language :";
    std::string Comments = "Summary/comment  :";
};

struct BackDrawing {
    bool Justify = false;
    int RightColumn = 430; // the track bar's position
    double Scale = 1.0;
};

// Gives the bitmap an item's font, its size scaled and truncated.
void setItemFont(g32::TBitmap32& target, const TCoverItem& item, double scale);

// Draws the title, the five labelled items that have a text and, when one comment is not empty, the
// comments label and the four comment lines. Every size and position is scaled and truncated, the gap
// between comment lines too.
void drawBackItems(g32::TBitmap32& target, const CoverLayout& layout, const BackTexts& texts,
                   const BackLabels& labels, const BackDrawing& drawing);

// Turns a title drawn on a square scratch bitmap onto a spine bitmap: the scratch is cleared to white,
// the title drawn at (TextX, 0) in the scratch's font, and the square (0, 0)-(Square, Square) rotated
// by 90 degrees (reading down-up) or by 270 degrees and shifted by ShiftX (reading up-down) about its
// centre into the spine.
struct SpineDrawing {
    int TextX = 0;
    int Square = 0;
    bool DownUp = true;
    float ShiftX = 0;
};
void drawSpine(g32::TBitmap32& scratch, g32::TBitmap32& spine, std::string_view title, const SpineDrawing& d);

} // namespace cover
