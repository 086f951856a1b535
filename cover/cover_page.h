#pragma once

// The printed page: the 12 cm front square and, below it, the back inlay framed by its two spines,
// drawn at the printer's resolution into one 24-bit bitmap that goes to the printer one pixel per dot.

#include "cover/cover_layout.h"
#include "cover/cover_metrics.h"
#include "cover/cover_render.h"
#include "g32/g32_bitmap32.h"
#include "platform/gdi/graphic.h"

#include <cstdint>
#include <memory>
#include <string>

namespace cover {

inline constexpr const char* PageTooLargeText = "The page is too large to print";
// Space left below and beside the back inlay.
inline constexpr int PageMargin = 10;
// The spine title's distance from the spine's end, in back preview pixels.
inline constexpr int SpineMargin = 10;
// Height of the back preview in pixels; printing scales the back by BackHeight / this.
inline constexpr int BackPreviewScaleBase = BackPreviewHeight;

struct SpineSide {
    SpineAlign Align = SpineAlign::Down;
    bool DownUp = true;
};

struct PageSettings {
    int Dpi = 300;
    // Borders in dots: the front square is placed FrontTop across and FrontLeft down, the back
    // BackLeft across and BackTop down.
    int FrontTop = 0;
    int FrontLeft = 0;
    int BackTop = 0;
    int BackLeft = 0;
    bool PrintFront = true;
    bool PrintBack = true;
    bool DrawLines = true;
    SpineSide Left{SpineAlign::Down, true};
    SpineSide Right{SpineAlign::Up, false};
};

// What the design holds; the pointers may be null (no picture).
struct PageSources {
    const platform::gdi::Bitmap* FrontPicture = nullptr;
    FrontPlacement Front;
    g32::TBitmap32* BackPicture = nullptr;
    bool UseBackPicture = true;
    const CoverLayout* Layout = nullptr;
    BackTexts Texts;
    BackLabels Labels;
    bool Justify = false;
    int RightColumn = 430;
    platform::gdi::Font SpineFont;
    g32::TBitmap32* Logo = nullptr;
    int LogoWidth = 0; // the logo control's size (0 x 0 while the logo is hidden)
    int LogoHeight = 0;
};

// The page's size in pixels for these settings, before anything is drawn.
struct PageSize {
    std::int64_t Width = 0;
    std::int64_t Height = 0;
};
PageSize pageSize(const PageSettings& settings);

// What a page beyond the bitmaps' memory limit says: its size and resolution, and what to do.
std::string pageTooLargeText(int dpi, const PageSize& size);

// Draws the page. Throws platform::gdi::GraphicError (pageTooLargeText or PageTooLargeText, or the
// bitmap's failure) when the page cannot be made; a page too large is refused before any drawing.
std::unique_ptr<platform::gdi::Bitmap> composePage(const PageSettings& settings, const PageSources& sources);

// The front square alone (FrontSize x FrontSize, cut line when asked) as composePage copies it.
std::unique_ptr<platform::gdi::Bitmap> composeFront(const PrintMetrics& metrics, bool drawLines,
                                                    const platform::gdi::Bitmap& picture,
                                                    const FrontPlacement& placement);

// The back inlay with both spines: (2 x SpineWidth + BackWidth + 2) x (BackHeight + 1).
std::unique_ptr<platform::gdi::Bitmap> composeBack(const PrintMetrics& metrics, const PageSettings& settings,
                                                   const PageSources& sources);

} // namespace cover
