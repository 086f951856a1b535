#include "cover/cover_page.h"
#include "platform/gdi/dib_section.h"

#include <gtest/gtest.h>

namespace cover {
namespace {

namespace gdi = platform::gdi;

constexpr std::uint32_t Rgb = 0x00FFFFFF;
constexpr std::uint32_t RedRgb = 0xFF0000;
constexpr std::uint32_t BlueRgb = 0x0000FF;
constexpr std::uint32_t GreenRgb = 0x00FF00;

std::uint32_t at(const gdi::Bitmap& b, int x, int y) {
    return b.bits()[static_cast<std::size_t>(y) * b.width() + x] & Rgb;
}

bool dark(std::uint32_t rgb) {
    return ((rgb >> 16) & 0xFF) < 128 && ((rgb >> 8) & 0xFF) < 128 && (rgb & 0xFF) < 128;
}

std::unique_ptr<gdi::Bitmap> filled(int w, int h, std::uint32_t rgb) {
    auto b = std::make_unique<gdi::Bitmap>();
    b->setSize(w, h);
    std::fill(b->bits(), b->bits() + static_cast<std::size_t>(w) * h, 0xFF000000 | rgb);
    return b;
}

class CoverPage : public ::testing::Test {
protected:
    void SetUp() override {
        front = filled(100, 50, GreenRgb);
        background = filled(10, 10, RedRgb);
        backPicture.Assign(background.get());
        logo.SetSize(130, 52);
        logo.Clear(0xFF000000 | BlueRgb);
        sources.FrontPicture = front.get();
        sources.Front = placeFront(0.5, 400, true, FrontPosition::MM);
        sources.BackPicture = &backPicture;
        sources.Layout = &layout;
        sources.Texts.Title = "The Movie";
        sources.SpineFont.name = "Arial";
        sources.SpineFont.size = 15;
        sources.SpineFont.color = 0;
        sources.Logo = &logo;
        sources.LogoWidth = 130;
        sources.LogoHeight = 52;
        settings.FrontTop = borderPixels(2, 300);
        settings.FrontLeft = borderPixels(2, 300);
        settings.BackLeft = borderPixels(2, 300);
        settings.BackTop = 0;
    }

    CoverLayout layout = defaultLayout();
    std::unique_ptr<gdi::Bitmap> front;
    std::unique_ptr<gdi::Bitmap> background;
    g32::TBitmap32 backPicture;
    g32::TBitmap32 logo;
    PageSources sources;
    PageSettings settings;
};

TEST_F(CoverPage, DefaultPageAt300DpiPlacesFrontAndBack) {
    auto page = composePage(settings, sources);
    EXPECT_EQ(page->width(), 2028);
    EXPECT_EQ(page->height(), 3045);
    // Front square (236, 236)-(1653, 1653): the cut line, the green picture in the middle band, white
    // above and below it (a 2:1 picture centred), and the last copied pixel.
    EXPECT_TRUE(dark(at(*page, 236, 236)));
    EXPECT_TRUE(dark(at(*page, 236 + 1416, 700)));
    EXPECT_EQ(at(*page, 236 + 709, 236 + 709), GreenRgb);
    EXPECT_EQ(at(*page, 236 + 709, 236 + 100), Rgb);
    EXPECT_EQ(at(*page, 1653, 700), Rgb);
    // Back composite at (236, 1654): left spine frame at x 236, back frame at x 236 + 82, red background,
    // the blue logo round (320, 8) scaled by 1381 / 390, the right spine's frame at 236 + 82 + 1618.
    const int top = 1654;
    EXPECT_TRUE(dark(at(*page, 236, top + 700)));
    EXPECT_TRUE(dark(at(*page, 236 + 82, top + 700)));
    EXPECT_EQ(at(*page, 236 + 82 + 800, top + 1300), RedRgb);
    EXPECT_EQ(at(*page, 236 + 82 + 1133 + 200, top + 28 + 90), BlueRgb);
    EXPECT_TRUE(dark(at(*page, 236 + 82 + 1618, top + 700)));
    EXPECT_TRUE(dark(at(*page, 236 + 82 + 1618 + 82, top + 700)));
    EXPECT_EQ(at(*page, 2027, 3044), Rgb);
}

TEST_F(CoverPage, BordersMoveTheFrontAndPartsCanBeLeftOut) {
    settings.FrontTop = borderPixels(3, 300);
    auto page = composePage(settings, sources);
    EXPECT_TRUE(dark(at(*page, 354, 236)));
    EXPECT_EQ(at(*page, 353, 236), Rgb);

    settings.PrintBack = false;
    page = composePage(settings, sources);
    EXPECT_EQ(page->width(), 354 + 1418);
    EXPECT_EQ(page->height(), 236 + 1418);

    settings.PrintBack = true;
    settings.PrintFront = false;
    settings.BackTop = 50;
    page = composePage(settings, sources);
    EXPECT_EQ(page->height(), 1381 + 50 + 10);
    EXPECT_TRUE(dark(at(*page, 236, 50 + 700)));
    EXPECT_EQ(at(*page, 236, 49), Rgb);
}

TEST_F(CoverPage, NoFrontPictureLeavesTheFrontWhite) {
    sources.FrontPicture = nullptr;
    auto page = composePage(settings, sources);
    EXPECT_EQ(page->height(), 3045);
    EXPECT_EQ(at(*page, 236, 236), Rgb);
    EXPECT_TRUE(dark(at(*page, 236, 1654 + 700)));
}

TEST_F(CoverPage, ATitleAlignedDownReadingUpDownEndsAtTheSpineEnd) {
    settings.DrawLines = false;
    sources.UseBackPicture = false;
    sources.Texts.Title = "WWWWWWWW";
    settings.Left = {SpineAlign::Down, false};
    const PrintMetrics m = printMetrics(300);
    auto back = composeBack(m, settings, sources);
    int last = -1;
    int first = -1;
    for (int y = 0; y < back->height(); ++y)
        for (int x = 0; x < m.SpineWidth; ++x)
            if (dark(at(*back, x, y))) {
                last = y;
                if (first < 0)
                    first = y;
            }
    ASSERT_GE(last, 0);
    EXPECT_LE(last, m.BackHeight);
    EXPECT_GE(last, m.BackHeight - 12);
    EXPECT_GT(first, m.BackHeight / 2);
}

TEST_F(CoverPage, BackItemsAreDrawnScaled) {
    settings.DrawLines = false;
    sources.UseBackPicture = false;
    sources.Texts.Title = "";
    sources.Texts.Genre = "Drama";
    sources.LogoWidth = 0;
    layout.Items[ciGenre].X = 100;
    layout.Items[ciGenre].Y = 100;
    const PrintMetrics m = printMetrics(300);
    auto back = composeBack(m, settings, sources);
    const double s = 1381.0 / 390.0;
    bool inked = false;
    for (int y = static_cast<int>(100 * s); y < static_cast<int>(100 * s) + 40; ++y)
        for (int x = 82 + static_cast<int>(100 * s); x < 82 + static_cast<int>(100 * s) + 120; ++x)
            inked = inked || dark(at(*back, x, y));
    EXPECT_TRUE(inked);
    for (int y = 0; y < static_cast<int>(100 * s) - 2; ++y)
        for (int x = 82; x < 82 + 1618; x += 3)
            ASSERT_FALSE(dark(at(*back, x, y))) << x << "," << y;
}

// Rows of the bitmap with ink, grouped into bands separated by at least one empty row.
int inkBands(g32::TBitmap32& bitmap) {
    int bands = 0;
    bool inBand = false;
    for (int y = 0; y < bitmap.Height(); ++y) {
        bool inked = false;
        for (int x = 0; x < bitmap.Width() && !inked; ++x)
            inked = dark(bitmap.Pixel(x, y) & Rgb);
        if (inked && !inBand)
            ++bands;
        inBand = inked;
    }
    return bands;
}

// The comment lines keep apart at a printer's scale as they do in the preview: the label and the four
// lines are five bands of ink.
TEST_F(CoverPage, PrintedCommentLinesDoNotOverlap) {
    layout.Items[ciComments].X = 0;
    layout.Items[ciComments].Y = 0;
    BackTexts texts;
    texts.Comments = {"Hgpqy", "Hgpqy", "Hgpqy", "Hgpqy"};
    for (const double scale : {1.0, 5527.0 / 390}) { // the preview and a 1200-dpi print
        SCOPED_TRACE(scale);
        g32::TBitmap32 back;
        back.SetSize(static_cast<int>(400 * scale), static_cast<int>(100 * scale));
        back.Clear(White32);
        drawBackItems(back, layout, texts, BackLabels{}, BackDrawing{false, 430, scale});
        EXPECT_EQ(inkBands(back), 5);
    }
}

// A resolution whose page the bitmaps cannot hold is refused before anything is drawn, with the
// page's size and what to do about it.
TEST_F(CoverPage, APageBeyondTheBitmapLimitSaysWhy) {
    settings.Dpi = 2400;
    settings.FrontTop = settings.FrontLeft = settings.BackLeft = borderPixels(2, 2400);
    const PageSize size = pageSize(settings);
    EXPECT_GT(size.Width * size.Height * 4, platform::gdi::MaxDibBytes);
    try {
        composePage(settings, sources);
        FAIL() << "composed";
    } catch (const gdi::GraphicError& e) {
        EXPECT_EQ(e.what(), pageTooLargeText(2400, size));
        EXPECT_NE(std::string(e.what()).find("2400 dpi"), std::string::npos);
    }
    settings.Dpi = 300;
    settings.FrontTop = settings.FrontLeft = settings.BackLeft = borderPixels(2, 300);
    EXPECT_EQ(pageSize(settings).Width, 2 * 82 + 1618 + 236 + 10);
    EXPECT_EQ(pageSize(settings).Height, 236 + 1418 + 1381 + 10);
}

TEST_F(CoverPage, APageTooLargeIsAnErrorNotACrash) {
    settings.FrontTop = std::numeric_limits<int>::max();
    EXPECT_THROW(composePage(settings, sources), gdi::GraphicError);
}

} // namespace
} // namespace cover
