#include "g32/g32_lowlevel.h"

#include <algorithm>

namespace g32 {

namespace {
constexpr int WordBits = 32;

std::uint32_t magnitude(std::int32_t v) {
    return v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
}
} // namespace

void Fill32(TColor32* X, int Count, TColor32 Value) {
    if (Count > 0)
        std::fill_n(X, Count, Value);
}

std::int32_t SafeMulDiv(std::int32_t A, std::int32_t B, std::int32_t D) {
    const bool negative = (A ^ B ^ D) < 0;
    const std::uint32_t a = magnitude(A);
    const std::uint32_t b = magnitude(B);
    const std::uint32_t d = magnitude(D);
    const std::uint64_t product = static_cast<std::uint64_t>(a) * b;
    const auto high = static_cast<std::uint32_t>(product >> WordBits);
    if (static_cast<std::uint32_t>(high * 2) >= d)
        return -1;
    std::uint32_t q = static_cast<std::uint32_t>(product / d);
    const std::uint32_t r = static_cast<std::uint32_t>(product % d);
    if (d - r <= r)
        ++q;
    const std::int64_t result = negative ? -static_cast<std::int64_t>(q) : static_cast<std::int64_t>(q);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(result)); // beyond 31 bits it wraps
}

} // namespace g32
