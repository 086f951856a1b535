#pragma once

// Internal to the transfers: how one source pixel is combined into a destination pixel.

#include "g32/g32_bitmap32.h"
#include "g32/g32_blend.h"

namespace g32::detail {

class Combiner {
public:
    // fullAlphaUnscaled: at a master alpha of 255, mix by the source alpha alone (ColorOverInto).
    Combiner(TDrawMode mode, TColor32 masterAlpha, const TPixelCombineEvent& callback, bool fullAlphaUnscaled)
        : mode_(mode == TDrawMode::dmCustom && !callback ? TDrawMode::dmOpaque : mode), master_(masterAlpha),
          callback_(callback), unscaled_(fullAlphaUnscaled && masterAlpha == ChannelMax) {}

    TDrawMode mode() const { return mode_; }
    bool blends() const { return mode_ == TDrawMode::dmBlend; }

    void operator()(TColor32 C, TColor32& D) const {
        switch (mode_) {
        case TDrawMode::dmOpaque:
            D = C;
            break;
        case TDrawMode::dmBlend:
            if (unscaled_)
                ColorOverInto(C, D);
            else
                ColorOverScaledInto(C, D, master_);
            break;
        case TDrawMode::dmCustom:
            callback_(C, D, master_);
            break;
        }
    }

private:
    TDrawMode mode_;
    TColor32 master_;
    const TPixelCombineEvent& callback_;
    bool unscaled_;
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
