#include "tools/synchronizer/synch_text.h"

#include "platform/core/text.h"

namespace tools::synchronizer {

namespace core = platform::core;

namespace {

constexpr int SecondsPerHour = 3600;
constexpr int SecondsPerMinute = 60;
constexpr double HundredthsPerSecond = 100.0;
constexpr int32_t HundredthsPerHour = 360000;
constexpr int32_t HundredthsPerMinute = 6000;
constexpr int32_t HundredthsPerSec = 100;
constexpr std::size_t TimeTextLength = 11;
constexpr unsigned char Blank = 32;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int twoDigits(std::string_view text, std::size_t at) {
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

bool controlOrBlank(char key) {
    return static_cast<unsigned char>(key) <= Blank;
}

std::string padded(int32_t value) {
    std::string text = std::to_string(value);
    return text.size() < 2 ? "0" + text : text;
}

} // namespace

double converttosec(std::string_view text) {
    if (text.size() < TimeTextLength)
        return MalformedTime;
    for (const std::size_t at : {0u, 1u, 3u, 4u, 6u, 7u, 9u, 10u})
        if (!isDigit(text[at]))
            return MalformedTime;
    if (text[2] != ':' || text[5] != ':')
        return MalformedTime;
    return twoDigits(text, 0) * SecondsPerHour + twoDigits(text, 3) * SecondsPerMinute + twoDigits(text, 6) +
           twoDigits(text, 9) / HundredthsPerSecond;
}

std::optional<double> ParseDecimal(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    std::string whole;
    std::string fraction;
    bool inFraction = false;
    for (const char c : text) {
        if (c == '.')
            inFraction = true;
        else if (isDigit(c))
            (inFraction ? fraction : whole) += c;
        else
            return std::nullopt;
    }
    long double value = 0;
    if (!core::tryStrToFloat("0" + whole + "." + fraction + "0", value))
        return std::nullopt;
    return static_cast<double>(value);
}

bool IsSignedInteger(std::string_view text) {
    if (!text.empty() && text.front() == '-')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    for (const char c : text)
        if (!isDigit(c))
            return false;
    return true;
}

std::string fixed(double value, int width, int decimals) {
    std::string text = core::formatFixed(value, decimals);
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

std::string FormatFps(double fps) {
    return fixed(fps, 8, 5);
}

std::string CentisecondsToText(int32_t hundredths) {
    const int32_t hours = hundredths / HundredthsPerHour;
    int32_t rest = hundredths % HundredthsPerHour;
    const int32_t minutes = rest / HundredthsPerMinute;
    rest %= HundredthsPerMinute;
    return padded(hours) + ":" + padded(minutes) + ":" + padded(rest / HundredthsPerSec) + "." +
           padded(rest % HundredthsPerSec);
}

void rateKeyFilter(char& key) {
    if (!controlOrBlank(key) && key != '.' && !isDigit(key))
        key = 0;
}

void delayKeyFilter(char& key) {
    if (key != '+' && key != '-')
        rateKeyFilter(key);
}

void signKeyFilter(char& key) {
    if (key != '+' && key != '-')
        key = 0;
}

void gotoTimeKeyFilter(char& key) {
    if (!controlOrBlank(key) && key != ':' && !isDigit(key))
        key = 0;
}

void gotoFrameKeyFilter(char& key) {
    if (!controlOrBlank(key) && !isDigit(key))
        key = 0;
}

} // namespace tools::synchronizer
