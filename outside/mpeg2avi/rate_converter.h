#pragma once

// Pictures at their own times onto the AVI's even frame rate: output frame k (at k / rate) shows the
// picture nearest to it, that is the latest picture that begins no later than half a picture period
// after k / rate. Evenly spaced pictures at the output's rate map one to one; at other rates pictures
// are repeated or left out evenly; where the pictures leave a gap (lost data), the picture before it
// is held until the next one is near. The movie keeps its length, and its sync with the sound,
// whatever the source did. All in integers: no rounding adds up over a long movie.

#include "outside/mpeg2avi/geometry.h"

#include <cstdint>

namespace mpeg2avi {

class RateConverter {
    __extension__ typedef __int128 Wide; // products of times and rates overflow 64 bits

public:
    // rate: the AVI's; pictures: the nominal rate of the pictures handed in.
    RateConverter(FrameRate rate, FrameRate pictures) : rate_(rate), pictures_(pictures) {}

    // A picture begins at time (ticks, may be negative): how many output frames the picture before it
    // still fills (those closer to that one).
    int64_t framesBefore(int64_t time) {
        // Frame k goes before the picture when k / rate < time - 1 / (2 × pictures' rate), in whole
        // numbers: 2 k den pnum T < 2 time num pnum - T pden num (T = ticks per second).
        const Wide limit =
            Wide{2} * time * rate_.num * pictures_.num - Wide{kTicksPerSecond} * pictures_.den * rate_.num;
        return advanceWhile(
            [&](Wide k) { return Wide{2} * k * rate_.den * pictures_.num * kTicksPerSecond < limit; });
    }
    // The movie ends at time: how many output frames the last picture fills up to it (those that lie
    // more inside the movie than outside: whole stamps rounded to 90 kHz must not add a frame).
    int64_t framesUntil(int64_t end) {
        return advanceWhile(
            [&](Wide k) { return (2 * k + 1) * rate_.den * kTicksPerSecond < Wide{2} * end * rate_.num; });
    }
    int64_t framesMade() const { return next_; }

private:
    template <typename Before>
    int64_t advanceWhile(Before before) {
        const int64_t from = next_;
        while (before(next_))
            ++next_;
        return next_ - from;
    }

    FrameRate rate_;
    FrameRate pictures_;
    int64_t next_ = 0;
};

} // namespace mpeg2avi
