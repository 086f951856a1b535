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
    static R gather(const TColor32* base, R index) {
        constexpr int PixelBytes = 4;
        return _mm256_i32gather_epi32(reinterpret_cast<const int*>(base), index, PixelBytes);
    }
};

} // namespace

} // namespace g32::detail

#include "g32/vector_rows_impl.h"

namespace g32::detail {

const TVectorKernels& Avx2Kernels() {
    return Kernels<Avx2>::table;
}

} // namespace g32::detail

#endif
