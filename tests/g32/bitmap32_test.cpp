#include "g32/g32_bitmap32.h"
#include "platform/gdi/graphic.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <QImage>

#include <set>
#include <utility>

namespace g32 {
namespace {

using Pixels = std::set<std::pair<int, int>>;

// Positions of the pixels holding c.
Pixels pixelsOf(const TBitmap32& b, TColor32 c) {
    Pixels out;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.Pixel(x, y) == c)
                out.insert({x, y});
    return out;
}

struct Counters {
    int changes = 0;
    int resizes = 0;
    void attach(TBitmap32& b) {
        b.OnChange = [this] { ++changes; };
        b.OnResize = [this] { ++resizes; };
    }
};

TEST(Bitmap32, SizeChangesAndEvents) {
    TBitmap32 b;
    Counters n;
    n.attach(b);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Handle(), nullptr);
    EXPECT_TRUE(b.SetSize(4, 3));
    EXPECT_EQ(b.Width(), 4);
    EXPECT_EQ(b.Height(), 3);
    EXPECT_NE(b.Bits(), nullptr);
    EXPECT_EQ(n.changes, 1);
    EXPECT_EQ(n.resizes, 1);
    EXPECT_FALSE(b.SetSize(4, 3));
    EXPECT_EQ(n.changes, 1);

    // A value below 1 empties the bitmap; the same call again does nothing.
    EXPECT_TRUE(b.SetSize(-5, 10));
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(n.changes, 2);
    EXPECT_EQ(n.resizes, 2);
    EXPECT_FALSE(b.SetSize(-5, 10));
    EXPECT_EQ(n.changes, 2);
    EXPECT_EQ(n.resizes, 2);

    b.SetWidth(2);
    EXPECT_TRUE(b.Empty()); // height still 0
    b.SetSize(2, 2);
    b.Delete();
    EXPECT_TRUE(b.Empty());
}

TEST(Bitmap32, AllocationFailureLeavesTheBitmapEmpty) {
    TBitmap32 b;
    b.SetSize(2, 2);
    try {
        b.SetSize(100000, 100000);
        FAIL() << "no exception";
    } catch (const EBitmapError& e) {
        EXPECT_STREQ(e.what(), "Can't allocate the DIB handle");
    }
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Width(), 0);
}

TEST(Bitmap32, UpdatesSuppressChangesAndUnpairedEndUpdateAsserts) {
    TBitmap32 b;
    Counters n;
    n.attach(b);
    b.Clear(0xFF000000); // empty: nothing
    EXPECT_EQ(n.changes, 0);
    b.BeginUpdate();
    b.SetSize(3, 3);
    b.Clear(0xFF112233);
    b.EndUpdate();
    EXPECT_EQ(n.changes, 0);
    EXPECT_EQ(n.resizes, 1); // the resize event is not suppressed
    b.Clear(0xFF112233);
    EXPECT_EQ(n.changes, 1);
    try {
        b.EndUpdate();
        FAIL() << "no exception";
    } catch (const EAssertionFailed& e) {
        EXPECT_STREQ(e.what(), "Unpaired TThreadPersistent.EndUpdate");
    }
    EXPECT_EQ(b.UpdateCount(), 0);
    b.Lock();
    b.Lock();
    EXPECT_EQ(b.LockCount(), 2);
    b.Unlock();
    b.Unlock();
    EXPECT_EQ(b.LockCount(), 0);
}

TEST(Bitmap32, PropertySettersNotifyOnlyOnChange) {
    TBitmap32 b;
    Counters n;
    n.attach(b);
    EXPECT_EQ(b.DrawMode(), TDrawMode::dmOpaque);
    EXPECT_EQ(b.MasterAlpha(), 255u);
    EXPECT_EQ(b.StretchFilter(), TStretchFilter::sfNearest);
    b.SetDrawMode(TDrawMode::dmOpaque);
    b.SetMasterAlpha(255);
    b.SetStretchFilter(TStretchFilter::sfNearest);
    EXPECT_EQ(n.changes, 0);
    b.SetDrawMode(TDrawMode::dmBlend);
    b.SetMasterAlpha(3);
    b.SetStretchFilter(TStretchFilter::sfSpline);
    EXPECT_EQ(n.changes, 3);
}

TEST(Bitmap32, PixelAccessAndFills) {
    TBitmap32 b;
    b.SetSize(3, 3);
    b.Clear(0);
    b.OuterColor = 0x12345678;
    EXPECT_EQ(b.PixelChecked(-1, 0), 0x12345678u);
    EXPECT_EQ(b.PixelChecked(0, 3), 0x12345678u);
    b.SetPixel(2, 1, 7);
    EXPECT_EQ(b.PixelChecked(2, 1), 7u);
    EXPECT_EQ(b.RowAddr(1) + 2, b.PixelAddr(2, 1));
    EXPECT_EQ(*b.PixelAddr(2, 1), 7u);

    b.FillRectClipped(-10, -10, 5, 5, 9);
    EXPECT_EQ(pixelsOf(b, 9).size(), 9u);
    b.Clear(0);
    b.FillRectClipped(3, 0, 9, 9, 9);
    EXPECT_TRUE(pixelsOf(b, 9).empty());
    b.FillRow(0, 0, 1, 5);
    b.FillColumn(2, 1, 2, 6);
    b.FillRow(2, 2, 1, 8); // X2 < X1: nothing
    EXPECT_EQ(pixelsOf(b, 5), (Pixels{{0, 0}, {1, 0}}));
    EXPECT_EQ(pixelsOf(b, 6), (Pixels{{2, 1}, {2, 2}}));
    EXPECT_TRUE(pixelsOf(b, 8).empty());
    b.FillRect(1, 1, 2, 3, 4);
    EXPECT_EQ(pixelsOf(b, 4), (Pixels{{1, 1}, {1, 2}}));

    b.Clear(0x00102030);
    b.MakeOpaque();
    EXPECT_EQ(pixelsOf(b, 0xFF102030).size(), 9u);
}

TEST(Bitmap32, Lines) {
    TBitmap32 b;
    b.SetSize(8, 8);
    const TColor32 c = 0xFF0000FF;
    auto drawn = [&](int x1, int y1, int x2, int y2, bool l) {
        b.Clear(0);
        b.Line(x1, y1, x2, y2, c, l);
        return pixelsOf(b, c);
    };
    EXPECT_EQ(drawn(0, 5, 0, 2, false), (Pixels{{0, 2}, {0, 3}, {0, 4}}));
    EXPECT_EQ(drawn(0, 5, 0, 2, true), (Pixels{{0, 2}, {0, 3}, {0, 4}}));
    EXPECT_EQ(drawn(0, 2, 0, 5, false), (Pixels{{0, 2}, {0, 3}, {0, 4}}));
    EXPECT_EQ(drawn(0, 2, 0, 5, true), (Pixels{{0, 2}, {0, 3}, {0, 4}, {0, 5}}));
    EXPECT_EQ(drawn(0, 0, 3, 1, false), (Pixels{{0, 0}, {1, 0}, {2, 0}}));
    EXPECT_EQ(drawn(0, 0, 3, 1, true), (Pixels{{0, 0}, {1, 0}, {2, 0}, {3, 1}}));
    EXPECT_EQ(drawn(4, 1, 1, 1, false), (Pixels{{1, 1}, {2, 1}, {3, 1}}));
    EXPECT_EQ(drawn(2, 2, 2, 2, false), Pixels{});
    // Y-major, 45 degrees counts as Y-major: the error starts at 1, one column step per row here.
    EXPECT_EQ(drawn(0, 0, 2, 2, false), (Pixels{{0, 0}, {1, 1}}));
    // The error exceeds the major length only at the last step here: the walk stops at the turn.
    EXPECT_EQ(drawn(0, 0, 1, 3, false), (Pixels{{0, 0}, {0, 1}, {0, 2}}));
    EXPECT_EQ(drawn(3, 3, 0, 2, false), (Pixels{{3, 3}, {2, 3}, {1, 3}}));
    EXPECT_EQ(drawn(0, 0, 2, 5, false), (Pixels{{0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 4}}));
    // Pixels outside are skipped instead of written past the pixel array.
    EXPECT_EQ(drawn(-2, 0, 10, 0, true),
              (Pixels{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}}));
    EXPECT_EQ(drawn(6, 6, 12, 9, true), (Pixels{{6, 6}, {7, 6}}));
}

TEST(Bitmap32, DataStreamRoundTripAndDamage) {
    TBitmap32 b;
    std::string data;
    b.WriteData(data);
    EXPECT_EQ(data.size(), 8u);
    b.SetSize(3, 2);
    for (int i = 0; i < 6; ++i)
        b.Bits()[i] = 0x01020304u * static_cast<TColor32>(i + 1);
    data.clear();
    b.WriteData(data);
    EXPECT_EQ(data.size(), 8u + 24u);
    EXPECT_EQ(data.substr(0, 8), std::string("\x03\0\0\0\x02\0\0\0", 8));
    EXPECT_EQ(data.substr(8, 4), std::string("\x04\x03\x02\x01", 4));

    TBitmap32 copy;
    int changes = 0;
    copy.OnChange = [&] { ++changes; };
    std::string_view in = data;
    copy.ReadData(in);
    EXPECT_TRUE(in.empty());
    EXPECT_EQ(copy.Width(), 3);
    EXPECT_EQ(copy.Height(), 2);
    EXPECT_TRUE(std::equal(copy.Bits(), copy.Bits() + 6, b.Bits()));
    EXPECT_TRUE(copy.Equals(b));
    EXPECT_FALSE(copy.DataNeeded(&b));
    EXPECT_TRUE(copy.DataNeeded(nullptr));
    EXPECT_GE(changes, 1);

    // A cut stream and a stream claiming a huge size leave the bitmap as it was.
    std::string_view cut = std::string_view(data).substr(0, 20);
    EXPECT_THROW(copy.ReadData(cut), EBitmapError);
    EXPECT_EQ(cut.size(), 20u);
    EXPECT_EQ(copy.Width(), 3);
    const std::string huge("\xFF\xFF\x00\x00\xFF\xFF\x00\x00", 8);
    std::string_view hugeIn = huge;
    EXPECT_THROW(copy.ReadData(hugeIn), EBitmapError);
    EXPECT_EQ(copy.Width(), 3);
    std::string_view tiny = std::string_view(data).substr(0, 3);
    EXPECT_THROW(copy.ReadData(tiny), EBitmapError);
}

TEST(Bitmap32, AssignCopiesPixelsAndSettingsButNotEvents) {
    TBitmap32 a;
    a.SetSize(2, 2);
    a.Clear(0x80112233);
    a.SetDrawMode(TDrawMode::dmBlend);
    a.SetMasterAlpha(100);
    a.OuterColor = 5;
    a.SetStretchFilter(TStretchFilter::sfLinear);
    TBitmap32 b;
    int changes = 0;
    int resizes = 0;
    b.OnChange = [&] { ++changes; };
    b.OnResize = [&] { ++resizes; };
    b.Assign(&a);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(resizes, 1);
    EXPECT_EQ(pixelsOf(b, 0x80112233).size(), 4u);
    EXPECT_EQ(b.DrawMode(), TDrawMode::dmBlend);
    EXPECT_EQ(b.MasterAlpha(), 100u);
    EXPECT_EQ(b.OuterColor, 5u);
    EXPECT_EQ(b.StretchFilter(), TStretchFilter::sfLinear);
    b.Assign(static_cast<const TBitmap32*>(nullptr));
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(changes, 2);
}

TEST(Bitmap32, AssignFromToolkitBitmapsKeepsOrMakesAlpha) {
    platform::gdi::Bitmap tk;
    tk.setSize(2, 1);
    tk.bits()[0] = 0x10203040;
    tk.bits()[1] = 0x00FFFFFF;
    TBitmap32 b;
    tk.setPixelFormat(platform::gdi::PixelFormat::Bits24);
    b.Assign(&tk);
    EXPECT_EQ(b.Pixel(0, 0), 0xFF203040u);
    EXPECT_EQ(b.Pixel(1, 0), 0xFFFFFFFFu);
    tk.setPixelFormat(platform::gdi::PixelFormat::Bits32);
    b.Assign(&tk);
    EXPECT_EQ(b.Pixel(0, 0), 0x10203040u);
    EXPECT_EQ(b.Pixel(1, 0), 0x00FFFFFFu);

    platform::gdi::Bitmap out;
    b.AssignTo(out);
    EXPECT_EQ(out.pixelFormat(), platform::gdi::PixelFormat::Bits32);
    EXPECT_EQ(out.width(), 2);
    EXPECT_EQ(out.bits()[0], 0x10203040u);
}

TEST(Bitmap32, SaveAndLoadBmpAndJpeg) {
    kes::test::TempDir dir;
    TBitmap32 b;
    b.SetSize(5, 3);
    for (int i = 0; i < 15; ++i)
        b.Bits()[i] = 0x7F000000u | static_cast<TColor32>(i * 0x010203);
    const std::string path = dir.file("x.bmp");
    b.SaveToFile(path);
    const std::string bytes = kes::test::readBytes(path);
    EXPECT_EQ(bytes.size(), 14u + 40u + 15u * 4u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[28]), 32); // bits per pixel

    TBitmap32 loaded;
    loaded.LoadFromFile(dir.file("X.BMP")); // any case of the name
    ASSERT_EQ(loaded.Width(), 5);
    ASSERT_EQ(loaded.Height(), 3);
    EXPECT_TRUE(std::equal(loaded.Bits(), loaded.Bits() + 15, b.Bits())); // 32-bit file keeps alpha

    QImage jpeg(4, 4, QImage::Format_RGB32);
    jpeg.fill(QColor(255, 0, 0));
    ASSERT_TRUE(jpeg.save(QString::fromStdString(dir.file("p.jpg")), "JPG", 100));
    loaded.LoadFromFile(dir.file("p.jpg"));
    ASSERT_EQ(loaded.Width(), 4);
    const TColor32 p = loaded.Pixel(1, 1);
    EXPECT_EQ(p >> 24, 0xFFu);
    EXPECT_GT((p >> 16) & 0xFF, 0xF0u);
    EXPECT_LT(p & 0xFF, 0x10u);
}

TEST(Bitmap32, LoadFailuresKeepTheBitmap) {
    kes::test::TempDir dir;
    TBitmap32 b;
    b.SetSize(2, 2);
    b.Clear(0xFF010203);
    kes::test::writeBytes(dir.path() / "bad.bmp", "BM\x10\0\0\0garbage");
    kes::test::writeBytes(dir.path() / "bad.jpg", "\xFF\xD8\xFF\xE0 not really");
    kes::test::writeBytes(dir.path() / "pic.xyz", "x");
    auto message = [&](const std::string& name) {
        try {
            b.LoadFromFile(dir.file(name));
        } catch (const platform::gdi::GraphicError& e) {
            return std::string(e.what());
        }
        return std::string("no exception");
    };
    EXPECT_EQ(message("bad.bmp"), "Bitmap image is not valid");
    EXPECT_EQ(message("bad.jpg"), "Image file is not valid");
    EXPECT_EQ(message("pic.xyz"), "Unknown picture file extension (.xyz)");
    EXPECT_EQ(message("missing.bmp"), "Cannot open file \"" + dir.file("missing.bmp") + "\"");
    EXPECT_EQ(b.Width(), 2);
    EXPECT_EQ(pixelsOf(b, 0xFF010203).size(), 4u);
}

TEST(Bitmap32, TextDrawsInTheFontColourAndKeepsAlpha) {
    TBitmap32 b;
    b.SetSize(120, 40);
    b.Clear(0x00FFFFFF);
    b.Font().name = "DejaVu Sans";
    b.Font().size = 15;
    b.Font().color = 0x000000FF; // red, as 0x00BBGGRR
    const TSize size = b.TextSize("Hello");
    EXPECT_GT(size.cx, 20);
    EXPECT_GT(size.cy, 10);
    EXPECT_EQ(b.TextWidth("Hello"), size.cx);
    EXPECT_EQ(b.TextWidth(""), 0);
    int changes = 0;
    b.OnChange = [&] { ++changes; };
    b.Textout(2, 3, "Hello");
    EXPECT_EQ(changes, 1);
    int red = 0;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            const TColor32 p = b.Pixel(x, y);
            EXPECT_EQ(p >> 24, 0u) << x << "," << y;
            if ((p & 0xFFFFFF) == 0xFF0000)
                ++red;
            if ((p & 0xFFFFFF) != 0xFFFFFF) {
                EXPECT_GE(x, 2);
                EXPECT_GE(y, 3);
                EXPECT_LT(x, 2 + size.cx + 2);
                EXPECT_LT(y, 3 + size.cy);
            }
        }
    EXPECT_GT(red, 10);
    // A bigger font measures wider, at the next call.
    b.Font().size = 30;
    EXPECT_GT(b.TextWidth("Hello"), size.cx);
}

TEST(Bitmap32, ToColor32ResolvesSystemColours) {
    EXPECT_EQ(ToColor32(0x000000FF), 0xFFFF0000u);
    EXPECT_EQ(ToColor32(0x00FFFFFF), 0xFFFFFFFFu);
    EXPECT_EQ(ToColor32(0x80000005) >> 24, 0xFFu);
}

} // namespace
} // namespace g32
