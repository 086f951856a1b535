#pragma once

// Window controls that show a TBitmap32: TCustomPaintBox32 paints from an off-screen 32-bit buffer that it
// recomposes only when invalid; TCustomImage32 / TImage32 compose that buffer in numbered paint stages
// from the background, its own bitmap (placed by BitmapAlign, scaled by ScaleMode) and its layers.

#include "g32/g32_bitmap32.h"
#include "g32/g32_layers.h"
#include "platform/ui/control.h"

#include <cstdint>
#include <functional>
#include <vector>

class QPainter;

namespace g32 {

enum class TBitmapAlign : std::uint8_t { baTopLeft, baCenter, baTile, baCustom };
enum class TScaleMode : std::uint8_t { smNormal, smStretch, smScale, smResize };

// Stage codes.
constexpr std::uint32_t PST_CUSTOM = 1;
constexpr std::uint32_t PST_CLEAR_BUFFER = 2;
constexpr std::uint32_t PST_CLEAR_BACKGND = 3;
constexpr std::uint32_t PST_DRAW_BITMAP = 4;
constexpr std::uint32_t PST_DRAW_LAYERS = 5;
constexpr std::uint32_t PST_CONTROL_FRAME = 6;
constexpr std::uint32_t PST_BITMAP_FRAME = 7;

struct TPaintStage {
    bool DsgnTime = false;
    bool RunTime = true;
    std::uint32_t Stage = 0;
    std::uint32_t Parameter = 0;
};

class TPaintStages {
public:
    TPaintStage& Add();
    TPaintStage& Insert(int Index);
    void Delete(int Index);
    void Clear() { FItems.clear(); }
    int Count() const { return static_cast<int>(FItems.size()); }
    TPaintStage& operator[](int Index) { return FItems.at(static_cast<std::size_t>(Index)); }

private:
    std::vector<TPaintStage> FItems;
};

// Shift state bits of the mouse events.
enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };
using TShiftState = unsigned;

using TImgMouseEvent = std::function<void(platform::ui::MouseButton Button, TShiftState Shift, int X, int Y,
                                          TCustomLayer* Layer)>;
using TImgMouseMoveEvent = std::function<void(TShiftState Shift, int X, int Y, TCustomLayer* Layer)>;
using TPaintStageEvent = std::function<void(TBitmap32& Buffer, std::uint32_t StageNum)>;

class TCustomPaintBox32 : public platform::ui::Control {
public:
    explicit TCustomPaintBox32(platform::ui::Container& Parent);
    ~TCustomPaintBox32() override;

    TBitmap32& Buffer() { return FBuffer; }
    bool BufferValid() const { return FBufferValid; }
    int BufferOversize = 40;

    // Marks the buffer invalid and asks for a repaint.
    virtual void Invalidate();
    virtual TRect ViewportRect() const;
    // Paints the control onto a painter in its own coordinates (the widget's paint event calls it).
    void Paint(QPainter& Canvas);
    // Brings the buffer to the viewport's size (with the oversize margin); a resize invalidates it.
    void ResizeBuffer();

    TNotifyEvent OnGDIOverlay;

    // Called by the widget (public for it only).
    virtual void Resized();

protected:
    virtual void ComposeBuffer() {}
    virtual void PaintOverlay(QPainter& Canvas);
    bool FBufferValid = false;

private:
    TBitmap32 FBuffer;
};

class TCustomImage32 : public TCustomPaintBox32 {
public:
    explicit TCustomImage32(platform::ui::Container& Parent);
    ~TCustomImage32() override;

    TBitmap32& Bitmap() { return FBitmap; }
    const TBitmap32& Bitmap() const { return FBitmap; }
    void SetBitmap(const TBitmap32* Value);
    TBitmapAlign BitmapAlign() const { return FBitmapAlign; }
    void SetBitmapAlign(TBitmapAlign Value);
    float Scale() const { return FScale; }
    void SetScale(float Value);
    TScaleMode ScaleMode() const { return FScaleMode; }
    void SetScaleMode(TScaleMode Value);
    float OffsetHorz() const { return FOffsetHorz; }
    float OffsetVert() const { return FOffsetVert; }
    void SetOffsets(float Horz, float Vert);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    platform::ui::Align Alignment() const { return FAlign; }
    void SetAlignment(platform::ui::Align Value);
    // The control colour (0x00BBGGRR or a system colour) that clears the background.
    platform::ui::Color Color() const { return FColor; }
    void SetColor(platform::ui::Color Value);
    TLayerCollection& Layers() { return FLayers; }
    TPaintStages& PaintStages() { return FPaintStages; }

    void BeginUpdate();
    // An unpaired call throws EAssertionFailed("Unpaired EndUpdate call").
    void EndUpdate();
    // Unless an update is open: repaint and OnChange.
    virtual void Changed();
    void Invalidate() override;
    // Sizes the bitmap to the control, clears it when asked, and fires one change.
    void SetupBitmap(bool DoClear = false, TColor32 ClearColor = 0xFF000000);

    TSize BitmapShownSize() const;
    TRect BitmapPlacement() const;
    // The bitmap's rectangle in the control, from the cache (rebuilt when forgotten).
    TRect GetBitmapRect();
    bool CanAutoSize(int& NewWidth, int& NewHeight);
    // Runs OnInitStages (as after the form has loaded the control).
    void Loaded();

    TNotifyEvent OnBitmapResize;
    TNotifyEvent OnChange;
    TNotifyEvent OnInitStages;
    TImgMouseEvent OnMouseDown;
    TImgMouseMoveEvent OnMouseMove;
    TImgMouseEvent OnMouseUp;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TPaintStageEvent OnPaintStage;

    // Called by the widget (public for it only).
    void Resized() override;
    void MouseDown(platform::ui::MouseButton Button, TShiftState Shift, int X, int Y);
    void MouseMove(TShiftState Shift, int X, int Y);
    void MouseUp(platform::ui::MouseButton Button, TShiftState Shift, int X, int Y);
    void MouseEnter();
    void MouseLeave();

protected:
    void ComposeBuffer() override;
    void PaintOverlay(QPainter& Canvas) override;
    virtual void BitmapSizeChanged();
    virtual void ScaleChanged() {}
    void AddDefaultStages();
    void StageClearBuffer(TBitmap32& Dest);
    void StageClearMargins(TBitmap32& Dest);
    void StageDrawBitmap(TBitmap32& Dest);
    void StageDrawLayers(TBitmap32& Dest, std::uint32_t Parameter);
    void StageFrame(TBitmap32& Dest, const TRect& R);

private:
    void ForgetCache() { FCacheValid = false; }
    void UpdateCache();

    TBitmap32 FBitmap;
    TBitmapAlign FBitmapAlign = TBitmapAlign::baTopLeft;
    TLayerCollection FLayers;
    float FOffsetHorz = 0;
    float FOffsetVert = 0;
    TPaintStages FPaintStages;
    float FScale = 1.0f;
    TScaleMode FScaleMode = TScaleMode::smNormal;
    int FUpdateCount = 0;
    bool FAutoSize = false;
    platform::ui::Align FAlign = platform::ui::Align::None;
    platform::ui::Color FColor = platform::ui::Colors::BtnFace;
    bool FDestroying = false;

    TRect FCachedBitmapRect;
    std::int32_t ScaleX = 65536, ScaleY = 65536, ShiftX = 0, ShiftY = 0, RevScaleX = 65536, RevScaleY = 65536;
    bool FCacheValid = false;
};

class TImage32 : public TCustomImage32 {
public:
    using TCustomImage32::TCustomImage32;
};

} // namespace g32
