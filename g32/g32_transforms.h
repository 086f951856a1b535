#pragma once

// Transfers of pixels from one TBitmap32 into another: a block transfer for equal sizes, a stretch
// transfer with four filters, and Transform, which draws a source through an affine transformation.

#include "g32/g32_bitmap32.h"
#include "g32/g32_rects.h"

#include <stdexcept>
#include <vector>

namespace g32 {

class ETransformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* DstEmptyText = "Destination bitmap is nil or empty";
inline constexpr const char* SrcEmptyText = "Source bitmap is nil or empty";
inline constexpr const char* SrcInvalidText = "Source rectangle is invalid";
inline constexpr const char* AssertionFailureText = "Assertion failure";

// Copies SrcRect of Src to (DstX, DstY) of Dst, clipped to both bitmaps, combining by CombineOp.
void CopyBlock(TBitmap32* Dst, int DstX, int DstY, TBitmap32* Src, TRect SrcRect, TDrawMode CombineOp,
               const TPixelCombineEvent& CombineCallBack);

// Scales SrcRect of Src into DstRect of Dst (drawn only where DstRect lies inside Dst).
void StretchBlock(TBitmap32* Dst, TRect DstRect, TBitmap32* Src, TRect SrcRect, TStretchFilter StretchFilter,
                  TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack);

// One destination index's source pixels and their weights (sfLinear2, sfSpline).
struct TPointRec {
    int Pos = 0;
    int Weight = 0;
    bool operator==(const TPointRec&) const = default;
};
using TMappingList = std::vector<TPointRec>;

// The lists of destination indexes From .. To - 1 of a destination of size DstSize, mapped onto source
// indexes SrcLo .. SrcHi - 1 of a source of size SrcSize (lists[j - From] for index j).
std::vector<TMappingList> BuildMappingTable(int DstSize, int SrcSize, int SrcLo, int SrcHi,
                                            TStretchFilter Filter, int From, int To);

class TTransformation {
public:
    virtual ~TTransformation() = default;
    const TFloatRect& SrcRect() const { return FSrcRect; }
    void SetSrcRect(const TFloatRect& Value);
    bool Prepared() const { return FPrepared; }

    virtual void MapBackInt(int DstX, int DstY, int& SrcX, int& SrcY) const = 0;
    virtual void MapBack256(int DstX, int DstY, int& SrcX, int& SrcY) const = 0;
    virtual void Prepare() = 0;
    virtual TRect GetDestBounds() const = 0;

protected:
    TFloatRect FSrcRect;
    bool FPrepared = false;
};

class TAffineTransformation : public TTransformation {
public:
    TAffineTransformation() { Clear(); }

    void MapBackInt(int DstX, int DstY, int& SrcX, int& SrcY) const override;
    void MapBack256(int DstX, int DstY, int& SrcX, int& SrcY) const override;
    void Prepare() override;
    TRect GetDestBounds() const override;

    void Clear();
    // The translation applies after what the matrix already does.
    void Translate(float Dx, float Dy);
    // Turns by Alpha degrees about (Cx, Cy) when both are non-zero, else about the origin.
    void Rotate(float Cx, float Cy, float Alpha);

    // Three columns of three: a point maps to x' = M[0][0]x + M[1][0]y + M[2][0],
    // y' = M[0][1]x + M[1][1]y + M[2][1].
    float Matrix[3][3] = {};

    // The prepared inverse in units of 1/4096.
    int A = 0, B = 0, C = 0, D = 0, E = 0, F = 0;
};

// Draws Src through the transformation into Dst, with Src's filter, draw mode and master alpha.
void Transform(TBitmap32* Dst, TBitmap32* Src, TTransformation* Transformation);

} // namespace g32
