#include "g32/g32_cpuid.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace g32 {

namespace {

constexpr unsigned FeatureLeaf = 1;
constexpr std::uint32_t FamilyShift = 8;
constexpr std::uint32_t FamilyMask = 0xF;
constexpr std::uint32_t FirstMmxFamily = 5;
constexpr std::uint32_t MmxFeatureBit = 1u << 23;
constexpr std::uint32_t Sse2FeatureBit = 1u << 26;
constexpr unsigned ExtendedLeaf = 7;
constexpr std::uint32_t OsxsaveBit = 1u << 27; // leaf 1 ECX
constexpr std::uint32_t AvxBit = 1u << 28;     // leaf 1 ECX
constexpr std::uint32_t Avx2Bit = 1u << 5;     // leaf 7 EBX
constexpr std::uint64_t SseAvxState = 0x6;     // XCR0: XMM and YMM state

struct Leaf1 {
    std::uint32_t eax = 0;
    std::uint32_t edx = 0;
};

Leaf1 readLeaf1() {
    Leaf1 leaf;
#if defined(__i386__) || defined(__x86_64__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(FeatureLeaf, &eax, &ebx, &ecx, &edx)) {
        leaf.eax = eax;
        leaf.edx = edx;
    }
#endif
    return leaf;
}

} // namespace

bool HasCPUID() {
#if defined(__x86_64__)
    return true;
#elif defined(__i386__)
    // The compiler's helper flips the identification flag of the flags register to find out.
    return __get_cpuid_max(0, nullptr) != 0;
#else
    return false;
#endif
}

std::uint32_t CPUSignature() {
    return HasCPUID() ? readLeaf1().eax : 0;
}

std::uint32_t CPUFeatures() {
    return HasCPUID() ? readLeaf1().edx : 0;
}

bool MmxFromCpuid(bool hasCpuid, std::uint32_t signature, std::uint32_t features) {
    if (!hasCpuid || ((signature >> FamilyShift) & FamilyMask) < FirstMmxFamily)
        return false;
    return (features & MmxFeatureBit) != 0;
}

bool Avx2FromCpuid(std::uint32_t leaf1Ecx, std::uint32_t leaf7Ebx, std::uint64_t xcr0) {
    if ((leaf1Ecx & OsxsaveBit) == 0 || (leaf1Ecx & AvxBit) == 0)
        return false;
    return (xcr0 & SseAvxState) == SseAvxState && (leaf7Ebx & Avx2Bit) != 0;
}

bool HasSSE2() {
    return HasCPUID() && (CPUFeatures() & Sse2FeatureBit) != 0;
}

bool HasAVX2() {
#if defined(__i386__) || defined(__x86_64__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!HasCPUID() || !__get_cpuid(FeatureLeaf, &eax, &ebx, &ecx, &edx))
        return false;
    const std::uint32_t leaf1Ecx = ecx;
    if ((leaf1Ecx & OsxsaveBit) == 0)
        return false; // XGETBV would fault
    if (static_cast<std::uint32_t>(__get_cpuid_max(0, nullptr)) < ExtendedLeaf)
        return false;
    __cpuid_count(ExtendedLeaf, 0, eax, ebx, ecx, edx);
    std::uint32_t xcr0Low = 0, xcr0High = 0;
    __asm__("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
    return Avx2FromCpuid(leaf1Ecx, ebx, (static_cast<std::uint64_t>(xcr0High) << 32) | xcr0Low);
#else
    return false;
#endif
}

bool HasMMX() {
    const bool cpuid = HasCPUID();
    return MmxFromCpuid(cpuid, cpuid ? CPUSignature() : 0, cpuid ? CPUFeatures() : 0);
}

} // namespace g32
