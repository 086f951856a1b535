#include "quillon/progress_text.h"

#include <cstdio>

namespace quillon {

namespace {
constexpr int64_t kSecondsPerHour = 3600;
constexpr int64_t kSecondsPerMinute = 60;

// Minutes and seconds: two digits.
std::string twoDigits(int64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, value > 9 ? "%ld" : "0%ld", static_cast<long>(value));
    return text;
}
} // namespace

std::string durationText(int64_t seconds) {
    if (seconds <= 0)
        return "0:00:00";
    if (seconds >= kInfiniteSeconds)
        return "infinite";
    char hours[24];
    std::snprintf(hours, sizeof hours, "%ld", static_cast<long>(seconds / kSecondsPerHour));
    const int64_t minutes = seconds % kSecondsPerHour / kSecondsPerMinute;
    return std::string(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(seconds % kSecondsPerMinute);
}

std::string locationText(int64_t position, int64_t total) {
    return std::to_string(position) + " / " + std::to_string(total);
}

float percentOf(int64_t position, int64_t total) {
    if (total == 0)
        return 0.0f;
    return static_cast<float>(position) * 100.0f / static_cast<float>(total);
}

std::string percentText(float percent) {
    char text[48];
    std::snprintf(text, sizeof text, "%3.2f%%", static_cast<double>(percent));
    return text;
}

int32_t barPercent(float percent) {
    return static_cast<int32_t>(percent);
}

int64_t remainingSeconds(int64_t elapsed, int64_t position, int64_t total) {
    if (position <= 0)
        return 0;
    // elapsed counts seconds of one run and the difference bytes of one stream: far from overflowing.
    return elapsed * (total - position) / position;
}

} // namespace quillon
