// The image control: its properties, placement and scaling, paint stages and mouse events.

#include "g32/g32_image.h"

#include "g32/g32_lowlevel.h"
#include "g32/paint_box_widget.h"
#include "platform/ui/application.h"

#include <QWidget>

#include <algorithm>

namespace g32 {

namespace {

constexpr std::int32_t FixedOne = 65536;
constexpr std::uint32_t AllLayers = 0x80000000;
constexpr const char* UnpairedText = "Unpaired EndUpdate call";

int roundedScale(int size, float scale) {
    return RoundHalfEven(static_cast<double>(size) * scale);
}

} // namespace

using detail::boxWidget;

// --- TCustomImage32 ---

TCustomImage32::TCustomImage32(platform::ui::Container& Parent) : TCustomPaintBox32(Parent) {
    FBitmap.OnChange = [this] { Changed(); };
    FBitmap.OnResize = [this] { BitmapSizeChanged(); };
    FLayers.OnChange = [this] { Changed(); };
    FLayers.OnGDIUpdate = [this] {
        if (widget())
            widget()->update();
    };
    if (widget())
        widget()->setMouseTracking(true);
    AddDefaultStages();
}

TCustomImage32::~TCustomImage32() {
    FDestroying = true;
    BeginUpdate();
    if (widget())
        boxWidget(*this)->attach(nullptr);
    FBitmap.OnChange = nullptr;
    FBitmap.OnResize = nullptr;
    FLayers.OnChange = nullptr;
    FLayers.OnGDIUpdate = nullptr;
}

void TCustomImage32::AddDefaultStages() {
    const struct {
        bool design;
        bool run;
        std::uint32_t code;
        std::uint32_t parameter;
    } defaults[] = {{true, true, PST_CLEAR_BACKGND, 0},
                    {true, false, PST_CONTROL_FRAME, 0},
                    {true, true, PST_DRAW_BITMAP, 0},
                    {true, false, PST_BITMAP_FRAME, 0},
                    {true, true, PST_DRAW_LAYERS, AllLayers}};
    for (const auto& d : defaults) {
        TPaintStage& s = FPaintStages.Add();
        s.DsgnTime = d.design;
        s.RunTime = d.run;
        s.Stage = d.code;
        s.Parameter = d.parameter;
    }
}

void TCustomImage32::SetBitmap(const TBitmap32* Value) {
    ForgetCache();
    FBitmap.Assign(Value);
}

void TCustomImage32::SetBitmapAlign(TBitmapAlign Value) {
    ForgetCache();
    FBitmapAlign = Value;
    Changed();
}

void TCustomImage32::SetScale(float Value) {
    constexpr float MinScale = 0.001f;
    if (Value < MinScale)
        Value = MinScale;
    if (Value != FScale) {
        ForgetCache();
        FScale = Value;
        ScaleChanged();
        Changed();
    }
}

void TCustomImage32::SetScaleMode(TScaleMode Value) {
    if (Value != FScaleMode) {
        ForgetCache();
        FScaleMode = Value;
        Changed();
    }
}

void TCustomImage32::SetOffsets(float Horz, float Vert) {
    ForgetCache();
    FOffsetHorz = Horz;
    FOffsetVert = Vert;
    Changed();
}

void TCustomImage32::SetAutoSize(bool Value) {
    FAutoSize = Value;
    int w = width();
    int h = height();
    if (FAutoSize && CanAutoSize(w, h))
        setBounds(left(), top(), w, h);
}

void TCustomImage32::SetAlignment(platform::ui::Align Value) {
    FAlign = Value;
    setAlign(Value);
}

void TCustomImage32::SetColor(platform::ui::Color Value) {
    FColor = Value;
    Changed();
}

void TCustomImage32::BeginUpdate() {
    ++FUpdateCount;
}

void TCustomImage32::EndUpdate() {
    if (FUpdateCount - 1 < 0)
        throw EAssertionFailed(UnpairedText);
    --FUpdateCount;
}

void TCustomImage32::Changed() {
    if (FUpdateCount != 0)
        return;
    Invalidate();
    if (OnChange)
        platform::ui::runHandler(OnChange);
}

void TCustomImage32::Invalidate() {
    ForgetCache();
    TCustomPaintBox32::Invalidate();
}

void TCustomImage32::Resized() {
    ForgetCache();
    TCustomPaintBox32::Resized();
}

void TCustomImage32::SetupBitmap(bool DoClear, TColor32 ClearColor) {
    FBitmap.BeginUpdate();
    try {
        FBitmap.SetSize(width(), height());
        if (DoClear)
            FBitmap.Clear(ClearColor);
    } catch (...) {
        FBitmap.EndUpdate();
        throw;
    }
    FBitmap.EndUpdate();
    ForgetCache();
    Changed();
}

void TCustomImage32::BitmapSizeChanged() {
    if (FDestroying)
        return;
    if (FAutoSize) {
        int w = FBitmap.Width();
        int h = FBitmap.Height();
        if (FScaleMode == TScaleMode::smScale) {
            w = roundedScale(w, FScale);
            h = roundedScale(h, FScale);
        }
        if (w >= 1 && h >= 1)
            setBounds(left(), top(), w, h);
    }
    // As the control has always done: the event fires only inside an open update.
    if (FUpdateCount != 0 && OnBitmapResize)
        platform::ui::runHandler(OnBitmapResize);
    ForgetCache();
    Invalidate();
}

bool TCustomImage32::CanAutoSize(int& NewWidth, int& NewHeight) {
    ForgetCache();
    int w = FBitmap.Width();
    int h = FBitmap.Height();
    if (FScaleMode == TScaleMode::smScale) {
        w = roundedScale(w, FScale);
        h = roundedScale(h, FScale);
    }
    switch (FAlign) {
    case platform::ui::Align::None:
        NewWidth = w;
        NewHeight = h;
        break;
    case platform::ui::Align::Top:
    case platform::ui::Align::Bottom:
        NewHeight = h;
        break;
    case platform::ui::Align::Left:
    case platform::ui::Align::Right:
        NewWidth = w;
        break;
    case platform::ui::Align::Client:
        break;
    }
    return true;
}

void TCustomImage32::Loaded() {
    if (OnInitStages)
        platform::ui::runHandler(OnInitStages);
}

TSize TCustomImage32::BitmapShownSize() const {
    const int cw = width();
    const int ch = height();
    if (FBitmap.Empty() || cw == 0 || ch == 0)
        return {0, 0};
    const int bw = FBitmap.Width();
    const int bh = FBitmap.Height();
    switch (FScaleMode) {
    case TScaleMode::smNormal:
        return {bw, bh};
    case TScaleMode::smStretch:
        return {cw, ch};
    case TScaleMode::smScale:
        return {roundedScale(bw, FScale), roundedScale(bh, FScale)};
    case TScaleMode::smResize: {
        const double sx = static_cast<double>(cw) / bw;
        const double sy = static_cast<double>(ch) / bh;
        if (sx < sy)
            return {cw, RoundHalfEven(bh * sx)};
        return {RoundHalfEven(bw * sy), ch};
    }
    }
    return {0, 0};
}

TRect TCustomImage32::BitmapPlacement() const {
    if (FBitmap.Empty())
        return {};
    const TSize size = BitmapShownSize();
    TRect r = MakeRect(0, 0, size.cx, size.cy);
    switch (FBitmapAlign) {
    case TBitmapAlign::baCenter:
        OffsetRect(r, (width() - size.cx) / 2, (height() - size.cy) / 2);
        break;
    case TBitmapAlign::baCustom:
        OffsetRect(r, RoundHalfEven(FOffsetHorz), RoundHalfEven(FOffsetVert));
        break;
    case TBitmapAlign::baTopLeft:
    case TBitmapAlign::baTile:
        break;
    }
    return r;
}

void TCustomImage32::UpdateCache() {
    if (FCacheValid)
        return;
    FCachedBitmapRect = BitmapPlacement();
    if (!IsRectEmpty(FCachedBitmapRect) && !FBitmap.Empty()) {
        const int rw = FCachedBitmapRect.Right - FCachedBitmapRect.Left;
        const int rh = FCachedBitmapRect.Bottom - FCachedBitmapRect.Top;
        ShiftX = FCachedBitmapRect.Left;
        ShiftY = FCachedBitmapRect.Top;
        ScaleX = SafeMulDiv(rw, FixedOne, FBitmap.Width());
        ScaleY = SafeMulDiv(rh, FixedOne, FBitmap.Height());
        RevScaleX = SafeMulDiv(FBitmap.Width(), FixedOne, rw);
        RevScaleY = SafeMulDiv(FBitmap.Height(), FixedOne, rh);
    } else {
        ShiftX = ShiftY = 0;
        ScaleX = ScaleY = RevScaleX = RevScaleY = FixedOne;
    }
    FCacheValid = true;
}

TRect TCustomImage32::GetBitmapRect() {
    UpdateCache();
    return FCachedBitmapRect;
}

void TCustomImage32::ComposeBuffer() {
    UpdateCache();
    TBitmap32& buffer = Buffer();
    for (int i = 0; i < FPaintStages.Count(); ++i) {
        const TPaintStage stage = FPaintStages[i];
        if (!stage.RunTime)
            continue;
        switch (stage.Stage) {
        case PST_CUSTOM:
            if (OnPaintStage)
                platform::ui::runHandler([&] { OnPaintStage(buffer, static_cast<std::uint32_t>(i)); });
            break;
        case PST_CLEAR_BUFFER:
            StageClearBuffer(buffer);
            break;
        case PST_CLEAR_BACKGND:
            StageClearMargins(buffer);
            break;
        case PST_DRAW_BITMAP:
            StageDrawBitmap(buffer);
            break;
        case PST_DRAW_LAYERS:
            StageDrawLayers(buffer, stage.Parameter);
            break;
        case PST_CONTROL_FRAME:
            StageFrame(buffer, MakeRect(0, 0, width(), height()));
            break;
        case PST_BITMAP_FRAME:
            StageFrame(buffer, FCachedBitmapRect);
            break;
        default:
            break;
        }
    }
    FBufferValid = true;
}

void TCustomImage32::StageClearBuffer(TBitmap32& Dest) {
    Dest.Clear(ToColor32(FColor));
}

void TCustomImage32::StageClearMargins(TBitmap32& Dest) {
    const TColor32 c = ToColor32(FColor);
    if (FBitmap.Empty() || FBitmap.DrawMode() != TDrawMode::dmOpaque) {
        Dest.Clear(c);
        return;
    }
    const TRect r = FCachedBitmapRect;
    const int w = width();
    const int h = height();
    if (r.Left <= 0 && r.Right >= w && r.Top <= 0 && (r.Bottom >= h || FBitmapAlign == TBitmapAlign::baTile))
        return;
    Dest.FillRectClipped(0, 0, w, r.Top, c);
    Dest.FillRectClipped(0, r.Bottom, w, h, c);
    Dest.FillRectClipped(0, r.Top, r.Left, r.Bottom, c);
    Dest.FillRectClipped(r.Right, r.Top, w, r.Bottom, c);
}

void TCustomImage32::StageDrawBitmap(TBitmap32& Dest) {
    const TRect r = FCachedBitmapRect;
    if (FBitmap.Empty() || IsRectEmpty(r))
        return;
    FBitmap.Lock();
    try {
        if (FBitmapAlign == TBitmapAlign::baTile && r.Right > 0 && r.Bottom > 0) {
            for (int i = 0; i <= Dest.Width() / r.Right; ++i)
                for (int j = 0; j <= Dest.Height() / r.Bottom; ++j) {
                    TRect tile = r;
                    OffsetRect(tile, i * r.Right, j * r.Bottom);
                    FBitmap.DrawInto(&Dest, tile);
                }
        } else {
            FBitmap.DrawInto(&Dest, r);
        }
    } catch (...) {
        FBitmap.Unlock();
        throw;
    }
    FBitmap.Unlock();
}

void TCustomImage32::StageDrawLayers(TBitmap32& Dest, std::uint32_t Parameter) {
    for (int i = 0; i < FLayers.Count(); ++i)
        if ((FLayers.Items(i)->LayerOptions & Parameter) != 0)
            FLayers.Items(i)->Paint(Dest);
}

void TCustomImage32::StageFrame(TBitmap32& Dest, const TRect& R) {
    // A dotted frame that inverts every second pixel, as a focus rectangle does.
    auto invert = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < Dest.Width() && y < Dest.Height() && ((x + y) & 1) == 0)
            Dest.SetPixel(x, y, Dest.Pixel(x, y) ^ 0x00FFFFFF);
    };
    for (int x = R.Left; x < R.Right; ++x) {
        invert(x, R.Top);
        invert(x, R.Bottom - 1);
    }
    for (int y = R.Top + 1; y < R.Bottom - 1; ++y) {
        invert(R.Left, y);
        invert(R.Right - 1, y);
    }
}

void TCustomImage32::PaintOverlay(QPainter& Canvas) {
    TCustomPaintBox32::PaintOverlay(Canvas);
}

void TCustomImage32::MouseDown(platform::ui::MouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomLayer* layer = FLayers.MouseEvents ? FLayers.MouseDown(X, Y) : nullptr;
    if (OnMouseDown)
        platform::ui::runHandler([&] { OnMouseDown(Button, Shift, X, Y, layer); });
}

void TCustomImage32::MouseMove(TShiftState Shift, int X, int Y) {
    TCustomLayer* layer = FLayers.MouseEvents ? FLayers.MouseMove(X, Y) : nullptr;
    if (OnMouseMove)
        platform::ui::runHandler([&] { OnMouseMove(Shift, X, Y, layer); });
}

void TCustomImage32::MouseUp(platform::ui::MouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomLayer* layer = FLayers.MouseEvents ? FLayers.MouseUp(X, Y) : nullptr;
    if (OnMouseUp)
        platform::ui::runHandler([&] { OnMouseUp(Button, Shift, X, Y, layer); });
}

void TCustomImage32::MouseEnter() {
    if (OnMouseEnter)
        platform::ui::runHandler(OnMouseEnter);
}

void TCustomImage32::MouseLeave() {
    if (OnMouseLeave)
        platform::ui::runHandler(OnMouseLeave);
}

} // namespace g32
