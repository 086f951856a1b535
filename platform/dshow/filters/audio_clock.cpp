#include "platform/dshow/filters/audio_clock.h"

#include <algorithm>

namespace platform::dshow::filters {

namespace {
constexpr int64_t kNanosPerUnit = 100;
}

void AudioClock::restart(std::optional<REFERENCE_TIME> segmentStart) {
    std::lock_guard lock(mutex_);
    base_.reset();
    anchor_ = segmentStart.value_or(0);
    given_ = anchor_;
    anchorWall_ = Clock::now();
    anchored_ = false;
    ended_ = false;
}

void AudioClock::setBase(REFERENCE_TIME base) {
    std::lock_guard lock(mutex_);
    base_ = base;
    anchor_ = base;
    given_ = base;
}

std::optional<REFERENCE_TIME> AudioClock::base() {
    std::lock_guard lock(mutex_);
    return base_;
}

void AudioClock::played(REFERENCE_TIME given, REFERENCE_TIME heard) {
    std::lock_guard lock(mutex_);
    given_ = given;
    // The wall clock may have run a little ahead of the device between blocks: never step back.
    const Clock::time_point now = Clock::now();
    anchor_ = anchored_ ? std::max(heard, std::min(currentLocked(now), given)) : heard;
    anchorWall_ = now;
    anchored_ = true;
}

void AudioClock::setRunning(bool running) {
    std::lock_guard lock(mutex_);
    const Clock::time_point now = Clock::now();
    anchor_ = currentLocked(now);
    anchorWall_ = now;
    running_ = running;
}

void AudioClock::ended() {
    std::lock_guard lock(mutex_);
    const Clock::time_point now = Clock::now();
    anchor_ = currentLocked(now);
    anchorWall_ = now;
    anchored_ = true;
    ended_ = true;
}

REFERENCE_TIME AudioClock::now() {
    std::lock_guard lock(mutex_);
    return currentLocked(Clock::now());
}

REFERENCE_TIME AudioClock::currentLocked(Clock::time_point when) const {
    if (!running_ || !anchored_)
        return anchor_;
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(when - anchorWall_).count();
    const REFERENCE_TIME free = anchor_ + std::max<int64_t>(elapsed, 0) / kNanosPerUnit;
    return ended_ ? free : std::min(free, std::max(given_, anchor_));
}

} // namespace platform::dshow::filters
