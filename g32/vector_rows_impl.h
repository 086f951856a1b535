// The row kernels, written once over a register type V and included by one source file per vector width
// (vector_rows_sse2.cpp, vector_rows_avx2.cpp) after it has defined V. Everything here has internal
// linkage and uses only intrinsics and its own functions, so that no code compiled for a wider
// instruction set can stand in for code that runs on every processor.
//
// V gives N pixels per register and the operations below on 8-, 16- and 32-bit lanes; the 16-bit lane
// work follows the MMX forms: ((F - B) * W + B * 256 + 128) mod 2^16 div 256 per channel, which equals
// (F * W + B * (256 - W) + 128) div 256 since the true sum stays within 0..65535.

namespace {

using g32::TColor32;
using std::int32_t;
using std::uint32_t;

constexpr uint32_t ChannelMask = 0xFF;
constexpr uint32_t OpaqueAlpha = 0xFF;
constexpr uint32_t FullWeight = 256; // an opaque pixel over anything: F exactly
constexpr uint32_t LaneBias = 128;
constexpr int ByteShift = 8;
constexpr int ChannelBits = 32;
constexpr int AlphaShift = 24;
constexpr int SubpixelShift = 4;
constexpr int NearestShift = 12;
constexpr int32_t FractionMask = 0xFF;
constexpr int32_t WeightTop = 255;

// The per-lane formula on one pixel, for the ends of rows; W in 0..256.
inline TColor32 mixPixel(TColor32 F, TColor32 B, uint32_t W) {
    TColor32 out = 0;
    for (int shift = 0; shift < ChannelBits; shift += ByteShift) {
        const uint32_t f = (F >> shift) & ChannelMask;
        const uint32_t b = (B >> shift) & ChannelMask;
        out |= ((f * W + b * (FullWeight - W) + LaneBias) >> ByteShift) << shift;
    }
    return out;
}

inline uint32_t clampWeight(uint32_t W) {
    return W > WeightTop ? WeightTop : W;
}

// ColorOverInto: alpha 0 leaves B, alpha 255 stores F, else the mix by the alpha.
inline TColor32 overPixel(TColor32 F, TColor32 B) {
    const uint32_t a = F >> AlphaShift;
    return mixPixel(F, B, a == OpaqueAlpha ? FullWeight : a);
}

// ColorOverScaledInto: the weight (M * Fa) div 256, at most 255; 0 leaves B.
inline TColor32 overScaledPixel(TColor32 F, TColor32 B, TColor32 M) {
    const unsigned long long w = (static_cast<unsigned long long>(M) * (F >> AlphaShift)) >> ByteShift;
    return mixPixel(F, B, w > WeightTop ? WeightTop : static_cast<uint32_t>(w));
}

// Whether writing Dst while reading Src element by element could read what an earlier element wrote.
inline bool trailingOverlap(const TColor32* Src, const TColor32* Dst, int Count) {
    return Dst > Src && Dst < Src + Count;
}

template <class V>
struct Kernels {
    using R = typename V::R;
    static constexpr int N = V::N;

    static R mix16(R f, R b, R w) {
        R d = V::mul16(V::sub16(f, b), w);
        d = V::add16(d, V::template sll16<ByteShift>(b));
        d = V::add16(d, V::set16(static_cast<short>(LaneBias)));
        return V::template srl16<ByteShift>(d);
    }
    // Per-pixel weights in 32-bit lanes spread over the four channel lanes of the pixels that lo8 and hi8
    // widen.
    static R spreadLo(R w32) { return V::dupLo32(V::or_(w32, V::template sll32<16>(w32))); }
    static R spreadHi(R w32) { return V::dupHi32(V::or_(w32, V::template sll32<16>(w32))); }

    static R mixPixels(R f, R b, R w32) {
        return V::pack16(mix16(V::lo8(f), V::lo8(b), spreadLo(w32)),
                         mix16(V::hi8(f), V::hi8(b), spreadHi(w32)));
    }

    static void rowOver(const TColor32* Src, TColor32* Dst, int Count) {
        int i = 0;
        if (!trailingOverlap(Src, Dst, Count)) {
            const R opaque = V::set16(static_cast<short>(OpaqueAlpha));
            for (; i + N <= Count; i += N) {
                const R s = V::load(Src + i);
                const R d = V::load(Dst + i);
                const R slo = V::lo8(s);
                const R shi = V::hi8(s);
                R wlo = V::alpha16(slo);
                R whi = V::alpha16(shi);
                // An alpha of 255 weighs 256 (subtracting the all-ones compare adds one).
                wlo = V::sub16(wlo, V::cmpeq16(wlo, opaque));
                whi = V::sub16(whi, V::cmpeq16(whi, opaque));
                V::store(Dst + i, V::pack16(mix16(slo, V::lo8(d), wlo), mix16(shi, V::hi8(d), whi)));
            }
        }
        for (; i < Count; ++i)
            Dst[i] = overPixel(Src[i], Dst[i]);
    }

    static void rowOverScaled(const TColor32* Src, TColor32* Dst, int Count, TColor32 M) {
        int i = 0;
        // (M * Fa) fits a 16-bit lane while M is a byte; larger master alphas take the scalar way.
        if (M <= WeightTop && !trailingOverlap(Src, Dst, Count)) {
            const R master = V::set16(static_cast<short>(M));
            for (; i + N <= Count; i += N) {
                const R s = V::load(Src + i);
                const R d = V::load(Dst + i);
                const R slo = V::lo8(s);
                const R shi = V::hi8(s);
                const R wlo = V::template srl16<ByteShift>(V::mul16(V::alpha16(slo), master));
                const R whi = V::template srl16<ByteShift>(V::mul16(V::alpha16(shi), master));
                V::store(Dst + i, V::pack16(mix16(slo, V::lo8(d), wlo), mix16(shi, V::hi8(d), whi)));
            }
        }
        for (; i < Count; ++i)
            Dst[i] = overScaledPixel(Src[i], Dst[i], M);
    }

    static void rowMix(const TColor32* F, const TColor32* B, TColor32* Out, int Count, TColor32 W) {
        W = clampWeight(W);
        const R w = V::set16(static_cast<short>(W));
        int i = 0;
        for (; i + N <= Count; i += N) {
            const R f = V::load(F + i);
            const R b = V::load(B + i);
            V::store(Out + i, V::pack16(mix16(V::lo8(f), V::lo8(b), w), mix16(V::hi8(f), V::hi8(b), w)));
        }
        for (; i < Count; ++i)
            Out[i] = mixPixel(F[i], B[i], W);
    }

    static void rowMixPairs(const TColor32* Row, const int32_t* Left, const int32_t* Right, const int32_t* W,
                            TColor32* Out, int Count) {
        int i = 0;
        for (; i + N <= Count; i += N) {
            const R f = V::gather(Row, V::load(Left + i));
            const R b = V::gather(Row, V::load(Right + i));
            V::store(Out + i, mixPixels(f, b, V::load(W + i)));
        }
        for (; i < Count; ++i)
            Out[i] = mixPixel(Row[Left[i]], Row[Right[i]], static_cast<uint32_t>(W[i]));
    }

    static void rowGather(const TColor32* Row, const int32_t* Index, TColor32* Out, int Count) {
        int i = 0;
        for (; i + N <= Count; i += N)
            V::store(Out + i, V::gather(Row, V::load(Index + i)));
        for (; i < Count; ++i)
            Out[i] = Row[Index[i]];
    }

    // The sums of pixel i of a span, wrapping like the 32-bit lanes.
    static int32_t sumAt(int32_t start, int32_t step, int i) {
        return static_cast<int32_t>(static_cast<uint32_t>(start) +
                                    static_cast<uint32_t>(i) * static_cast<uint32_t>(step));
    }
    static R lanesFrom(int32_t start, int32_t step) {
        return V::add32(V::set32(start), V::mul32(V::iota(), V::set32(step)));
    }
    static R blockStep(int32_t step) {
        return V::set32(static_cast<int32_t>(static_cast<uint32_t>(step) * static_cast<uint32_t>(N)));
    }

    static void affineNearest(const TColor32* Bits, int32_t Stride, int32_t X0, int32_t Y0, int32_t Ax,
                              int32_t Ay, TColor32* Out, int Count) {
        R xs = lanesFrom(X0, Ax);
        R ys = lanesFrom(Y0, Ay);
        const R stepX = blockStep(Ax);
        const R stepY = blockStep(Ay);
        const R stride = V::set32(Stride);
        int i = 0;
        for (; i + N <= Count; i += N) {
            const R x = V::template srai32<NearestShift>(xs);
            const R y = V::template srai32<NearestShift>(ys);
            V::store(Out + i, V::gather(Bits, V::add32(V::mul32(y, stride), x)));
            xs = V::add32(xs, stepX);
            ys = V::add32(ys, stepY);
        }
        for (; i < Count; ++i) {
            const int32_t x = sumAt(X0, Ax, i) >> NearestShift;
            const int32_t y = sumAt(Y0, Ay, i) >> NearestShift;
            Out[i] = Bits[y * Stride + x];
        }
    }

    static void affineLinear(const TColor32* Bits, int32_t Stride, int32_t X0, int32_t Y0, int32_t Ax,
                             int32_t Ay, TColor32* Out, int Count) {
        R xs = lanesFrom(X0, Ax);
        R ys = lanesFrom(Y0, Ay);
        const R stepX = blockStep(Ax);
        const R stepY = blockStep(Ay);
        const R stride = V::set32(Stride);
        const R one = V::set32(1);
        const R fraction = V::set32(FractionMask);
        const R top = V::set32(WeightTop);
        int i = 0;
        for (; i + N <= Count; i += N) {
            const R px = V::template srai32<SubpixelShift>(xs);
            const R py = V::template srai32<SubpixelShift>(ys);
            const R wx = V::sub32(top, V::and_(px, fraction));
            const R wy = V::sub32(top, V::and_(py, fraction));
            const R at = V::add32(V::mul32(V::template srai32<ByteShift>(py), stride),
                                  V::template srai32<ByteShift>(px));
            const R below = V::add32(at, stride);
            const R p00 = V::gather(Bits, at);
            const R p10 = V::gather(Bits, V::add32(at, one));
            const R p01 = V::gather(Bits, below);
            const R p11 = V::gather(Bits, V::add32(below, one));
            const R wxLo = spreadLo(wx);
            const R wxHi = spreadHi(wx);
            const R lo = mix16(mix16(V::lo8(p00), V::lo8(p10), wxLo), mix16(V::lo8(p01), V::lo8(p11), wxLo),
                               spreadLo(wy));
            const R hi = mix16(mix16(V::hi8(p00), V::hi8(p10), wxHi), mix16(V::hi8(p01), V::hi8(p11), wxHi),
                               spreadHi(wy));
            V::store(Out + i, V::pack16(lo, hi));
            xs = V::add32(xs, stepX);
            ys = V::add32(ys, stepY);
        }
        for (; i < Count; ++i) {
            const int32_t px = sumAt(X0, Ax, i) >> SubpixelShift;
            const int32_t py = sumAt(Y0, Ay, i) >> SubpixelShift;
            const auto wx = static_cast<uint32_t>(WeightTop - (px & FractionMask));
            const auto wy = static_cast<uint32_t>(WeightTop - (py & FractionMask));
            const TColor32* p = Bits + (py >> ByteShift) * Stride + (px >> ByteShift);
            Out[i] = mixPixel(mixPixel(p[0], p[1], wx), mixPixel(p[Stride], p[Stride + 1], wx), wy);
        }
    }

    // One destination pixel's four channel sums per 128-bit register, two taps per multiply-add.
    static void filterAcross(const TColor32* Row, const int32_t* Pos, const int32_t* Pairs, int Taps,
                             int32_t* Sums, int Count) {
        const __m128i zero = _mm_setzero_si128();
        const int pairs = Taps / 2;
        for (int x = 0; x < Count; ++x) {
            const int32_t* pos = Pos + x * Taps;
            const int32_t* w = Pairs + x * pairs;
            __m128i acc = zero;
            for (int t = 0; t < pairs; ++t) {
                const __m128i a = _mm_cvtsi32_si128(static_cast<int>(Row[pos[2 * t]]));
                const __m128i b = _mm_cvtsi32_si128(static_cast<int>(Row[pos[2 * t + 1]]));
                // a0 b0 a1 b1 a2 b2 a3 b3 in 16-bit lanes against wa wb wa wb ...
                const __m128i ab = _mm_unpacklo_epi8(_mm_unpacklo_epi8(a, b), zero);
                acc = _mm_add_epi32(acc, _mm_madd_epi16(ab, _mm_set1_epi32(w[t])));
            }
            _mm_storeu_si128(static_cast<__m128i*>(static_cast<void*>(Sums + 4 * x)), acc);
        }
    }

    static void filterDown(const int32_t* const* Rows, const int32_t* W, int RowCount, TColor32* Out,
                           int Count) {
        constexpr int Channels = 4;
        constexpr int PixelsPerRegister = N / Channels;
        constexpr int SumShift = 16;
        int x = 0;
        for (; x + N <= Count; x += N) {
            R acc[Channels] = {V::set32(0), V::set32(0), V::set32(0), V::set32(0)};
            for (int k = 0; k < RowCount; ++k) {
                const R w = V::set32(W[k]);
                const int32_t* row = Rows[k] + Channels * x;
                for (int r = 0; r < Channels; ++r)
                    acc[r] = V::add32(acc[r], V::mul32(V::load(row + r * Channels * PixelsPerRegister), w));
            }
            for (R& a : acc)
                a = V::template srai32<SumShift>(a);
            V::store(Out + x, V::packSums(acc[0], acc[1], acc[2], acc[3]));
        }
        for (; x < Count; ++x) {
            TColor32 out = 0;
            for (int c = 0; c < Channels; ++c) {
                long long s = 0;
                for (int k = 0; k < RowCount; ++k)
                    s += static_cast<long long>(W[k]) * Rows[k][Channels * x + c];
                s = s < 0 ? 0 : s >> SumShift;
                out |= static_cast<TColor32>(s > WeightTop ? WeightTop : s) << (c * ByteShift);
            }
            Out[x] = out;
        }
    }

    static void transposeBlock(const TColor32* const* Src, TColor32* const* Dst) {
        R rows[N];
        for (int i = 0; i < N; ++i)
            rows[i] = V::load(Src[i]);
        V::transpose(rows);
        for (int k = 0; k < N; ++k)
            V::store(Dst[k], rows[k]);
    }

    static void transposeMixBlock(const TColor32* const* Top, const TColor32* const* Bottom, TColor32 Wx,
                                  TColor32 Wy, TColor32* const* Dst) {
        const R wx = V::set16(static_cast<short>(clampWeight(Wx)));
        const R wy = V::set16(static_cast<short>(clampWeight(Wy)));
        R rows[N];
        for (int i = 0; i < N; ++i) {
            const R a = V::load(Top[i]);
            const R b = V::load(Top[i] + 1);
            const R c = V::load(Bottom[i]);
            const R d = V::load(Bottom[i] + 1);
            const R lo = mix16(mix16(V::lo8(a), V::lo8(b), wx), mix16(V::lo8(c), V::lo8(d), wx), wy);
            const R hi = mix16(mix16(V::hi8(a), V::hi8(b), wx), mix16(V::hi8(c), V::hi8(d), wx), wy);
            rows[i] = V::pack16(lo, hi);
        }
        V::transpose(rows);
        for (int k = 0; k < N; ++k)
            V::store(Dst[k], rows[k]);
    }

    static constexpr g32::detail::TVectorKernels table{
        rowOver,      rowOverScaled, rowMix,     rowMixPairs, rowGather,      affineNearest,
        affineLinear, filterAcross,  filterDown, N,           transposeBlock, transposeMixBlock};
};

} // namespace
