#pragma once

// Small text helpers of the main window shared by the profile reader, the runner, the VOB list, the rip
// sequence and the option pages: a substring test, an ASCII upper-case copy, a decimal number reader, an
// "hh:mm:ss" reader, and a title made fit for a file name.

#include <optional>
#include <string>
#include <string_view>

namespace kes {

// True when part occurs in text (an empty part occurs in every text).
inline bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// A copy with "a" to "z" turned into "A" to "Z" and every other byte unchanged.
std::string UpperCopy(std::string_view text);

// A movie title as the name of a file: "/" (a folder inside the name), a backslash and the control
// characters (which no file name can hold, or which break the one-line texts that store names)
// become "_"; every other byte stays.
std::string fileNameOfTitle(std::string_view title);

// The value of a text of digits with "." as the decimal separator whatever the locale. Every "."
// switches to the fraction part, so "1.2.3" reads as 1.23. An empty text and "." give 0. Nothing when
// any other character is there.
std::optional<double> parseDecimalText(std::string_view text);

// As parseDecimalText; an invalid text gives 0 after an error box showing the text, a blank and
// message 1 (text_to_number.cpp: the one helper here that shows a box).
double TextToNumber(std::string_view text);

// The seconds of an "hh:mm:ss" text ("h:mm:ss" is read as "0h:mm:ss"); minutes and seconds may go
// beyond 59. -1 for any other text.
int TimeToSeconds(std::string_view text);

} // namespace kes
