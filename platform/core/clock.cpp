#include "platform/core/clock.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <locale.h>

namespace platform::core {

namespace {

constexpr int64_t MsPerDay = 86'400'000;
constexpr int64_t MsPerSecond = 1000;
// Days since 0000-03-01 of a civil date (the usual era-based conversion, valid for any year >= 0).
constexpr int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146'097 + doe;
}

// 1899-12-30, the day of value 0.
constexpr int64_t EpochShift = daysFromCivil(1899, 12, 30);

void civilFromDays(int64_t z, int& year, int& month, int& day) {
    const int64_t era = (z >= 0 ? z : z - 146'096) / 146'097;
    const int64_t doe = z - era * 146'097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

std::tm toTm(DateTime value) {
    const DateTimeParts p = decodeDateTime(value);
    std::tm t{};
    t.tm_year = p.year - 1900;
    t.tm_mon = p.month - 1;
    t.tm_mday = p.day;
    t.tm_hour = p.hour;
    t.tm_min = p.minute;
    t.tm_sec = p.second;
    // Day of the week and of the year, which some locales' date formats show.
    const int64_t days = daysFromCivil(p.year, p.month, p.day);
    t.tm_wday = static_cast<int>(((days + 3) % 7 + 7) % 7); // 0000-03-01 was a Wednesday
    t.tm_yday = static_cast<int>(days - daysFromCivil(p.year, 1, 1));
    t.tm_isdst = -1;
    return t;
}

} // namespace

DateTime now() {
    timespec ts{};
    if (clock_gettime(CLOCK_REALTIME, &ts) != 0)
        return 0;
    std::tm t{};
    if (!localtime_r(&ts.tv_sec, &t))
        return 0;
    return encodeDateTime(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                          static_cast<int>(ts.tv_nsec / 1'000'000));
}

DateTime encodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
    const int64_t days = daysFromCivil(year, month, day) - EpochShift;
    const int64_t ms = ((static_cast<int64_t>(hour) * 60 + minute) * 60 + second) * MsPerSecond + msec;
    const double fraction = static_cast<double>(ms) / static_cast<double>(MsPerDay);
    // Before day 0 the fraction counts away from zero, as the toolkit's values did.
    return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

DateTimeParts decodeDateTime(DateTime value) {
    DateTimeParts p{};
    if (!std::isfinite(value))
        value = 0;
    int64_t days = static_cast<int64_t>(std::trunc(value));
    int64_t ms = std::llround(std::fabs(value - std::trunc(value)) * static_cast<double>(MsPerDay));
    if (ms >= MsPerDay) { // a fraction that rounds up to a whole day
        ms -= MsPerDay;
        days += value >= 0 ? 1 : -1;
    }
    civilFromDays(days + EpochShift, p.year, p.month, p.day);
    p.msec = static_cast<int>(ms % MsPerSecond);
    const int64_t seconds = ms / MsPerSecond;
    p.second = static_cast<int>(seconds % 60);
    p.minute = static_cast<int>(seconds / 60 % 60);
    p.hour = static_cast<int>(seconds / 3600);
    return p;
}

std::string timeText(DateTime value) {
    const DateTimeParts p = decodeDateTime(value);
    std::array<char, 16> buf{};
    std::snprintf(buf.data(), buf.size(), "%02d:%02d:%02d", p.hour, p.minute, p.second);
    return buf.data();
}

std::string shortDateText(DateTime value) {
    const std::tm t = toTm(value);
    // The user's date format (LC_ALL, LC_TIME or LANG) without touching the process's own locale.
    locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (!loc)
        loc = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
    std::array<char, 128> buf{};
    size_t n = 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-y2k" // the locale's own short date is what is wanted
    if (loc) {
        n = strftime_l(buf.data(), buf.size(), "%x", &t, loc);
        freelocale(loc);
    } else {
        n = std::strftime(buf.data(), buf.size(), "%x", &t);
    }
#pragma GCC diagnostic pop
    return std::string(buf.data(), n);
}

int64_t monotonicMs() {
    timespec ts{};
    if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0)
        return 0;
    return static_cast<int64_t>(ts.tv_sec) * MsPerSecond + ts.tv_nsec / 1'000'000;
}

} // namespace platform::core
