#include "tools/muxer/mux_text.h"

#include "platform/core/paths.h"
#include "platform/core/text.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace tools::muxer {

namespace core = platform::core;

namespace {

constexpr int64_t SecondsPerMinute = 60;
constexpr int64_t SecondsPerHour = 3600;
constexpr int64_t HoursLimit = 100; // three digits
constexpr int64_t ShortestShownSeconds = 2;
constexpr double SmallestPercent = 0.01;
constexpr double PercentScale = 100.0;
constexpr double PreloadScale = 100.0;
constexpr int MsecPerPosition = 10;

std::string twoDigits(int64_t value) {
    std::string text = core::intToStr(value);
    return text.size() < 2 ? "0" + text : text;
}

double totalSeconds(int64_t elapsed, double percent) {
    if (percent == 0)
        percent = SmallestPercent;
    return static_cast<double>(elapsed) * PercentScale / percent;
}

int64_t clampToSeconds(double value) {
    // Beyond this the text shows "00:00:00" anyway; the clamp keeps the conversion defined.
    constexpr double Largest = static_cast<double>(std::numeric_limits<int32_t>::max());
    if (!(value < Largest))
        return static_cast<int64_t>(Largest);
    return value < 0 ? 0 : static_cast<int64_t>(value);
}

} // namespace

DelayNumber parseDelayText(std::string_view text) {
    std::string integer;
    std::string fraction;
    bool inFraction = false;
    for (char c : text) {
        if (c == '.') {
            inFraction = true;
        } else if (c >= '0' && c <= '9') {
            (inFraction ? fraction : integer) += c;
        } else {
            return {false, 0};
        }
    }
    const std::string number = (integer.empty() ? "0" : integer) + "." + (fraction.empty() ? "0" : fraction);
    const double value = std::strtod(number.c_str(), nullptr);
    return {true, std::isfinite(value) ? value : 0};
}

DelayNumber signedDelayOf(std::string_view delayText, std::string_view direction) {
    DelayNumber delay = parseDelayText(delayText);
    if (direction == "later")
        delay.value = -delay.value;
    return delay;
}

double preloadSecondsOf(int position) {
    return position / PreloadScale;
}

std::string preloadCaption(int position) {
    return std::to_string(position * MsecPerPosition) + " msec";
}

std::string muxTimeText(int64_t seconds) {
    if (seconds < ShortestShownSeconds)
        return "00:00:00";
    const int64_t hours = seconds / SecondsPerHour;
    if (hours >= HoursLimit)
        return "00:00:00";
    const int64_t minutes = seconds % SecondsPerHour / SecondsPerMinute;
    return twoDigits(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(seconds % SecondsPerMinute);
}

int64_t totalSecondsDown(int64_t elapsed, double percent) {
    return clampToSeconds(std::floor(totalSeconds(elapsed, percent)));
}

int64_t totalSecondsNearest(int64_t elapsed, double percent) {
    return clampToSeconds(std::nearbyint(totalSeconds(elapsed, percent)));
}

std::string elapsedText(int64_t elapsed, int64_t total) {
    return "Elapsed : " + muxTimeText(elapsed) + " - Total time : " + muxTimeText(total);
}

std::string secondPartName(std::string_view target) {
    return core::insertBeforeExt(target, "2");
}

std::string clipPathOf(std::string_view prefix, int32_t width, int32_t height) {
    return std::string(prefix) + core::intToStr(width) + "x" + core::intToStr(height) + ".avi";
}

std::string unsupportedResolutionText(int32_t width, int32_t height) {
    return "VEXLOR : UNSUPPORTED RESOLUTION " + core::intToStr(width) + "x" + core::intToStr(height) + " !";
}

std::string unreadableClipText(std::string_view clipPath) {
    return "VEXLOR : CANNOT READ " + core::extractFileName(clipPath) + " !";
}

std::string otherCodingClipText(std::string_view clipPath) {
    return "VEXLOR : " + core::extractFileName(clipPath) + " IS NOT CODED AS THE MOVIE !";
}

} // namespace tools::muxer
