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

// Whether SSE2 (always on x86-64) and AVX2 (with the operating system saving the wide registers) are
// there: the row kernels of the transfers pick their width from them.
bool HasSSE2();
bool HasAVX2();

// The MMX decision from CPUID's answers: never before family 5, else the MMX feature bit.
bool MmxFromCpuid(bool hasCpuid, std::uint32_t signature, std::uint32_t features);
// The AVX2 decision: the AVX2 bit of leaf 7 (EBX), the OSXSAVE and AVX bits of leaf 1 (ECX), and the
// SSE and AVX state enabled in XCR0.
bool Avx2FromCpuid(std::uint32_t leaf1Ecx, std::uint32_t leaf7Ebx, std::uint64_t xcr0);

} // namespace g32
