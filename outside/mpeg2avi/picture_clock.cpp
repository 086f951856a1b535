#include "outside/mpeg2avi/picture_clock.h"

namespace mpeg2avi {

namespace {

// The stamp's step from the previous one, read as the shortest way round the 33-bit counter.
int64_t stampStep(int64_t from, int64_t to) {
    int64_t step = (to - from) % PictureClock::kStampWrap;
    if (step < 0)
        step += PictureClock::kStampWrap;
    if (step >= PictureClock::kStampWrap / 2)
        step -= PictureClock::kStampWrap;
    return step;
}

int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

} // namespace

std::optional<int64_t> PictureClock::place(std::optional<int64_t> stamp, int64_t duration) {
    const int64_t expected = end_;
    int64_t time = expected;
    afterGap_ = false;
    if (stamp) {
        const int64_t raw = ((*stamp % kStampWrap) + kStampWrap) % kStampWrap;
        const int64_t unwrapped = lastStamp_ ? lastUnwrapped_ + stampStep(*lastStamp_, raw) : raw;
        if (!lastStamp_) {
            // The first stamp fixes the time base: it gives the time the pictures before it reached.
            base_ = unwrapped - floorDiv(expected, kTicksPerStamp);
            origin_ = ((base_ % kStampWrap) + kStampWrap) % kStampWrap;
        }
        const int64_t stamped = (unwrapped - base_) * kTicksPerStamp;
        const bool back = started_ && stamped <= previous_;
        if (back && ++outOfPlace_ < kOutOfPlaceLimit)
            return std::nullopt;
        outOfPlace_ = 0;
        lastStamp_ = raw;
        lastUnwrapped_ = unwrapped;
        if (back || stamped > expected + kLargestGap) {
            // A new time base: keep counting from where the pictures before it end.
            base_ = unwrapped - floorDiv(expected, kTicksPerStamp);
            time = (unwrapped - base_) * kTicksPerStamp;
        } else {
            time = stamped;
            afterGap_ = started_ && time - expected > (expected - previous_) / 2;
        }
    }
    started_ = true;
    previous_ = time;
    end_ = time + duration;
    return time;
}

std::optional<int64_t> PictureClock::originStamp() const {
    return origin_;
}

} // namespace mpeg2avi
