#pragma once

// The texts of the progress window: durations, the location line, the percentage and the time left.

#include <cstdint>
#include <string>

namespace quillon {

// At or above this many seconds (100 hours) a duration reads "infinite".
inline constexpr int64_t kInfiniteSeconds = 360000;

// "h:mm:ss" with unpadded hours; "0:00:00" for 0 and below; "infinite" from 100 hours on.
std::string durationText(int64_t seconds);
// "<position> / <total>" in decimal bytes.
std::string locationText(int64_t position, int64_t total);
// position * 100 / total in single precision; 0 when total is 0.
float percentOf(int64_t position, int64_t total);
// "%3.2f%%".
std::string percentText(float percent);
// The whole percent the bar shows (truncated toward zero).
int32_t barPercent(float percent);
// Seconds still needed at the rate so far: elapsed * (total - position) / position.
int64_t remainingSeconds(int64_t elapsed, int64_t position, int64_t total);

} // namespace quillon
