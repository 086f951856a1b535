#pragma once

// A memory device context: a drawing surface over the DIB section selected into it, with a font, a
// text colour and a background mode, text output and measurement through Qt, and block copies.
// Text is drawn through an RGB32 view of the pixels: the colour channels are painted, the fourth
// byte of every pixel stays as it was.

#include "platform/gdi/colors.h"
#include "platform/gdi/dib_section.h"
#include "platform/gdi/font.h"

#include <cstdint>
#include <memory>
#include <string_view>

class QImage;
class QPainter;

namespace platform::gdi {

struct Size {
    int cx = 0;
    int cy = 0;
    bool operator==(const Size&) const = default;
};

enum class BkMode { Transparent = 1, Opaque = 2 };

// Raster operations of the block copies.
enum class RasterOp : std::uint32_t {
    SrcCopy = 0x00CC0020, // destination = source
    SrcAnd = 0x008800C6,  // destination = source AND destination
};

class DeviceContext {
public:
    // A context compatible with the screen; it has no surface until a section is selected.
    static std::unique_ptr<DeviceContext> createCompatible();
    ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    // Selects a section (null deselects). The section must outlive its selection.
    bool selectBitmap(DibSection* section);
    DibSection* selectedBitmap() const { return section_; }

    void selectFont(const Font& font);
    const Font& font() const { return font_; }
    void setTextColor(ColorRef color) { textColor_ = resolveColor(color); }
    void setBkMode(BkMode mode) { bkMode_ = mode; }
    void setBkColor(ColorRef color) { bkColor_ = resolveColor(color); }

    // Draws the text (UTF-8) with the top-left of its cell at (x, y); false when there is no surface
    // or no GUI application to render fonts.
    bool extTextOut(int x, int y, std::string_view text);
    // The advance width and the cell height (ascent + descent) of the text in the selected font.
    Size textExtent(std::string_view text) const;

    // An RGB32 image over the selected pixels (null when none). It shares the memory.
    QImage view() const;

private:
    DeviceContext() = default;
    DibSection* section_ = nullptr;
    Font font_;
    ColorRef textColor_ = 0;
    BkMode bkMode_ = BkMode::Opaque;
    ColorRef bkColor_ = 0x00FFFFFF;
};

// Copies a w x h block from src at (sx, sy) to dst at (x, y), clipped to both surfaces. False when a
// context has no surface. Copies all four bytes of every pixel.
bool bitBlt(DeviceContext& dst, int x, int y, int w, int h, const DeviceContext& src, int sx, int sy,
            RasterOp op = RasterOp::SrcCopy);

// Scales the sw x sh block of src at (sx, sy) into the dw x dh block of dst at (x, y) by nearest
// pixels, clipped to the destination surface; source pixels outside src count as black.
bool stretchBlt(DeviceContext& dst, int x, int y, int dw, int dh, const DeviceContext& src, int sx, int sy,
                int sw, int sh, RasterOp op = RasterOp::SrcCopy);

// Paints the block (sx, sy, w, h) of a context's surface onto a painter at (x, y), colour channels
// only, as a block copy to a window does.
void paintTo(QPainter& painter, int x, int y, const DeviceContext& src, int sx, int sy, int w, int h);

} // namespace platform::gdi
