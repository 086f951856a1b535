#pragma once

// The texts of the amplifier window: times and the gain label.

#include <cstdint>
#include <string>

namespace tools::amplifier {

// "hh:mm:ss" with each part padded to two digits; the hours may have more.
std::string secondsToText(int64_t seconds);

// The gain label: position / 10 with one decimal, right-aligned in 5 characters, then " db".
std::string gainText(int position);

// The timer's text: elapsed time, " - Total : " and the estimate of the whole job, elapsed x count /
// processed rounded down (the elapsed time alone while nothing has been processed).
std::string progressText(int64_t elapsedSeconds, int64_t count, int64_t processed);

} // namespace tools::amplifier
