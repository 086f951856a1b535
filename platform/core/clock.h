#pragma once

// Date-time values as the original toolkit kept them (days since 1899-12-30 as a 64-bit float, the
// fraction being the time of day), their texts, and a monotonic clock for elapsed times.

#include <cstdint>
#include <string>

namespace platform::core {

using DateTime = double;

// Local date and time now.
DateTime now();
DateTime encodeDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                        int msec = 0);
struct DateTimeParts {
    int year, month, day, hour, minute, second, msec;
};
DateTimeParts decodeDateTime(DateTime value);

// Always 24-hour "hh:mm:ss", zero-padded.
std::string timeText(DateTime value);
// The locale's numeric short date (for example "08/12/2026" or "12/8/26").
std::string shortDateText(DateTime value);

// Milliseconds from an arbitrary start, never going back.
int64_t monotonicMs();

} // namespace platform::core
