#include "tools/vobsub_adjuster/idx_time.h"

#include "platform/core/text.h"

#include <algorithm>
#include <cmath>

namespace tools::vobsub_adjuster {

namespace core = platform::core;

namespace {

constexpr std::string_view TimestampTag = "timestamp:";
constexpr int64_t SecondsPerHour = 3600;
constexpr int64_t SecondsPerMinute = 60;
constexpr int64_t MillisPerSecond = 1000;
constexpr int64_t MillisPerHour = SecondsPerHour * MillisPerSecond;
constexpr int64_t MillisPerMinute = SecondsPerMinute * MillisPerSecond;
// The largest time the fixed-width field can hold: 99:59:59:999.
constexpr int64_t LargestFieldMillis = 100 * MillisPerHour - 1;
constexpr int ThousandthsWidth = 3;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits of field[from, from + count) as a number, or -1 when one is not a digit.
int64_t digitsAt(std::string_view field, std::size_t from, std::size_t count) {
    int64_t value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        if (!isDigit(field[i]))
            return -1;
        value = value * 10 + (field[i] - '0');
    }
    return value;
}

std::string twoDigits(int64_t value) {
    std::string text = std::to_string(value);
    return text.size() < 2 ? "0" + text : text;
}

} // namespace

bool isTimestampLine(std::string_view line) {
    return line.find(TimestampTag) != std::string_view::npos;
}

std::optional<double> timestampSeconds(std::string_view line) {
    const std::size_t start = TimeFieldStart - 1;
    if (line.size() < start + TimeFieldLength)
        return std::nullopt;
    const std::string_view field = line.substr(start, TimeFieldLength);
    if (field[2] != ':' || field[5] != ':' || field[8] != ':')
        return std::nullopt;
    const int64_t hours = digitsAt(field, 0, 2);
    const int64_t minutes = digitsAt(field, 3, 2);
    const int64_t seconds = digitsAt(field, 6, 2);
    const int64_t thousandths = digitsAt(field, 9, 3);
    if (hours < 0 || minutes < 0 || seconds < 0 || thousandths < 0)
        return std::nullopt;
    return time2real(false, hours, minutes, seconds, thousandths);
}

double time2real(bool negative, int64_t hours, int64_t minutes, int64_t seconds, int64_t thousandths) {
    const double value = static_cast<double>(hours * SecondsPerHour + minutes * SecondsPerMinute + seconds) +
                         static_cast<double>(thousandths) / MillisPerSecond;
    return negative ? -value : value;
}

std::string real2time(double seconds) {
    int64_t millis = 0;
    if (std::isfinite(seconds) && seconds > 0)
        millis = seconds * MillisPerSecond >= static_cast<double>(LargestFieldMillis)
                     ? LargestFieldMillis
                     : core::roundHalfEven(static_cast<long double>(seconds) * MillisPerSecond);
    millis = std::clamp<int64_t>(millis, 0, LargestFieldMillis);
    const int64_t h = millis / MillisPerHour;
    const int64_t m = millis % MillisPerHour / MillisPerMinute;
    const int64_t s = millis % MillisPerMinute / MillisPerSecond;
    std::string t = std::to_string(millis % MillisPerSecond);
    t.insert(0, ThousandthsWidth - t.size(), '0');
    return twoDigits(h) + ":" + twoDigits(m) + ":" + twoDigits(s) + ":" + t;
}

std::string thousandthsDigits(std::string_view text) {
    std::string digits(text);
    if (digits.size() == 2)
        digits += "0";
    else if (digits.size() == 1)
        digits += "00";
    return digits;
}

std::string adjust(const std::string& line, TimeOperation operation, double value) {
    const std::optional<double> time = timestampSeconds(line);
    if (!time)
        return line;
    double result = operation == TimeOperation::Add ? *time + value : *time * value;
    if (!(result > 0))
        result = 0;
    std::string adjusted = line;
    adjusted.replace(TimeFieldStart - 1, TimeFieldLength, real2time(result));
    return adjusted;
}

std::optional<double> decimalValue(std::string_view text) {
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

} // namespace tools::vobsub_adjuster
