#include "g32/g32_blend.h"

#include "g32/blend_forms.h"
#include "g32/g32_cpuid.h"

#if defined(__x86_64__) || defined(__i386__)
#include <mmintrin.h>
#endif

namespace g32 {

namespace {

struct Choice {
    bool mmx = HasMMX();
    const TBlendTable* table = mmx ? &detail::MmxForms() : &detail::PlainForms();
};

const Choice& choice() {
    static const Choice chosen;
    return chosen;
}

} // namespace

const TBlendTable& PlainBlendTable() {
    return detail::PlainForms();
}

const TBlendTable& MmxBlendTable() {
    return detail::MmxForms();
}

const TBlendTable& BlendTable() {
    return *choice().table;
}

bool MMXActive() {
    return choice().mmx;
}

void EndMMX() {
#if defined(__x86_64__) || defined(__i386__)
    if (MMXActive())
        _mm_empty();
#endif
}

} // namespace g32
