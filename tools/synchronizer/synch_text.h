#pragma once

// The small parsers, formatters and key filters of the synchronizer window.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tools::synchronizer {

// "hh:mm:ss.cc" to seconds: digits at characters 1, 2, 4, 5, 7, 8, 10 and 11 and ":" at 3 and 6
// (character 9 is not examined). A malformed text gives MalformedTime; the window then shows its
// malformed-time message.
inline constexpr double MalformedTime = -1.0;
double converttosec(std::string_view text);

// A decimal text read character by character: "." switches to the fraction ("1.2.3" reads 1.23),
// digits are appended; any other character, or an empty text, makes it invalid (nothing). The window
// shows the text followed by its invalid-number message and takes 0.
std::optional<double> ParseDecimal(std::string_view text);

// Not empty, and all digits or "-" followed by at least one digit ("+" is not accepted).
bool IsSignedInteger(std::string_view text);

// The number written with `decimals` decimals, right-aligned with leading blanks to `width`.
std::string fixed(double value, int width, int decimals);
// fixed(8, 5).
std::string FormatFps(double fps);

// A count of hundredths as hh:mm:ss.cc (hours above 99 take more digits).
std::string CentisecondsToText(int32_t hundredths);

// Key filters: a refused key is set to 0.
// NewStart, NewVFrate, fps1, fps2, fpsstep: control characters and blank, ".", digits.
void rateKeyFilter(char& key);
// delay1, delay2, delaystep: also "+" and "-".
void delayKeyFilter(char& key);
// sign: "+" and "-" only, control keys included in what is refused.
void signKeyFilter(char& key);
// gototime: control characters and blank, ":", digits.
void gotoTimeKeyFilter(char& key);
// gotoframe: control characters and blank, digits.
void gotoFrameKeyFilter(char& key);

} // namespace tools::synchronizer
