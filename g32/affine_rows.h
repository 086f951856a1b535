#pragma once

// Internal to Transform: one destination pixel by the per-pixel path, and the whole destination clip
// through the row kernels.

#include "g32/g32_transforms.h"
#include "g32/transfer_combine.h"
#include "g32/vector_rows.h"

#include <cstdint>

namespace g32::detail {

namespace affine {
inline constexpr std::int64_t HalfBelow = 2047; // MapBackInt: nearest, exact halves going down
inline constexpr std::int64_t SubpixelBias = 7; // MapBack256
inline constexpr int IntShift = 12;             // the inverse is in units of 1/4096
inline constexpr int SubpixelShift = 4;         // 1/4096 to 1/256
inline constexpr int FractionBits = 8;
inline constexpr int FractionMask = 0xFF;
} // namespace affine

struct AffineRun {
    TBitmap32& dst;
    const TBitmap32& src;
    const TTransformation& t;
    const TRect& srcClip;
    const Combiner& combine;
};

// The source pixel (nearest) or the mix of four (linear) stored or combined into (x, y), or nothing
// where the source clip is out of reach.
void NearestPixel(const AffineRun& r, int x, int y);
void LinearPixel(const AffineRun& r, int x, int y);

// The destination clip (bounds included) through the row kernels; Dst and Src are different bitmaps.
void TransformRows(const AffineRun& r, const TAffineTransformation& t, const TRect& dstClip,
                   const TVectorKernels& rows, bool nearest);

} // namespace g32::detail
