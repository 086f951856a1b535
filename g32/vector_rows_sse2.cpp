// The row kernels four pixels at a time in SSE2 registers (every x86-64 processor has them).

#include "g32/vector_rows.h"

#if defined(__x86_64__)

#include <emmintrin.h>

namespace g32::detail {

namespace {

struct Sse2 {
    using R = __m128i;
    static constexpr int N = 4;

    static R load(const void* p) { return _mm_loadu_si128(static_cast<const R*>(p)); }
    static void store(void* p, R v) { _mm_storeu_si128(static_cast<R*>(p), v); }
    static R set16(short v) { return _mm_set1_epi16(v); }
    static R set32(int v) { return _mm_set1_epi32(v); }
    static R iota() { return _mm_setr_epi32(0, 1, 2, 3); }
    static R lo8(R v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }
    static R hi8(R v) { return _mm_unpackhi_epi8(v, _mm_setzero_si128()); }
    static R pack16(R lo, R hi) { return _mm_packus_epi16(lo, hi); }
    static R add16(R a, R b) { return _mm_add_epi16(a, b); }
    static R sub16(R a, R b) { return _mm_sub_epi16(a, b); }
    static R mul16(R a, R b) { return _mm_mullo_epi16(a, b); }
    static R cmpeq16(R a, R b) { return _mm_cmpeq_epi16(a, b); }
    template <int S>
    static R srl16(R v) {
        return _mm_srli_epi16(v, S);
    }
    template <int S>
    static R sll16(R v) {
        return _mm_slli_epi16(v, S);
    }
    template <int S>
    static R sll32(R v) {
        return _mm_slli_epi32(v, S);
    }
    template <int S>
    static R srai32(R v) {
        return _mm_srai_epi32(v, S);
    }
    static R add32(R a, R b) { return _mm_add_epi32(a, b); }
    static R sub32(R a, R b) { return _mm_sub_epi32(a, b); }
    // The low 32 bits of each product.
    static R mul32(R a, R b) {
        constexpr int EvenLanes = _MM_SHUFFLE(0, 0, 2, 0);
        const R even = _mm_mul_epu32(a, b);
        const R odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
        return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, EvenLanes), _mm_shuffle_epi32(odd, EvenLanes));
    }
    static R and_(R a, R b) { return _mm_and_si128(a, b); }
    static R or_(R a, R b) { return _mm_or_si128(a, b); }
    static R dupLo32(R v) { return _mm_unpacklo_epi32(v, v); }
    static R dupHi32(R v) { return _mm_unpackhi_epi32(v, v); }
    // Each pixel's alpha lane in its four lanes.
    static R alpha16(R v) {
        constexpr int AlphaLane = _MM_SHUFFLE(3, 3, 3, 3);
        return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, AlphaLane), AlphaLane);
    }
    // Four rows of four pixels turned over the diagonal.
    static void transpose(R* r) {
        const R a = _mm_unpacklo_epi32(r[0], r[1]); // 00 10 01 11
        const R b = _mm_unpacklo_epi32(r[2], r[3]); // 20 30 21 31
        const R c = _mm_unpackhi_epi32(r[0], r[1]); // 02 12 03 13
        const R d = _mm_unpackhi_epi32(r[2], r[3]); // 22 32 23 33
        r[0] = _mm_unpacklo_epi64(a, b);
        r[1] = _mm_unpackhi_epi64(a, b);
        r[2] = _mm_unpacklo_epi64(c, d);
        r[3] = _mm_unpackhi_epi64(c, d);
    }
    // Four registers of one pixel's four 32-bit channels each, saturated to bytes, in order.
    static R packSums(R a, R b, R c, R d) {
        return _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
    }
    static R gather(const TColor32* base, R index) {
        const int i0 = _mm_cvtsi128_si32(index);
        const int i1 = _mm_cvtsi128_si32(_mm_shuffle_epi32(index, _MM_SHUFFLE(1, 1, 1, 1)));
        const int i2 = _mm_cvtsi128_si32(_mm_shuffle_epi32(index, _MM_SHUFFLE(2, 2, 2, 2)));
        const int i3 = _mm_cvtsi128_si32(_mm_shuffle_epi32(index, _MM_SHUFFLE(3, 3, 3, 3)));
        return _mm_setr_epi32(static_cast<int>(base[i0]), static_cast<int>(base[i1]),
                              static_cast<int>(base[i2]), static_cast<int>(base[i3]));
    }
};

} // namespace

} // namespace g32::detail

#include "g32/vector_rows_impl.h"

namespace g32::detail {

const TVectorKernels& Sse2Kernels() {
    return Kernels<Sse2>::table;
}

} // namespace g32::detail

#endif
