#include "cover/cover_page.h"

#include "platform/core/text.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/dib_section.h"

#include <limits>

namespace cover {

namespace gdi = platform::gdi;
namespace core = platform::core;

namespace {

constexpr std::uint32_t Black = 0xFF000000;
// Bitmaps keep 32 bits a pixel whatever their pixel format says.
constexpr std::int64_t PageBytesPerPixel = 4;
constexpr g32::TColor32 LineColor = 0;

int checkedSize(std::int64_t value) {
    if (value < 1 || value > std::numeric_limits<int>::max())
        throw gdi::GraphicError(PageTooLargeText);
    return static_cast<int>(value);
}

int truncScaled(long double value) {
    return static_cast<int>(core::truncToInt(value));
}

int roundScaled(long double value) {
    return static_cast<int>(core::roundHalfEven(value));
}

// The outline of the rectangle (left, top)-(right, bottom) as the default black pen draws it: the
// right and bottom lines lie one pixel inside.
void outline(gdi::Bitmap& bitmap, int left, int top, int right, int bottom) {
    std::uint32_t* bits = bitmap.bits();
    const int w = bitmap.width();
    const int h = bitmap.height();
    const auto plot = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < w && y < h)
            bits[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] =
                Black;
    };
    for (int x = left; x < right; ++x) {
        plot(x, top);
        plot(x, bottom - 1);
    }
    for (int y = top; y < bottom; ++y) {
        plot(left, y);
        plot(right - 1, y);
    }
}

// The four cut lines round a width x height part, drawn from the pen position (0, 0).
void frame(g32::TBitmap32& bitmap, int width, int height) {
    bitmap.MoveTo(0, 0);
    bitmap.Line(0, 0, width, 0, LineColor, false);
    bitmap.Line(width, 0, width, height, LineColor, false);
    bitmap.Line(0, 0, 0, height, LineColor, false);
    bitmap.Line(0, height, width, height, LineColor, false);
}

void drawSpineSide(g32::TBitmap32& scratch, g32::TBitmap32& spine, const PrintMetrics& m, double s,
                   const SpineSide& side, const PageSources& sources, bool drawLines) {
    scratch.Clear(White32);
    gdi::Font font = sources.SpineFont;
    font.size = truncScaled(static_cast<long double>(font.size) * s);
    scratch.Font() = font;
    const int w = scratch.TextWidth(sources.Texts.Title);
    const int margin = roundScaled(static_cast<long double>(SpineMargin) * s);
    SpineDrawing d;
    d.TextX = spineStart(side.Align, side.DownUp, m.BackHeight, w, margin);
    d.Square = m.BackHeight;
    d.DownUp = side.DownUp;
    d.ShiftX = static_cast<float>(font.size + SpineMargin * s - m.BackHeight);
    spine.Clear(White32);
    drawSpine(scratch, spine, sources.Texts.Title, d);
    if (drawLines)
        frame(spine, m.SpineWidth, m.BackHeight);
}

void copyInto(gdi::Bitmap& dst, int x, int y, int w, int h, const g32::TBitmap32& src) {
    if (src.Handle())
        gdi::bitBlt(dst.canvas(), x, y, w, h, *src.Handle(), 0, 0);
}

} // namespace

std::unique_ptr<gdi::Bitmap> composeFront(const PrintMetrics& m, bool drawLines, const gdi::Bitmap& picture,
                                          const FrontPlacement& p) {
    const long double s = static_cast<long double>(m.FrontSize) / FrontPreviewSize;
    auto front = std::make_unique<gdi::Bitmap>();
    front->setSize(m.FrontSize, m.FrontSize);
    if (drawLines)
        outline(*front, 0, 0, m.FrontSize - 1, m.FrontSize - 1);
    const int x1 = truncScaled(p.PicX * s);
    const int y1 = truncScaled(p.PicY * s);
    const int x2 = truncScaled((static_cast<long double>(p.PicX) + p.PicWidth) * s);
    const int y2 = truncScaled((static_cast<long double>(p.PicY) + p.PicHeight) * s);
    if (x2 > x1 && y2 > y1 && !picture.empty())
        gdi::stretchBlt(front->canvas(), x1, y1, x2 - x1, y2 - y1, picture.canvas(), 0, 0, picture.width(),
                        picture.height(), gdi::RasterOp::SrcAnd);
    return front;
}

std::unique_ptr<gdi::Bitmap> composeBack(const PrintMetrics& m, const PageSettings& settings,
                                         const PageSources& sources) {
    const double s = static_cast<double>(m.BackHeight) / BackPreviewScaleBase;
    const int backW = checkedSize(std::int64_t{m.BackWidth} + 1);
    const int backH = checkedSize(std::int64_t{m.BackHeight} + 1);
    const int spineW = checkedSize(std::int64_t{m.SpineWidth} + 1);
    const int compositeW = checkedSize(2 * std::int64_t{m.SpineWidth} + m.BackWidth + 2);

    g32::TBitmap32 back;
    back.SetSize(backW, backH);
    back.Clear(White32);
    if (sources.UseBackPicture && sources.BackPicture && !sources.BackPicture->Empty())
        back.Draw(g32::MakeRect(0, 0, backW, backH),
                  g32::MakeRect(0, 0, sources.BackPicture->Width(), sources.BackPicture->Height()),
                  sources.BackPicture);
    if (sources.Layout) {
        BackDrawing drawing{sources.Justify, sources.RightColumn, s};
        drawBackItems(back, *sources.Layout, sources.Texts, sources.Labels, drawing);
    }
    if (settings.DrawLines)
        frame(back, m.BackWidth, m.BackHeight);

    auto composite = std::make_unique<gdi::Bitmap>();
    composite->setSize(compositeW, backH);

    g32::TBitmap32 scratch;
    scratch.SetSize(backW, backH);
    g32::TBitmap32 spine;
    spine.SetSize(spineW, backH);
    drawSpineSide(scratch, spine, m, s, settings.Left, sources, settings.DrawLines);
    copyInto(*composite, 0, 0, spineW, backH, spine);
    copyInto(*composite, m.SpineWidth, 0, backW, backH, back);

    if (sources.Logo && !sources.Logo->Empty() && sources.LogoWidth > 0 && sources.LogoHeight > 0 &&
        sources.Layout) {
        const long double lx = sources.Layout->LogoX;
        const long double ly = sources.Layout->LogoY;
        const int x1 = roundScaled(lx * s) + m.SpineWidth;
        const int y1 = roundScaled(ly * s);
        const int x2 = roundScaled((lx + sources.LogoWidth) * s) + m.SpineWidth;
        const int y2 = roundScaled((ly + sources.LogoHeight) * s);
        if (x2 > x1 && y2 > y1)
            gdi::stretchBlt(composite->canvas(), x1, y1, x2 - x1, y2 - y1, *sources.Logo->Handle(), 0, 0,
                            sources.Logo->Width(), sources.Logo->Height());
    }

    drawSpineSide(scratch, spine, m, s, settings.Right, sources, settings.DrawLines);
    copyInto(*composite, m.SpineWidth + m.BackWidth, 0, spineW, backH, spine);
    return composite;
}

PageSize pageSize(const PageSettings& settings) {
    const PrintMetrics m = printMetrics(settings.Dpi);
    PageSize size{std::int64_t{settings.FrontTop} + m.FrontSize,
                  std::int64_t{settings.FrontLeft} + m.FrontSize};
    if (!settings.PrintBack)
        return size;
    size.Width = 2 * std::int64_t{m.SpineWidth} + m.BackWidth + settings.BackLeft + PageMargin;
    const std::int64_t backPart = std::int64_t{m.BackHeight} + settings.BackTop + PageMargin;
    size.Height = settings.PrintFront ? size.Height + backPart : backPart;
    return size;
}

std::string pageTooLargeText(int dpi, const PageSize& size) {
    return "The page is too large to print at " + std::to_string(dpi) + " dpi (" +
           std::to_string(size.Width) + " x " + std::to_string(size.Height) + " pixels, at most " +
           std::to_string(gdi::MaxDibBytes / PageBytesPerPixel) +
           " pixels) : choose a lower printer resolution.";
}

std::unique_ptr<gdi::Bitmap> composePage(const PageSettings& settings, const PageSources& sources) {
    const PageSize size = pageSize(settings);
    if (size.Width > 0 && size.Height > 0 && size.Width * size.Height > gdi::MaxDibBytes / PageBytesPerPixel)
        throw gdi::GraphicError(pageTooLargeText(settings.Dpi, size));
    const PrintMetrics m = printMetrics(settings.Dpi);
    auto page = std::make_unique<gdi::Bitmap>();
    page->setPixelFormat(gdi::PixelFormat::Bits24);
    const int frontBottom = checkedSize(std::int64_t{settings.FrontLeft} + m.FrontSize);
    page->setSize(checkedSize(std::int64_t{settings.FrontTop} + m.FrontSize), frontBottom);

    if (settings.PrintFront && sources.FrontPicture) {
        auto front = composeFront(m, settings.DrawLines, *sources.FrontPicture, sources.Front);
        gdi::bitBlt(page->canvas(), settings.FrontTop, settings.FrontLeft, m.FrontSize - 1, m.FrontSize - 1,
                    front->canvas(), 0, 0);
    }
    if (!settings.PrintBack)
        return page;

    auto back = composeBack(m, settings, sources);
    const int width =
        checkedSize(2 * std::int64_t{m.SpineWidth} + m.BackWidth + settings.BackLeft + PageMargin);
    const std::int64_t backPart = std::int64_t{m.BackHeight} + settings.BackTop + PageMargin;
    int backY = settings.BackTop;
    if (settings.PrintFront) {
        page->setSize(width, checkedSize(page->height() + backPart));
        backY = checkedSize(std::int64_t{frontBottom} + settings.BackTop);
    } else {
        page->setSize(width, checkedSize(backPart));
    }
    gdi::bitBlt(page->canvas(), settings.BackLeft, backY, back->width(), back->height(), back->canvas(), 0,
                0);
    return page;
}

} // namespace cover
