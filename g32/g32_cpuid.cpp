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

bool HasMMX() {
    const bool cpuid = HasCPUID();
    return MmxFromCpuid(cpuid, cpuid ? CPUSignature() : 0, cpuid ? CPUFeatures() : 0);
}

} // namespace g32
