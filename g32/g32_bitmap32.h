#pragma once

// TBitmap32: a top-down 32-bit ARGB bitmap that is also a drawing surface. Its pixels live in a DIB
// section selected into its own memory device context, so text output, block copies and the library's
// own pixel loops all work on the same memory. A bitmap is either empty (0 x 0, no pixels) or at least
// 1 x 1 with pixels. Drawing operations end with Changed, which fires OnChange unless an update is open.

#include "g32/color32.h"
#include "g32/g32_persistent.h"
#include "g32/g32_rects.h"
#include "platform/gdi/bitmap_info.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/dib_section.h"
#include "platform/gdi/font.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform::gdi {
class Bitmap;
class Graphic;
class Picture;
} // namespace platform::gdi

namespace g32 {

// A failure of the bitmap (resource exhaustion, a damaged stream).
class EBitmapError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* CantAllocateDibText = "Can't allocate the DIB handle";
inline constexpr const char* CantCreateDcText = "Can't create compatible DC";
inline constexpr const char* CantSelectText = "Can't select an object into DC";
inline constexpr const char* StreamReadErrorText = "Stream read error";

enum class TDrawMode : std::uint8_t { dmOpaque, dmBlend, dmCustom };
enum class TStretchFilter : std::uint8_t { sfNearest, sfLinear, sfLinear2, sfSpline };

using TPixelCombineEvent = std::function<void(TColor32 F, TColor32& B, TColor32 M)>;

// A toolkit colour (0x00BBGGRR, or a system colour) as an opaque TColor32.
TColor32 ToColor32(std::uint32_t WinColor);

class TBitmap32 : public TCustomMap {
public:
    TBitmap32();
    ~TBitmap32() override;

    bool SetSize(int NewWidth, int NewHeight) override;
    void Delete() override { SetSize(0, 0); }
    bool GetEmpty() const override { return !FHandle; }

    // Properties; the setters of DrawMode, MasterAlpha and StretchFilter call Changed when the value differs.
    TDrawMode DrawMode() const { return FDrawMode; }
    void SetDrawMode(TDrawMode Value);
    TColor32 MasterAlpha() const { return FMasterAlpha; }
    void SetMasterAlpha(TColor32 Value);
    TStretchFilter StretchFilter() const { return FStretchFilter; }
    void SetStretchFilter(TStretchFilter Value);
    TColor32 OuterColor = 0;
    TPixelCombineEvent OnPixelCombine;

    // The font of Textout, TextSize and TextWidth; a change takes effect at the next text operation.
    platform::gdi::Font& Font() { return FFont; }
    const platform::gdi::Font& Font() const { return FFont; }
    // The drawing context over the pixels; null while empty.
    platform::gdi::DeviceContext* Handle() const { return FHDC.get(); }

    void Clear(TColor32 Color);

    // Pixel access without range checks and without Changed.
    TColor32* Bits() const { return FBits; }
    TColor32 Pixel(int X, int Y) const { return FBits[static_cast<std::size_t>(Y) * Width() + X]; }
    void SetPixel(int X, int Y, TColor32 Value) { FBits[static_cast<std::size_t>(Y) * Width() + X] = Value; }
    TColor32* PixelAddr(int X, int Y) const { return FBits + static_cast<std::size_t>(Y) * Width() + X; }
    TColor32* RowAddr(int Y) const { return FBits + static_cast<std::size_t>(Y) * Width(); }
    // OuterColor for a position outside the bitmap.
    TColor32 PixelChecked(int X, int Y) const;

    // Fills without Changed; parts outside the bitmap are skipped.
    void FillRow(int X1, int Y, int X2, TColor32 Value);
    void FillColumn(int X, int Y1, int Y2, TColor32 Value);
    // Rows Y1..Y2-1, columns X1..X2-1, then Changed. Parts outside the bitmap are skipped.
    void FillRect(int X1, int Y1, int X2, int Y2, TColor32 Value);
    void FillRectClipped(int X1, int Y1, int X2, int Y2, TColor32 Value);
    void MakeOpaque();

    // A line from (X1, Y1) towards (X2, Y2); the end pixel only when L. Pixels outside are skipped.
    void Line(int X1, int Y1, int X2, int Y2, TColor32 Value, bool L);
    void MoveTo(int X, int Y);
    TPoint PenPos() const { return {FPenPosX, FPenPosY}; }

    // Stretch transfers through the source's filter, draw mode and combine event.
    void Draw(const TRect& DstRect, const TRect& SrcRect, TBitmap32* Src);
    void DrawInto(TBitmap32* Dst, const TRect& DstRect, const TRect& SrcRect);
    void DrawInto(TBitmap32* Dst, const TRect& DstRect);
    // A plain block copy of all pixels to a context at (X, Y).
    void DrawInto(platform::gdi::DeviceContext& DC, int X, int Y) const;

    void Textout(int X, int Y, std::string_view Text);
    TSize TextSize(std::string_view Text);
    int TextWidth(std::string_view Text);

    // Pictures by extension (BMP, JPEG, ...); errors of the loader propagate as GraphicError, and the
    // bitmap keeps its contents when the file cannot be read. Saving writes a 32-bit BMP file.
    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName);

    // Assign: each inside one update and followed by one Changed.
    void Assign(const TBitmap32* Source);
    void Assign(const platform::gdi::Bitmap* Source);
    void Assign(const platform::gdi::Graphic* Source);
    void Assign(const platform::gdi::Picture* Source);
    // Copies into a toolkit bitmap made 32 bits per pixel.
    void AssignTo(platform::gdi::Bitmap& Dest) const;

    // The binary "Data" property: Width, Height (signed 32-bit little-endian) and the pixels.
    void WriteData(std::string& Stream) const;
    // Reads from the front of Stream and consumes what it read; EBitmapError(StreamReadErrorText), with
    // the bitmap and the stream untouched, when the stream ends before the pixels do.
    void ReadData(std::string_view& Stream);
    // Whether "Data" is written against an ancestor (null: none).
    bool DataNeeded(const TBitmap32* Ancestor) const;
    // Both empty, or both filled with the same BMP image.
    bool Equals(const TBitmap32& Other) const;

private:
    void PrepareText();
    void BlockCopyFrom(const platform::gdi::DeviceContext& Source, int SourceWidth, int SourceHeight);

    platform::gdi::BitmapInfo FBitmapInfo;
    TColor32* FBits = nullptr;
    TDrawMode FDrawMode = TDrawMode::dmOpaque;
    platform::gdi::Font FFont;
    std::unique_ptr<platform::gdi::DibSection> FHandle;
    std::unique_ptr<platform::gdi::DeviceContext> FHDC;
    TColor32 FMasterAlpha = ChannelMax;
    TColor32 FPenColor = 0xFFFFFFFF;
    TStretchFilter FStretchFilter = TStretchFilter::sfNearest;
    int FPenPosX = 0;
    int FPenPosY = 0;
};

} // namespace g32
