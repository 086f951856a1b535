// The MMX forms: both colours widened to four 16-bit lanes, per lane ((F - B) * W + B * 256 + 128) div 256
// with the product taken modulo 2^16, packed back to bytes with unsigned saturation. On x86 the lanes are
// the low half of an SSE2 register and the weight comes from the 8-byte-aligned weight table.

#include "g32/blend_forms.h"
#include "g32/vector_rows.h"

#include <cstddef>
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace g32::detail {

namespace {

constexpr int LaneCount = 4;
constexpr int ByteShift = 8;
constexpr std::uint32_t LaneMask = 0xFFFF;
constexpr std::uint32_t RoundingBias = 128;

// 256 entries of four 16-bit lanes, entry i holding i in each lane, in a heap block of 2056 bytes whose
// start is rounded up to a multiple of 8.
class WeightTable {
public:
    static constexpr std::size_t Entries = 256;
    static constexpr std::size_t EntrySize = 8;
    static constexpr std::size_t BlockSize = Entries * EntrySize + EntrySize;

    WeightTable() : block_(new unsigned char[BlockSize]) {
        const auto address = reinterpret_cast<std::uintptr_t>(block_.get());
        const std::size_t skip = (EntrySize - address % EntrySize) % EntrySize;
        entries_ = block_.get() + skip;
        for (std::size_t i = 0; i < Entries; ++i) {
            const auto lane = static_cast<std::uint16_t>(i);
            for (int l = 0; l < LaneCount; ++l)
                std::memcpy(entries_ + i * EntrySize + l * sizeof lane, &lane, sizeof lane);
        }
    }
    const unsigned char* entry(TColor32 W) const { return entries_ + ClampWeight(W) * EntrySize; }
    const unsigned char* bias() const { return entry(RoundingBias); }

private:
    std::unique_ptr<unsigned char[]> block_;
    unsigned char* entries_ = nullptr;
};

const WeightTable& weights() {
    static const WeightTable table;
    return table;
}

// Lanes computed one by one in 16-bit arithmetic.
struct ScalarLanes {
    static TColor32 mix(TColor32 F, TColor32 B, TColor32 W) {
        W = ClampWeight(W);
        TColor32 out = 0;
        for (int lane = 0; lane < LaneCount; ++lane) {
            const int shift = lane * ByteShift;
            const std::uint32_t f = (F >> shift) & ChannelMax;
            const std::uint32_t b = (B >> shift) & ChannelMax;
            std::uint32_t v = ((f - b) * W) & LaneMask;
            v = (v + ((b << ByteShift) & LaneMask)) & LaneMask;
            v = ((v + RoundingBias) & LaneMask) >> ByteShift;
            out |= (v > ChannelMax ? ChannelMax : v) << shift;
        }
        return out;
    }
    static TColor32 over(TColor32 F, TColor32 B) { return mix(F, B, AlphaComponent(F)); }
};

#if defined(__SSE2__)
struct SseLanes {
    static TColor32 lanes(__m128i f, __m128i b, __m128i w) {
        __m128i d = _mm_mullo_epi16(_mm_sub_epi16(f, b), w);
        d = _mm_add_epi16(d, _mm_slli_epi16(b, ByteShift));
        d = _mm_add_epi16(d, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(weights().bias())));
        d = _mm_srli_epi16(d, ByteShift);
        return static_cast<TColor32>(_mm_cvtsi128_si32(_mm_packus_epi16(d, d)));
    }
    static __m128i widen(TColor32 c) {
        return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(c)), _mm_setzero_si128());
    }
    static TColor32 mix(TColor32 F, TColor32 B, TColor32 W) {
        const __m128i w = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(weights().entry(W)));
        return lanes(widen(F), widen(B), w);
    }
    static TColor32 over(TColor32 F, TColor32 B) {
        const __m128i f = widen(F);
        constexpr int AlphaLaneEverywhere = 0xFF; // lane 3 into lanes 0..3
        return lanes(f, widen(B), _mm_shufflelo_epi16(f, AlphaLaneEverywhere));
    }
};
#endif

template <class Lanes>
struct Forms {
    static TColor32 ColorMix(TColor32 F, TColor32 B, TColor32 W) { return Lanes::mix(F, B, W); }
    static void ColorMixInto(TColor32 F, TColor32& B, TColor32 W) {
        W = ClampWeight(W);
        if (W == 0)
            return;
        B = W == ChannelMax ? F : Lanes::mix(F, B, W);
    }
    static TColor32 ColorOver(TColor32 F, TColor32 B) { return Lanes::over(F, B); }
    static void ColorOverInto(TColor32 F, TColor32& B) {
        const TColor32 a = AlphaComponent(F);
        if (a == 0)
            return;
        B = a >= ChannelMax ? F : Lanes::over(F, B);
    }
    static TColor32 ColorOverScaled(TColor32 F, TColor32 B, TColor32 M) {
        const TColor32 W = ScaledWeight(F, M);
        return W == 0 ? B : Lanes::mix(F, B, W);
    }
    static void ColorOverScaledInto(TColor32 F, TColor32& B, TColor32 M) { B = ColorOverScaled(F, B, M); }
    static void RowOver(const TColor32* Src, TColor32* Dst, int Count) {
        for (int i = 0; i < Count; ++i)
            ColorOverInto(Src[i], Dst[i]);
    }
    static void RowOverScaled(const TColor32* Src, TColor32* Dst, int Count, TColor32 M) {
        for (int i = 0; i < Count; ++i)
            ColorOverScaledInto(Src[i], Dst[i], M);
    }
    static const TBlendTable& table() {
        static const TBlendTable t{ColorMix,        ColorMixInto,        ColorOver, ColorOverInto,
                                   ColorOverScaled, ColorOverScaledInto, RowOver,   RowOverScaled};
        return t;
    }
};

} // namespace

const TBlendTable& MmxScalarForms() {
    return Forms<ScalarLanes>::table();
}

const TBlendTable& MmxForms() {
#if defined(__SSE2__)
    // The row slots take the widest row kernels the processor has.
    static const TBlendTable table = [] {
        TBlendTable t = Forms<SseLanes>::table();
        if (const TVectorKernels* rows = VectorKernels(BestVectorLevel())) {
            t.RowOver = rows->RowOver;
            t.RowOverScaled = rows->RowOverScaled;
        }
        return t;
    }();
    return table;
#else
    return MmxScalarForms();
#endif
}

} // namespace g32::detail
