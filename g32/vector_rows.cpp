#include "g32/vector_rows.h"

#include "g32/blend_forms.h"
#include "g32/g32_cpuid.h"

namespace g32::detail {

TVectorLevel BestVectorLevel() {
#if defined(__x86_64__)
    static const TVectorLevel level = HasAVX2()   ? TVectorLevel::AVX2
                                      : HasSSE2() ? TVectorLevel::SSE2
                                                  : TVectorLevel::None;
    return level;
#else
    return TVectorLevel::None;
#endif
}

const TVectorKernels* VectorKernels(TVectorLevel level) {
#if defined(__x86_64__)
    if (level == TVectorLevel::None || static_cast<int>(level) > static_cast<int>(BestVectorLevel()))
        return nullptr;
    return level == TVectorLevel::AVX2 ? &Avx2Kernels() : &Sse2Kernels();
#else
    (void)level;
    return nullptr;
#endif
}

TTransferPath& TransferPath() {
    static TTransferPath path{&BlendTable(), MMXActive() ? BestVectorLevel() : TVectorLevel::None};
    return path;
}

const TVectorKernels* ActiveVectorKernels() {
    const TTransferPath& path = TransferPath();
    // The kernels give the MMX forms' bits: with the plain forms the transfers stay pixel by pixel.
    if (path.forms != &MmxForms() && path.forms != &MmxScalarForms())
        return nullptr;
    return VectorKernels(path.vectors);
}

} // namespace g32::detail
