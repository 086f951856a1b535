#pragma once

// Internal to the transfers: how one source pixel, or a row of them, is combined into the destination.

#include "g32/g32_bitmap32.h"
#include "g32/g32_blend.h"
#include "g32/vector_rows.h"

#include <cstring>

namespace g32::detail {

class Combiner {
public:
    // fullAlphaUnscaled: at a master alpha of 255, mix by the source alpha alone (ColorOverInto).
    Combiner(TDrawMode mode, TColor32 masterAlpha, const TPixelCombineEvent& callback, bool fullAlphaUnscaled)
        : mode_(mode == TDrawMode::dmCustom && !callback ? TDrawMode::dmOpaque : mode), master_(masterAlpha),
          callback_(callback), unscaled_(fullAlphaUnscaled && masterAlpha == ChannelMax),
          forms_(*TransferPath().forms) {}

    TDrawMode mode() const { return mode_; }
    bool blends() const { return mode_ == TDrawMode::dmBlend; }
    // The mixing forms of the per-pixel path.
    const TBlendTable& forms() const { return forms_; }

    void operator()(TColor32 C, TColor32& D) const {
        switch (mode_) {
        case TDrawMode::dmOpaque:
            D = C;
            break;
        case TDrawMode::dmBlend:
            if (unscaled_)
                forms_.ColorOverInto(C, D);
            else
                forms_.ColorOverScaledInto(C, D, master_);
            break;
        case TDrawMode::dmCustom:
            callback_(C, D, master_);
            break;
        }
    }

    // The same for Count pixels, C[i] into D[i], blending through the row kernels.
    void row(const TColor32* C, TColor32* D, int Count, const TVectorKernels& rows) const {
        if (Count <= 0)
            return;
        switch (mode_) {
        case TDrawMode::dmOpaque:
            std::memcpy(D, C, static_cast<std::size_t>(Count) * sizeof *C);
            break;
        case TDrawMode::dmBlend:
            if (unscaled_)
                rows.RowOver(C, D, Count);
            else
                rows.RowOverScaled(C, D, Count, master_);
            break;
        case TDrawMode::dmCustom:
            for (int i = 0; i < Count; ++i)
                callback_(C[i], D[i], master_);
            break;
        }
    }

private:
    TDrawMode mode_;
    TColor32 master_;
    const TPixelCombineEvent& callback_;
    bool unscaled_;
    const TBlendTable& forms_;
};

// Calls EndMMX when it goes out of scope (also when an exception passes).
class EndMmxScope {
public:
    EndMmxScope() = default;
    ~EndMmxScope() { EndMMX(); }
    EndMmxScope(const EndMmxScope&) = delete;
    EndMmxScope& operator=(const EndMmxScope&) = delete;
};

} // namespace g32::detail
