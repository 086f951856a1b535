#include "g32/g32_bitmap32.h"

#include "g32/g32_lowlevel.h"
#include "g32/g32_transforms.h"
#include "platform/gdi/colors.h"

#include <algorithm>
#include <cstdlib>

namespace g32 {

namespace {
constexpr std::uint16_t TrueColorBits = 32;
} // namespace

TColor32 ToColor32(std::uint32_t WinColor) {
    return WinColorToColor32(platform::gdi::resolveColor(WinColor));
}

TBitmap32::TBitmap32() {
    FBitmapInfo = platform::gdi::BitmapInfo{};
    FBitmapInfo.header.size = platform::gdi::BitmapInfoHeaderSize;
    FBitmapInfo.header.planes = 1;
    FBitmapInfo.header.bitCount = TrueColorBits;
    FBitmapInfo.header.compression = platform::gdi::BiRgb;
}

TBitmap32::~TBitmap32() {
    BeginUpdate();
    Lock();
    // No handler may run for a bitmap being destroyed.
    OnChange = nullptr;
    OnResize = nullptr;
    SetSize(0, 0);
    Unlock();
}

bool TBitmap32::SetSize(int NewWidth, int NewHeight) {
    // A size below 1 in either direction means empty: 0 x 0, as the invariant of the bitmap wants.
    if (NewWidth < 1 || NewHeight < 1) {
        NewWidth = 0;
        NewHeight = 0;
    }
    if (NewWidth == Width() && NewHeight == Height())
        return false;

    if (FHDC)
        FHDC->selectBitmap(nullptr);
    FHDC.reset();
    FHandle.reset();
    FBits = nullptr;
    StoreSize(0, 0);

    if (NewWidth > 0 && NewHeight > 0) {
        FBitmapInfo.header.width = NewWidth;
        FBitmapInfo.header.height = -NewHeight;
        std::unique_ptr<platform::gdi::DibSection> section = platform::gdi::DibSection::create(FBitmapInfo);
        if (!section || !section->bits())
            throw EBitmapError(CantAllocateDibText);
        std::unique_ptr<platform::gdi::DeviceContext> dc = platform::gdi::DeviceContext::createCompatible();
        if (!dc)
            throw EBitmapError(CantCreateDcText);
        if (!dc->selectBitmap(section.get()))
            throw EBitmapError(CantSelectText);
        FBits = section->bits();
        FHandle = std::move(section);
        FHDC = std::move(dc);
        StoreSize(NewWidth, NewHeight);
    }
    Changed();
    SizeChanged();
    return true;
}

void TBitmap32::SetDrawMode(TDrawMode Value) {
    if (Value != FDrawMode) {
        FDrawMode = Value;
        Changed();
    }
}

void TBitmap32::SetMasterAlpha(TColor32 Value) {
    if (Value != FMasterAlpha) {
        FMasterAlpha = Value;
        Changed();
    }
}

void TBitmap32::SetStretchFilter(TStretchFilter Value) {
    if (Value != FStretchFilter) {
        FStretchFilter = Value;
        Changed();
    }
}

void TBitmap32::Clear(TColor32 Color) {
    if (Empty())
        return;
    Fill32(FBits, Width() * Height(), Color);
    Changed();
}

TColor32 TBitmap32::PixelChecked(int X, int Y) const {
    if (X < 0 || Y < 0 || X >= Width() || Y >= Height())
        return OuterColor;
    return Pixel(X, Y);
}

void TBitmap32::FillRow(int X1, int Y, int X2, TColor32 Value) {
    if (Y < 0 || Y >= Height())
        return;
    X1 = std::max(X1, 0);
    X2 = std::min(X2, Width() - 1);
    if (X2 >= X1)
        Fill32(PixelAddr(X1, Y), X2 - X1 + 1, Value);
}

void TBitmap32::FillColumn(int X, int Y1, int Y2, TColor32 Value) {
    if (X < 0 || X >= Width())
        return;
    Y1 = std::max(Y1, 0);
    Y2 = std::min(Y2, Height() - 1);
    for (int y = Y1; y <= Y2; ++y)
        SetPixel(X, y, Value);
}

void TBitmap32::FillRect(int X1, int Y1, int X2, int Y2, TColor32 Value) {
    for (int y = std::max(Y1, 0); y < std::min(Y2, Height()); ++y)
        FillRow(X1, y, X2 - 1, Value);
    Changed();
}

void TBitmap32::FillRectClipped(int X1, int Y1, int X2, int Y2, TColor32 Value) {
    if (X1 < X2 && Y1 < Y2 && X1 < Width() && Y1 < Height() && X2 >= 1 && Y2 >= 1)
        FillRect(std::max(X1, 0), std::max(Y1, 0), std::min(X2, Width()), std::min(Y2, Height()), Value);
}

void TBitmap32::MakeOpaque() {
    const std::size_t count = static_cast<std::size_t>(Width()) * Height();
    for (std::size_t i = 0; i < count; ++i)
        FBits[i] |= AlphaMask32;
    Changed();
}

void TBitmap32::Line(int X1, int Y1, int X2, int Y2, TColor32 Value, bool L) {
    auto plot = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < Width() && y < Height())
            SetPixel(x, y, Value);
    };
    const int dxSigned = X2 - X1;
    const int dySigned = Y2 - Y1;
    const int sx = dxSigned > 0 ? 1 : -1;
    const int sy = dySigned > 0 ? 1 : -1;
    const int dx = std::abs(dxSigned);
    const int dy = std::abs(dySigned);

    if (dx == 0) {
        if (dySigned > 0)
            FillColumn(X1, Y1, Y2 - 1, Value);
        else if (dySigned < 0)
            FillColumn(X1, Y2, Y1 - 1, Value);
    } else if (dy == 0) {
        FillRow(std::min(X1, X2), Y1, std::max(X1, X2) - 1, Value);
    } else if (dy >= dx) {
        // Y-major (a 45-degree line counts here): one row per step.
        int e = dy / 2;
        int x = X1;
        int y = Y1;
        for (int i = 0; i < dy; ++i) {
            plot(x, y);
            y += sy;
            e += dx;
            if (e > dy) {
                x += sx;
                e -= dy;
            }
        }
    } else {
        int e = dx / 2;
        int x = X1;
        int y = Y1;
        for (int i = 0; i < dx; ++i) {
            plot(x, y);
            x += sx;
            e += dy;
            if (e > dx) {
                y += sy;
                e -= dx;
            }
        }
    }
    if (L)
        plot(X2, Y2);
    Changed();
}

void TBitmap32::MoveTo(int X, int Y) {
    FPenPosX = X;
    FPenPosY = Y;
}

void TBitmap32::Draw(const TRect& DstRect, const TRect& SrcRect, TBitmap32* Src) {
    if (Src)
        Src->DrawInto(this, DstRect, SrcRect);
}

void TBitmap32::DrawInto(TBitmap32* Dst, const TRect& DstRect, const TRect& SrcRect) {
    if (!Dst || Empty() || Dst->Empty())
        return;
    StretchBlock(Dst, DstRect, this, SrcRect, FStretchFilter, FDrawMode, OnPixelCombine);
    Dst->Changed();
}

void TBitmap32::DrawInto(TBitmap32* Dst, const TRect& DstRect) {
    DrawInto(Dst, DstRect, MakeRect(0, 0, Width(), Height()));
}

void TBitmap32::DrawInto(platform::gdi::DeviceContext& DC, int X, int Y) const {
    if (!Empty())
        platform::gdi::bitBlt(DC, X, Y, Width(), Height(), *FHDC, 0, 0);
}

void TBitmap32::PrepareText() {
    FHDC->selectFont(FFont);
    FHDC->setTextColor(platform::gdi::resolveColor(FFont.color));
    FHDC->setBkMode(platform::gdi::BkMode::Transparent);
}

void TBitmap32::Textout(int X, int Y, std::string_view Text) {
    if (!Empty()) {
        PrepareText();
        FHDC->extTextOut(X, Y, Text);
    }
    Changed();
}

TSize TBitmap32::TextSize(std::string_view Text) {
    // An empty bitmap measures through a context of its own: the size depends on the font alone.
    std::unique_ptr<platform::gdi::DeviceContext> scratch;
    platform::gdi::DeviceContext* dc = FHDC.get();
    if (!dc) {
        scratch = platform::gdi::DeviceContext::createCompatible();
        dc = scratch.get();
    }
    dc->selectFont(FFont);
    const platform::gdi::Size size = dc->textExtent(Text);
    return {size.cx, size.cy};
}

int TBitmap32::TextWidth(std::string_view Text) {
    return TextSize(Text).cx;
}

} // namespace g32
