#pragma once

// Internal to the blending and transfer code: the MMX forms' per-lane formula
// ((F - B) * W + B * 256 + 128) div 256 applied to whole rows, several pixels per instruction, and the
// path the transfers take (the per-pixel mixing slots, or these row kernels).

#include "g32/g32_blend.h"

#include <cstdint>

namespace g32::detail {

// How wide the row kernels are: none (the transfers go pixel by pixel through the mixing slots), four
// pixels per SSE2 register or eight per AVX2 register.
enum class TVectorLevel { None, SSE2, AVX2 };

// Every kernel gives the bits of the MMX forms' per-pixel operations in the order the transfers call them.
struct TVectorKernels {
    // The RowOver and RowOverScaled slots of the MMX forms.
    TBlendLine RowOver;
    TBlendLineEx RowOverScaled;
    // Out[i] := ColorMix(F[i], B[i], W).
    void (*RowMix)(const TColor32* F, const TColor32* B, TColor32* Out, int Count, TColor32 W);
    // Out[i] := ColorMix(Row[Left[i]], Row[Right[i]], W[i]), W[i] in 0..255.
    void (*RowMixPairs)(const TColor32* Row, const std::int32_t* Left, const std::int32_t* Right,
                        const std::int32_t* W, TColor32* Out, int Count);
    // Out[i] := Row[Index[i]].
    void (*RowGather)(const TColor32* Row, const std::int32_t* Index, TColor32* Out, int Count);
    // One span of an affine transformation over a bitmap of Stride pixels a row. Pixel i of the span
    // maps back to the 1/4096 sums X = X0 + i * Ax and Y = Y0 + i * Ay (32-bit, wrapping; the caller
    // makes sure the true sums fit). Nearest: Out[i] := Bits[(Y >> 12) * Stride + (X >> 12)] with
    // X0, Y0 already holding the +2047 bias. Linear: with x, y, fx, fy the integer and 1/256 parts of
    // X >> 4 and Y >> 4 (the +7 bias included), Out[i] := ColorMix(ColorMix(p(x, y), p(x + 1, y),
    // 255 - fx), ColorMix(p(x, y + 1), p(x + 1, y + 1), 255 - fx), 255 - fy); all four pixels lie
    // inside the bitmap.
    void (*AffineNearest)(const TColor32* Bits, std::int32_t Stride, std::int32_t X0, std::int32_t Y0,
                          std::int32_t Ax, std::int32_t Ay, TColor32* Out, int Count);
    void (*AffineLinear)(const TColor32* Bits, std::int32_t Stride, std::int32_t X0, std::int32_t Y0,
                         std::int32_t Ax, std::int32_t Ay, TColor32* Out, int Count);
    // The filtered stretches in two passes. Across: Sums[4x + c] := the sum over t < Taps (even) of
    // channel c of Row[Pos[x * Taps + t]] times weight t, the weights of taps t and t + 1 in the low and
    // high 16 bits (signed) of Pairs[(x * Taps + t) / 2]. Down: channel c of Out[x] := the sum over
    // k < RowCount of W[k] * Rows[k][4x + c], divided by 65536 and kept within 0..255. The caller makes
    // sure no sum leaves the 32-bit range.
    void (*FilterAcross)(const TColor32* Row, const std::int32_t* Pos, const std::int32_t* Pairs, int Taps,
                         std::int32_t* Sums, int Count);
    void (*FilterDown)(const std::int32_t* const* Rows, const std::int32_t* W, int RowCount, TColor32* Out,
                       int Count);
    // A square block of Block x Block pixels turned over its diagonal: Dst[k][i] := Src[i][k].
    int Block;
    void (*TransposeBlock)(const TColor32* const* Src, TColor32* const* Dst);
    // The same for a linear quarter turn: row i of the block before turning is ColorMix(ColorMix(Top[i][k],
    // Top[i][k + 1], Wx), ColorMix(Bottom[i][k], Bottom[i][k + 1], Wx), Wy) for k < Block.
    void (*TransposeMixBlock)(const TColor32* const* Top, const TColor32* const* Bottom, TColor32 Wx,
                              TColor32 Wy, TColor32* const* Dst);
};

// The widest level the processor and the build allow (None off x86).
TVectorLevel BestVectorLevel();
// The kernels of a level; null for None or a level the build or the processor lacks.
const TVectorKernels* VectorKernels(TVectorLevel level);

// The path of the transfers: the mixing forms of the per-pixel code and the row kernels. The row
// kernels follow the MMX formulas, so they are used only when the forms do too. Set at first use to the
// chosen table and the best level when the MMX forms are active; tests and benchmarks change it to
// compare the paths and put it back.
struct TTransferPath {
    const TBlendTable* forms = nullptr;
    TVectorLevel vectors = TVectorLevel::None;
};
TTransferPath& TransferPath();
// The row kernels the transfers use now, or null for the per-pixel path.
const TVectorKernels* ActiveVectorKernels();

// The kernels compiled for each width (x86 builds only).
const TVectorKernels& Sse2Kernels();
const TVectorKernels& Avx2Kernels();

} // namespace g32::detail
