#pragma once

// Pictures at their own times onto the AVI's even frame rate: output frame k shows the latest picture
// that began at or before k / rate, so a picture is repeated or left out where the rates differ and
// the movie keeps its length (and its sync with the sound) whatever the source did.

#include "outside/mpeg2avi/geometry.h"

#include <cstdint>

namespace mpeg2avi {

class RateConverter {
public:
    explicit RateConverter(FrameRate rate) : rate_(rate) {}

    // A picture begins at time (ticks): how many output frames still show the picture before it.
    int64_t framesBefore(int64_t time) { return advanceTo(time); }
    // The movie ends at time: how many output frames the last picture fills up to it.
    int64_t framesUntil(int64_t end) { return advanceTo(end); }
    int64_t framesMade() const { return next_; }

private:
    int64_t advanceTo(int64_t time) {
        const int64_t from = next_;
        // Frame k begins at k × ticks × den / num; it lies before time when k × ticks × den < time × num.
        while (next_ * kTicksPerSecond * rate_.den < time * rate_.num)
            ++next_;
        return next_ - from;
    }

    FrameRate rate_;
    int64_t next_ = 0;
};

} // namespace mpeg2avi
