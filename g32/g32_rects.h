#pragma once

// Integer and float rectangles (Right and Bottom exclusive) and their helpers.

#include <cstdint>

namespace g32 {

struct TRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    bool operator==(const TRect&) const = default;
};

struct TFloatRect {
    float Left = 0;
    float Top = 0;
    float Right = 0;
    float Bottom = 0;
    bool operator==(const TFloatRect&) const = default;
};

struct TPoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TSize {
    std::int32_t cx = 0;
    std::int32_t cy = 0;
    bool operator==(const TSize&) const = default;
};

enum class TRectRounding { rrClosest = 0, rrOutside = 1, rrInside = 2 };

TRect MakeRect(std::int32_t L, std::int32_t T, std::int32_t R, std::int32_t B);
TRect MakeRect(const TFloatRect& FR, TRectRounding Rounding = TRectRounding::rrClosest);
TFloatRect FloatRect(float L, float T, float R, float B);

// Dst = the overlap of R1 and R2; False (and Dst all zeros) only when Dst would be inverted both across
// and down. Callers test emptiness with IsRectEmpty.
bool IntersectRect(TRect& Dst, const TRect& R1, const TRect& R2);
void OffsetRect(TRect& R, std::int32_t Dx, std::int32_t Dy);
bool IsRectEmpty(const TRect& R);

// The nearest integer, halves to the even neighbour; saturated to the 32-bit range.
std::int32_t RoundHalfEven(double Value);

} // namespace g32
