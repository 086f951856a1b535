#pragma once

// Time texts of a VobSub index: the "hh:mm:ss:mmm" field of its "timestamp:" lines, the adjuster's
// own converters between seconds and that text, and the small number readers of its edits.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tools::vobsub_adjuster {

// A "timestamp:" line holds its time in characters 12 to 23 (1-based).
inline constexpr int TimeFieldStart = 12;
inline constexpr int TimeFieldLength = 12;

// True for a line that the adjuster treats as a timestamp line (it contains "timestamp:").
bool isTimestampLine(std::string_view line);

// The time of a timestamp line in seconds, or nothing when characters 12 to 23 are not a well-formed
// "hh:mm:ss:mmm" (digits with ":" between them).
std::optional<double> timestampSeconds(std::string_view line);

// Seconds from the parts of a time; negated when negative is set.
double time2real(bool negative, int64_t hours, int64_t minutes, int64_t seconds, int64_t thousandths);

// Seconds as "hh:mm:ss:mmm". The time is rounded to whole thousandths first, so the text always has its
// fixed width; times below 0 read 00:00:00:000, times beyond 99:59:59:999 read 99:59:59:999.
std::string real2time(double seconds);

// The "mSec" edit is read as the digits after the decimal point: "5" means 500, "05" means 50.
std::string thousandthsDigits(std::string_view text);

enum class TimeOperation { Add, Multiply };

// The line with its time moved ("+": added to, otherwise multiplied by value); a result below 0
// becomes 0. A line whose time cannot be read comes back unchanged.
std::string adjust(const std::string& line, TimeOperation operation, double value);

// A decimal text read character by character: "." starts the fraction (later dots are skipped), digits
// go to the integer or fraction part; any other character, or an empty text, makes it invalid.
std::optional<double> decimalValue(std::string_view text);

} // namespace tools::vobsub_adjuster
