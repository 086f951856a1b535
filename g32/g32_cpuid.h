#pragma once

// What the processor offers, from the CPUID instruction.

#include <cstdint>

namespace g32 {

// Whether the CPUID instruction exists (always on x86-64; never off x86).
bool HasCPUID();
// EAX and EDX of CPUID function 1 (0 without CPUID).
std::uint32_t CPUSignature();
std::uint32_t CPUFeatures();
// Whether the MMX instruction set is there.
bool HasMMX();

// The MMX decision from CPUID's answers: never before family 5, else the MMX feature bit.
bool MmxFromCpuid(bool hasCpuid, std::uint32_t signature, std::uint32_t features);

} // namespace g32
