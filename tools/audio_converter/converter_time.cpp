#include "tools/audio_converter/converter_time.h"

#include <cctype>

namespace tools::audio_converter {

namespace {

constexpr int64_t SecondsPerHour = 3600;
constexpr int64_t SecondsPerMinute = 60;
constexpr int64_t ShortestShown = 2;
constexpr int64_t HoursShownMax = 99;
constexpr size_t TimeTextLength = 8;

int64_t twoDigits(const std::string& text, size_t at) {
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

std::string pad2(int64_t value) {
    return value < 10 ? "0" + std::to_string(value) : std::to_string(value);
}

} // namespace

int64_t timeTextToSeconds(const std::string& input, bool& ok) {
    ok = true;
    if (input.empty())
        return 0;
    std::string text = input;
    if (text.size() >= 2 && text[1] == ':')
        text.insert(0, "0");
    bool valid = text.size() >= TimeTextLength && text[2] == ':' && text[5] == ':';
    for (char c : text)
        valid = valid && (std::isdigit(static_cast<unsigned char>(c)) || c == ':');
    // Hours, minutes and seconds are the two digits at 1-2, 4-5 and 7-8.
    valid = valid && std::isdigit(static_cast<unsigned char>(text[0])) &&
            std::isdigit(static_cast<unsigned char>(text[1])) &&
            std::isdigit(static_cast<unsigned char>(text[3])) &&
            std::isdigit(static_cast<unsigned char>(text[4])) &&
            std::isdigit(static_cast<unsigned char>(text[6])) &&
            std::isdigit(static_cast<unsigned char>(text[7]));
    if (!valid) {
        ok = false;
        return 0;
    }
    return twoDigits(text, 0) * SecondsPerHour + twoDigits(text, 3) * SecondsPerMinute + twoDigits(text, 6);
}

std::string secondsToTimeText(int64_t seconds) {
    const std::string zero = "00:00:00";
    if (seconds < ShortestShown)
        return zero;
    const int64_t hours = seconds / SecondsPerHour;
    if (hours > HoursShownMax)
        return zero;
    return pad2(hours) + ":" + pad2(seconds % SecondsPerHour / SecondsPerMinute) + ":" +
           pad2(seconds % SecondsPerMinute);
}

} // namespace tools::audio_converter
