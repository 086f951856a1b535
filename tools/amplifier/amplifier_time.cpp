#include "tools/amplifier/amplifier_time.h"

#include <cmath>

namespace tools::amplifier {

namespace {

constexpr int64_t SecondsPerHour = 3600;
constexpr int64_t SecondsPerMinute = 60;
constexpr int PositionsPerDecibel = 10;
constexpr size_t GainFieldWidth = 5;

std::string pad2(int64_t value) {
    return value < 10 && value >= 0 ? "0" + std::to_string(value) : std::to_string(value);
}

} // namespace

std::string secondsToText(int64_t seconds) {
    return pad2(seconds / SecondsPerHour) + ":" + pad2(seconds % SecondsPerHour / SecondsPerMinute) + ":" +
           pad2(seconds % SecondsPerMinute);
}

std::string gainText(int position) {
    // Built by hand so that the decimal separator is "." whatever the locale.
    const int magnitude = position < 0 ? -position : position;
    std::string text = (position < 0 ? "-" : "") + std::to_string(magnitude / PositionsPerDecibel) + "." +
                       std::to_string(magnitude % PositionsPerDecibel);
    if (text.size() < GainFieldWidth)
        text.insert(0, GainFieldWidth - text.size(), ' ');
    return text + " db";
}

std::string progressText(int64_t elapsedSeconds, int64_t count, int64_t processed) {
    const std::string elapsed = secondsToText(elapsedSeconds);
    if (processed <= 0)
        return elapsed;
    const auto estimate = static_cast<int64_t>(std::floor(
        static_cast<double>(elapsedSeconds) * (static_cast<double>(count) / static_cast<double>(processed))));
    return elapsed + " - Total : " + secondsToText(estimate);
}

} // namespace tools::amplifier
