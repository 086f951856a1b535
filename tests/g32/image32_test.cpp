#include "g32/g32_image.h"
#include "platform/ui/form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>

namespace g32 {
namespace {

namespace ui = platform::ui;

// What the control shows on screen, as 0x00RRGGBB per pixel.
QImage screenOf(TImage32& image) {
    return image.widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TColor32 rgbAt(const QImage& img, int x, int y) {
    return img.pixel(x, y) & 0x00FFFFFF;
}

class Image32Test : public ::testing::Test {
protected:
    ui::Form form;
};

TEST_F(Image32Test, NewControlPaintsItsColourAndRunsTheDefaultStages) {
    TImage32 image(form);
    EXPECT_EQ(image.width(), 192);
    EXPECT_EQ(image.height(), 192);
    EXPECT_TRUE(image.Bitmap().Empty());
    ASSERT_EQ(image.PaintStages().Count(), 5);
    const std::uint32_t codes[] = {3, 6, 4, 7, 5};
    const bool run[] = {true, false, true, false, true};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(image.PaintStages()[i].Stage, codes[i]);
        EXPECT_EQ(image.PaintStages()[i].RunTime, run[i]);
        EXPECT_TRUE(image.PaintStages()[i].DsgnTime);
    }
    EXPECT_EQ(image.PaintStages()[4].Parameter, 0x80000000u);

    const QImage shown = screenOf(image);
    const TColor32 face = ToColor32(image.Color()) & 0x00FFFFFF;
    EXPECT_EQ(rgbAt(shown, 0, 0), face);
    EXPECT_EQ(rgbAt(shown, 191, 191), face);
    image.SetColor(0x00FF0000); // blue, 0x00BBGGRR
    EXPECT_EQ(rgbAt(screenOf(image), 10, 10), 0x0000FFu);
}

TEST_F(Image32Test, ScaleFloorAndShownSizes) {
    TImage32 image(form);
    image.SetScale(0);
    EXPECT_FLOAT_EQ(image.Scale(), 0.001f);
    image.setBounds(0, 0, 100, 100);
    image.Bitmap().SetSize(200, 100);
    image.SetScaleMode(TScaleMode::smResize);
    EXPECT_EQ(image.BitmapShownSize(), (TSize{100, 50}));
    image.SetBitmapAlign(TBitmapAlign::baCenter);
    EXPECT_EQ(image.BitmapPlacement(), MakeRect(0, 25, 100, 75));
    image.SetScaleMode(TScaleMode::smStretch);
    EXPECT_EQ(image.BitmapShownSize(), (TSize{100, 100}));
    image.SetScaleMode(TScaleMode::smScale);
    image.SetScale(0.25f);
    EXPECT_EQ(image.BitmapShownSize(), (TSize{50, 25}));
    EXPECT_EQ(image.BitmapPlacement(), MakeRect(25, 37, 75, 62));
    image.SetScaleMode(TScaleMode::smNormal);
    image.SetBitmapAlign(TBitmapAlign::baCustom);
    image.SetOffsets(2.5f, -3.6f);
    EXPECT_EQ(image.BitmapPlacement(), MakeRect(2, -4, 202, 96));
    image.Bitmap().Delete();
    EXPECT_EQ(image.BitmapPlacement(), TRect{});
}

TEST_F(Image32Test, BufferKeepsItsOversize) {
    TImage32 image(form);
    image.ResizeBuffer();
    EXPECT_EQ(image.Buffer().Width(), 232);
    image.setBounds(0, 0, 200, 192);
    image.ResizeBuffer();
    EXPECT_EQ(image.Buffer().Width(), 232);
    image.setBounds(0, 0, 150, 192);
    image.ResizeBuffer();
    EXPECT_EQ(image.Buffer().Width(), 150);
    EXPECT_EQ(image.Buffer().Height(), 232);
    image.BufferOversize = -1;
    image.setBounds(0, 0, 151, 100);
    image.ResizeBuffer();
    EXPECT_EQ(image.Buffer().Width(), 151);
    EXPECT_EQ(image.Buffer().Height(), 100);
}

TEST_F(Image32Test, SetupBitmapFillsAndChangesOnce) {
    TImage32 image(form);
    image.setBounds(0, 0, 456, 390);
    int changes = 0;
    int resizes = 0;
    image.OnChange = [&] { ++changes; };
    image.OnBitmapResize = [&] { ++resizes; };
    image.SetupBitmap(true, 0x00FFFFFF);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(resizes, 0); // no update open: no resize event
    ASSERT_EQ(image.Bitmap().Width(), 456);
    ASSERT_EQ(image.Bitmap().Height(), 390);
    EXPECT_EQ(image.Bitmap().Pixel(455, 389), 0x00FFFFFFu);
    image.BeginUpdate();
    image.Bitmap().SetSize(10, 10);
    image.EndUpdate();
    EXPECT_EQ(resizes, 1);
    EXPECT_EQ(changes, 1);
    try {
        image.EndUpdate();
        FAIL() << "no exception";
    } catch (const EAssertionFailed& e) {
        EXPECT_STREQ(e.what(), "Unpaired EndUpdate call");
    }
    // Drawing into the bitmap repaints and notifies.
    image.Bitmap().Clear(0xFF00FF00);
    EXPECT_EQ(changes, 2);
}

TEST_F(Image32Test, PaintsTheBitmapPlacedAndScaled) {
    TImage32 image(form);
    image.setBounds(0, 0, 8, 6);
    image.SetColor(0x00000000);
    image.Bitmap().SetSize(2, 2);
    image.Bitmap().SetPixel(0, 0, 0xFFFF0000);
    image.Bitmap().SetPixel(1, 0, 0xFF00FF00);
    image.Bitmap().SetPixel(0, 1, 0xFF0000FF);
    image.Bitmap().SetPixel(1, 1, 0x00FFFFFF); // alpha plays no part on screen
    image.Bitmap().Changed();
    QImage shown = screenOf(image);
    EXPECT_EQ(rgbAt(shown, 0, 0), 0xFF0000u);
    EXPECT_EQ(rgbAt(shown, 1, 1), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(shown, 2, 0), 0u); // margin
    EXPECT_EQ(rgbAt(shown, 0, 5), 0u);

    image.SetScaleMode(TScaleMode::smStretch);
    shown = screenOf(image);
    EXPECT_EQ(rgbAt(shown, 3, 2), 0xFF0000u);
    EXPECT_EQ(rgbAt(shown, 4, 2), 0x00FF00u);
    // Rows step by (2 * 65536) div 6 = 21845: row 3 is still at 65535, source row 0.
    EXPECT_EQ(rgbAt(shown, 3, 3), 0xFF0000u);
    EXPECT_EQ(rgbAt(shown, 3, 4), 0x0000FFu);
    EXPECT_EQ(rgbAt(shown, 7, 5), 0xFFFFFFu);

    image.SetScaleMode(TScaleMode::smNormal);
    image.SetBitmapAlign(TBitmapAlign::baTile);
    shown = screenOf(image);
    EXPECT_EQ(rgbAt(shown, 6, 4), 0xFF0000u);
    EXPECT_EQ(rgbAt(shown, 7, 5), 0xFFFFFFu);

    // A bitmap that is not opaque-drawn has its background cleared whole before it is drawn.
    image.SetBitmapAlign(TBitmapAlign::baCenter);
    image.Bitmap().SetDrawMode(TDrawMode::dmBlend);
    shown = screenOf(image);
    EXPECT_EQ(rgbAt(shown, 0, 0), 0u);
    EXPECT_EQ(rgbAt(shown, 3, 2), 0xFF0000u);
    EXPECT_EQ(rgbAt(shown, 4, 3), 0u); // alpha 0 over black
}

TEST_F(Image32Test, CustomStageAndMouseEvents) {
    TImage32 image(form);
    image.setBounds(0, 0, 20, 20);
    TPaintStage& stage = image.PaintStages().Add();
    stage.Stage = PST_CUSTOM;
    std::uint32_t seenStage = 99;
    image.OnPaintStage = [&](TBitmap32& buffer, std::uint32_t n) {
        seenStage = n;
        buffer.FillRect(0, 0, 1, 1, 0xFFABCDEF);
    };
    const QImage shown = screenOf(image);
    EXPECT_EQ(seenStage, 5u);
    EXPECT_EQ(rgbAt(shown, 0, 0), 0xABCDEFu);

    int downs = 0;
    image.OnMouseDown = [&](ui::MouseButton b, TShiftState s, int x, int y, TCustomLayer* layer) {
        ++downs;
        EXPECT_EQ(b, ui::MouseButton::Right);
        EXPECT_TRUE(s & ssShift);
        EXPECT_EQ(x, 5);
        EXPECT_EQ(y, 7);
        EXPECT_EQ(layer, nullptr);
    };
    int moves = 0;
    image.OnMouseMove = [&](TShiftState, int x, int y, TCustomLayer*) {
        ++moves;
        EXPECT_EQ(x, 9);
        EXPECT_EQ(y, 3);
    };
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 7), QPointF(5, 7), Qt::RightButton,
                      Qt::RightButton, Qt::ShiftModifier);
    QApplication::sendEvent(image.widget(), &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(9, 3), QPointF(9, 3), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(image.widget(), &move);
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(moves, 1);
}

TEST(LayerCollection, UpdateBracketAndEmptyHitTests) {
    TLayerCollection layers;
    int before = 0;
    int after = 0;
    layers.OnChanging = [&] { ++before; };
    layers.OnChange = [&] { ++after; };
    layers.BeginUpdate();
    layers.BeginUpdate();
    layers.EndUpdate();
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 0);
    layers.EndUpdate();
    EXPECT_EQ(after, 1);
    EXPECT_THROW(layers.EndUpdate(), EAssertionFailed);
    EXPECT_EQ(layers.LayerAt(1, 1), nullptr);
    EXPECT_EQ(layers.MouseDown(1, 1), nullptr);
    layers.Clear();
    EXPECT_EQ(after, 2);
}

} // namespace
} // namespace g32
