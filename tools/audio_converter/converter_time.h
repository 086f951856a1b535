#pragma once

// The time texts of the audio converter window ("hh:mm:ss").

#include <cstdint>
#include <string>

namespace tools::audio_converter {

// Seconds of a time text. Empty text gives 0; "h:mm:ss" gets a leading "0"; every character must be
// a digit or ":" with ":" as the 3rd and 6th character, and minutes and seconds are not limited to 59.
// ok is false (and the result 0) for any other text.
int64_t timeTextToSeconds(const std::string& text, bool& ok);

// "hh:mm:ss"; "00:00:00" below 2 seconds and when the hours need three digits.
std::string secondsToTimeText(int64_t seconds);

} // namespace tools::audio_converter
