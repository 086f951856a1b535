#include "g32/g32_rects.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace g32 {

namespace {

std::int32_t saturate(double v) {
    if (std::isnan(v))
        return 0;
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(v, lo, hi));
}

} // namespace

std::int32_t RoundHalfEven(double Value) {
    return saturate(std::nearbyint(Value)); // the default rounding mode is to nearest, ties to even
}

TRect MakeRect(std::int32_t L, std::int32_t T, std::int32_t R, std::int32_t B) {
    return {L, T, R, B};
}

TRect MakeRect(const TFloatRect& FR, TRectRounding Rounding) {
    switch (Rounding) {
    case TRectRounding::rrOutside:
        return {saturate(std::floor(FR.Left)), saturate(std::floor(FR.Top)), saturate(std::ceil(FR.Right)),
                saturate(std::ceil(FR.Bottom))};
    case TRectRounding::rrInside: {
        TRect r{saturate(std::ceil(FR.Left)), saturate(std::ceil(FR.Top)), saturate(std::floor(FR.Right)),
                saturate(std::floor(FR.Bottom))};
        r.Right = std::max(r.Right, r.Left);
        r.Bottom = std::max(r.Bottom, r.Top);
        return r;
    }
    case TRectRounding::rrClosest:
    default:
        return {RoundHalfEven(FR.Left), RoundHalfEven(FR.Top), RoundHalfEven(FR.Right),
                RoundHalfEven(FR.Bottom)};
    }
}

TFloatRect FloatRect(float L, float T, float R, float B) {
    return {L, T, R, B};
}

bool IntersectRect(TRect& Dst, const TRect& R1, const TRect& R2) {
    Dst.Left = std::max(R1.Left, R2.Left);
    Dst.Top = std::max(R1.Top, R2.Top);
    Dst.Right = std::min(R1.Right, R2.Right);
    Dst.Bottom = std::min(R1.Bottom, R2.Bottom);
    if (Dst.Right < Dst.Left && Dst.Bottom < Dst.Top) {
        Dst = TRect{};
        return false;
    }
    return true;
}

void OffsetRect(TRect& R, std::int32_t Dx, std::int32_t Dy) {
    R.Left += Dx;
    R.Right += Dx;
    R.Top += Dy;
    R.Bottom += Dy;
}

bool IsRectEmpty(const TRect& R) {
    return R.Right <= R.Left || R.Bottom <= R.Top;
}

} // namespace g32
