// The row kernels eight pixels at a time in AVX2 registers. Only this file is compiled for AVX2, and its
// kernels run only where the processor has it.

#include "g32/vector_rows.h"

#if defined(__x86_64__)

#include <immintrin.h>

namespace g32::detail {

namespace {

struct Avx2 {
    using R = __m256i;
    static constexpr int N = 8;

    static R load(const void* p) { return _mm256_loadu_si256(static_cast<const R*>(p)); }
    static void store(void* p, R v) { _mm256_storeu_si256(static_cast<R*>(p), v); }
    static R set16(short v) { return _mm256_set1_epi16(v); }
    static R set32(int v) { return _mm256_set1_epi32(v); }
    static R iota() { return _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7); }
    // Within each 128-bit half, as the SSE2 forms; pack16 puts the halves back in order.
    static R lo8(R v) { return _mm256_unpacklo_epi8(v, _mm256_setzero_si256()); }
    static R hi8(R v) { return _mm256_unpackhi_epi8(v, _mm256_setzero_si256()); }
    static R pack16(R lo, R hi) { return _mm256_packus_epi16(lo, hi); }
    static R add16(R a, R b) { return _mm256_add_epi16(a, b); }
    static R sub16(R a, R b) { return _mm256_sub_epi16(a, b); }
    static R mul16(R a, R b) { return _mm256_mullo_epi16(a, b); }
    static R cmpeq16(R a, R b) { return _mm256_cmpeq_epi16(a, b); }
    template <int S>
    static R srl16(R v) {
        return _mm256_srli_epi16(v, S);
    }
    template <int S>
    static R sll16(R v) {
        return _mm256_slli_epi16(v, S);
    }
    template <int S>
    static R sll32(R v) {
        return _mm256_slli_epi32(v, S);
    }
    template <int S>
    static R srai32(R v) {
        return _mm256_srai_epi32(v, S);
    }
    static R add32(R a, R b) { return _mm256_add_epi32(a, b); }
    static R sub32(R a, R b) { return _mm256_sub_epi32(a, b); }
    static R mul32(R a, R b) { return _mm256_mullo_epi32(a, b); }
    static R and_(R a, R b) { return _mm256_and_si256(a, b); }
    static R or_(R a, R b) { return _mm256_or_si256(a, b); }
    static R dupLo32(R v) { return _mm256_unpacklo_epi32(v, v); }
    static R dupHi32(R v) { return _mm256_unpackhi_epi32(v, v); }
    static R alpha16(R v) {
        constexpr int AlphaLane = _MM_SHUFFLE(3, 3, 3, 3);
        return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(v, AlphaLane), AlphaLane);
    }
    // Eight rows of eight pixels turned over the diagonal: 4 x 4 turns within the 128-bit halves, then
    // the halves exchanged.
    static void transpose(R* r) {
        R a[8];
        for (int i = 0; i < 8; i += 2) {
            a[i] = _mm256_unpacklo_epi32(r[i], r[i + 1]);
            a[i + 1] = _mm256_unpackhi_epi32(r[i], r[i + 1]);
        }
        R b[8];
        for (int i = 0; i < 8; i += 4) {
            b[i] = _mm256_unpacklo_epi64(a[i], a[i + 2]);
            b[i + 1] = _mm256_unpackhi_epi64(a[i], a[i + 2]);
            b[i + 2] = _mm256_unpacklo_epi64(a[i + 1], a[i + 3]);
            b[i + 3] = _mm256_unpackhi_epi64(a[i + 1], a[i + 3]);
        }
        for (int i = 0; i < 4; ++i) {
            r[i] = _mm256_permute2x128_si256(b[i], b[i + 4], 0x20);
            r[i + 4] = _mm256_permute2x128_si256(b[i], b[i + 4], 0x31);
        }
    }
    // Four registers of two pixels' channels each (pixels 0-1, 2-3, 4-5, 6-7), saturated to bytes; the
    // packs work per 128-bit half, which leaves the pixels in the order 0 2 4 6 1 3 5 7.
    static R packSums(R a, R b, R c, R d) {
        const R packed = _mm256_packus_epi16(_mm256_packs_epi32(a, b), _mm256_packs_epi32(c, d));
        return _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
    }
    // Eight loads into the lanes: quicker than the processor's gather instruction on the processors
    // tried.
    static R gather(const TColor32* base, R index) {
        alignas(32) int at[N];
        _mm256_store_si256(static_cast<R*>(static_cast<void*>(at)), index);
        return _mm256_setr_epi32(static_cast<int>(base[at[0]]), static_cast<int>(base[at[1]]),
                                 static_cast<int>(base[at[2]]), static_cast<int>(base[at[3]]),
                                 static_cast<int>(base[at[4]]), static_cast<int>(base[at[5]]),
                                 static_cast<int>(base[at[6]]), static_cast<int>(base[at[7]]));
    }
};

} // namespace

} // namespace g32::detail

#include "g32/vector_rows_impl.h"

namespace g32::detail {

namespace {

// The linear span with each pixel's two neighbours on a row read as one 64-bit pair: the pairs of
// pixels 0, 1, 4, 5 and of 2, 3, 6, 7 are loaded into the 128-bit halves and sorted so that the low and
// high 8-bit widenings give the left and the right pixels in the layout of lo8 and hi8. The processor's
// 32-bit gathers would read every pixel on its own.
__m256i pairsOf(const TColor32* Bits, const int32_t* at, int a, int b, int c, int d) {
    const auto pair = [&](int k) {
        return _mm_loadl_epi64(static_cast<const __m128i*>(static_cast<const void*>(Bits + at[k])));
    };
    const auto two = [&](int k, int l) { return _mm_unpacklo_epi64(pair(k), pair(l)); };
    const __m256i both = _mm256_inserti128_si256(_mm256_castsi128_si256(two(a, b)), two(c, d), 1);
    return _mm256_shuffle_epi32(both, _MM_SHUFFLE(3, 1, 2, 0)); // left, left, right, right
}

void affineLinearPairs(const TColor32* Bits, int32_t Stride, int32_t X0, int32_t Y0, int32_t Ax, int32_t Ay,
                       TColor32* Out, int Count) {
    using K = Kernels<Avx2>;
    using V = Avx2;
    constexpr int N = V::N;
    __m256i xs = K::lanesFrom(X0, Ax);
    __m256i ys = K::lanesFrom(Y0, Ay);
    const __m256i stepX = K::blockStep(Ax);
    const __m256i stepY = K::blockStep(Ay);
    const __m256i stride = V::set32(Stride);
    const __m256i fraction = V::set32(FractionMask);
    const __m256i top = V::set32(WeightTop);
    alignas(32) int32_t above[N];
    alignas(32) int32_t below[N];
    int i = 0;
    for (; i + N <= Count; i += N) {
        const __m256i px = V::srai32<SubpixelShift>(xs);
        const __m256i py = V::srai32<SubpixelShift>(ys);
        const __m256i wx = V::sub32(top, V::and_(px, fraction));
        const __m256i wy = V::sub32(top, V::and_(py, fraction));
        const __m256i at = V::add32(V::mul32(V::srai32<ByteShift>(py), stride), V::srai32<ByteShift>(px));
        V::store(above, at);
        V::store(below, V::add32(at, stride));
        const __m256i upLo = pairsOf(Bits, above, 0, 1, 4, 5);
        const __m256i upHi = pairsOf(Bits, above, 2, 3, 6, 7);
        const __m256i downLo = pairsOf(Bits, below, 0, 1, 4, 5);
        const __m256i downHi = pairsOf(Bits, below, 2, 3, 6, 7);
        const __m256i wxLo = K::spreadLo(wx);
        const __m256i wxHi = K::spreadHi(wx);
        const __m256i lo = K::mix16(K::mix16(V::lo8(upLo), V::hi8(upLo), wxLo),
                                    K::mix16(V::lo8(downLo), V::hi8(downLo), wxLo), K::spreadLo(wy));
        const __m256i hi = K::mix16(K::mix16(V::lo8(upHi), V::hi8(upHi), wxHi),
                                    K::mix16(V::lo8(downHi), V::hi8(downHi), wxHi), K::spreadHi(wy));
        V::store(Out + i, V::pack16(lo, hi));
        xs = V::add32(xs, stepX);
        ys = V::add32(ys, stepY);
    }
    if (i < Count)
        K::affineLinear(Bits, Stride, K::sumAt(X0, Ax, i), K::sumAt(Y0, Ay, i), Ax, Ay, Out + i, Count - i);
}

// The nearest span one pixel at a time: a copy per pixel with two additions for its position costs less
// than filling vector lanes with pixels from scattered rows.
void affineNearestCopy(const TColor32* Bits, int32_t Stride, int32_t X0, int32_t Y0, int32_t Ax, int32_t Ay,
                       TColor32* Out, int Count) {
    auto xs = static_cast<uint32_t>(X0);
    auto ys = static_cast<uint32_t>(Y0);
    for (int i = 0; i < Count; ++i) {
        Out[i] = Bits[(static_cast<int32_t>(ys) >> NearestShift) * Stride +
                      (static_cast<int32_t>(xs) >> NearestShift)];
        xs += static_cast<uint32_t>(Ax);
        ys += static_cast<uint32_t>(Ay);
    }
}

constexpr TVectorKernels Avx2Table = [] {
    TVectorKernels t = Kernels<Avx2>::table;
    t.AffineLinear = affineLinearPairs;
    t.AffineNearest = affineNearestCopy;
    return t;
}();

} // namespace

const TVectorKernels& Avx2Kernels() {
    return Avx2Table;
}

} // namespace g32::detail

#endif
