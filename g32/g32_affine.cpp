// The affine transformation and Transform.

#include "g32/affine_rows.h"
#include "g32/g32_transforms.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

namespace g32 {

namespace {

using namespace detail::affine;

constexpr double FixedScale = 4096.0; // the prepared inverse is in units of 1/4096
constexpr double SingularLimit = 0.00001;

using Matrix3 = float[3][3];

// Result := L x R for matrices stored as columns ([column][row]).
void multiply(const Matrix3& L, const Matrix3& R, Matrix3& out) {
    Matrix3 t;
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r)
            t[c][r] = L[0][r] * R[c][0] + L[1][r] * R[c][1] + L[2][r] * R[c][2];
    std::copy(&t[0][0], &t[0][0] + 9, &out[0][0]);
}

void identity(Matrix3& m) {
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r)
            m[c][r] = c == r ? 1.0f : 0.0f;
}

int toFixed(double v) {
    return RoundHalfEven(v * FixedScale);
}

} // namespace

void TTransformation::SetSrcRect(const TFloatRect& Value) {
    FSrcRect = Value;
    FPrepared = false;
}

void TAffineTransformation::Clear() {
    identity(Matrix);
    FPrepared = false;
}

void TAffineTransformation::Translate(float Dx, float Dy) {
    Matrix3 t;
    identity(t);
    t[2][0] = Dx;
    t[2][1] = Dy;
    multiply(t, Matrix, Matrix);
    FPrepared = false;
}

void TAffineTransformation::Rotate(float Cx, float Cy, float Alpha) {
    FPrepared = false;
    const bool aboutCentre = Cx != 0 && Cy != 0;
    if (aboutCentre)
        Translate(-Cx, -Cy);
    const double radians = static_cast<double>(Alpha) * std::numbers::pi / 180.0;
    const auto s = static_cast<float>(std::sin(radians));
    const auto c = static_cast<float>(std::cos(radians));
    Matrix3 r;
    identity(r);
    r[0][0] = c;
    r[1][0] = s;
    r[0][1] = -s;
    r[1][1] = c;
    multiply(r, Matrix, Matrix);
    if (aboutCentre)
        Translate(Cx, Cy);
}

void TAffineTransformation::Prepare() {
    double m[3][3];
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r)
            m[c][r] = Matrix[c][r];
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[2][1] * m[1][2]) -
                       m[1][0] * (m[0][1] * m[2][2] - m[2][1] * m[0][2]) +
                       m[2][0] * (m[0][1] * m[1][2] - m[1][1] * m[0][2]);
    double inv[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    if (std::fabs(det) >= SingularLimit) {
        // The adjugate (transposed cofactors) divided by the determinant, indexes as [column][row].
        for (int c = 0; c < 3; ++c)
            for (int r = 0; r < 3; ++r) {
                // Element (row r, column c) of the inverse is cofactor (row c, column r) / det.
                const int c1 = (r + 1) % 3, c2 = (r + 2) % 3;
                const int r1 = (c + 1) % 3, r2 = (c + 2) % 3;
                inv[c][r] = (m[c1][r1] * m[c2][r2] - m[c2][r1] * m[c1][r2]) / det;
            }
    }
    A = toFixed(inv[0][0]);
    B = toFixed(inv[1][0]);
    C = toFixed(inv[2][0]);
    D = toFixed(inv[0][1]);
    E = toFixed(inv[1][1]);
    F = toFixed(inv[2][1]);
    FPrepared = true;
}

void TAffineTransformation::MapBackInt(int DstX, int DstY, int& SrcX, int& SrcY) const {
    SrcX = static_cast<int>((std::int64_t{DstX} * A + std::int64_t{DstY} * B + C + HalfBelow) >> IntShift);
    SrcY = static_cast<int>((std::int64_t{DstX} * D + std::int64_t{DstY} * E + F + HalfBelow) >> IntShift);
}

void TAffineTransformation::MapBack256(int DstX, int DstY, int& SrcX, int& SrcY) const {
    SrcX = static_cast<int>((std::int64_t{DstX} * A + std::int64_t{DstY} * B + C + SubpixelBias) >>
                            SubpixelShift);
    SrcY = static_cast<int>((std::int64_t{DstX} * D + std::int64_t{DstY} * E + F + SubpixelBias) >>
                            SubpixelShift);
}

TRect TAffineTransformation::GetDestBounds() const {
    const float xs[2] = {FSrcRect.Left, FSrcRect.Right};
    const float ys[2] = {FSrcRect.Top, FSrcRect.Bottom};
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    bool first = true;
    for (float x : xs)
        for (float y : ys) {
            const double px =
                static_cast<double>(Matrix[0][0]) * x + static_cast<double>(Matrix[1][0]) * y + Matrix[2][0];
            const double py =
                static_cast<double>(Matrix[0][1]) * x + static_cast<double>(Matrix[1][1]) * y + Matrix[2][1];
            minX = first ? px : std::min(minX, px);
            maxX = first ? px : std::max(maxX, px);
            minY = first ? py : std::min(minY, py);
            maxY = first ? py : std::max(maxY, py);
            first = false;
        }
    return {RoundHalfEven(minX - 0.5), RoundHalfEven(minY - 0.5), RoundHalfEven(maxX + 0.5),
            RoundHalfEven(maxY + 0.5)};
}

void Transform(TBitmap32* Dst, TBitmap32* Src, TTransformation* Transformation) {
    if (!Dst || !Src || !Transformation)
        return;
    if (!Transformation->Prepared())
        Transformation->Prepare();
    const detail::Combiner combine(Src->DrawMode(), Src->MasterAlpha(), Src->OnPixelCombine, false);

    TRect srcClip;
    IntersectRect(srcClip, MakeRect(Transformation->SrcRect(), TRectRounding::rrClosest),
                  MakeRect(0, 0, Src->Width() - 1, Src->Height() - 1));
    TRect dstClip;
    IntersectRect(dstClip, Transformation->GetDestBounds(),
                  MakeRect(0, 0, Dst->Width() - 1, Dst->Height() - 1));
    if (IsRectEmpty(dstClip))
        return;
    {
        const detail::EndMmxScope endMmx;
        // An empty source has nothing to read (its clip would otherwise collapse onto (0, 0)).
        if (!Src->Empty()) {
            const detail::AffineRun run{*Dst, *Src, *Transformation, srcClip, combine};
            const bool nearest = Src->StretchFilter() == TStretchFilter::sfNearest;
            // The row kernels know the affine sums and read a span before writing it: only between two
            // bitmaps, and only where a bitmap's pixel index fits 32 bits.
            const auto* affine = dynamic_cast<const TAffineTransformation*>(Transformation);
            const detail::TVectorKernels* rows =
                affine && Dst->Bits() != Src->Bits() &&
                        std::int64_t{Src->Width()} * Src->Height() < std::numeric_limits<std::int32_t>::max()
                    ? detail::ActiveVectorKernels()
                    : nullptr;
            if (rows)
                detail::TransformRows(run, *affine, dstClip, *rows, nearest);
            else
                for (int y = dstClip.Top; y <= dstClip.Bottom; ++y)
                    for (int x = dstClip.Left; x <= dstClip.Right; ++x)
                        nearest ? detail::NearestPixel(run, x, y) : detail::LinearPixel(run, x, y);
        }
    }
    Dst->Changed();
}

} // namespace g32
