#pragma once

// Numbers and texts formatted as the original toolkit formatted them, and the 1-based text helpers
// that let algorithms read like their descriptions.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform::core {

// Raised by strToInt and strToFloat on a text that is not a number; its message is the toolkit's
// ("'abc' is not a valid integer value").
class ConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// As the toolkit's StrToInt: leading blanks skipped, then [+-] and decimal digits, or "$"/"0x"
// followed by hex digits, to the end of the text, within the type's range; anything else raises.
int32_t strToInt(std::string_view text);
int64_t strToInt64(std::string_view text);
// The value, or fallback when the text is not an integer.
int32_t strToIntDef(std::string_view text, int32_t fallback);
bool tryStrToInt(std::string_view text, int32_t& value);
// A decimal number with "." as the separator whatever the locale, optional exponent.
long double strToFloat(std::string_view text);
bool tryStrToFloat(std::string_view text, long double& value);

std::string intToStr(int64_t value);
// Fixed-point with the given decimals, no thousands separator, "." as separator, halves rounded
// away from zero on the decimal digits as the toolkit's formatter did ("1.5" with 0 decimals is "2").
std::string formatFixed(long double value, int decimals);
// General format with up to 15 significant digits: no trailing zeros, no trailing separator,
// scientific notation only when the exponent is at least 15 or below -4, written as the toolkit's
// general format wrote it: no "+" and no leading zeros in the exponent ("1.5E20", "1E-5").
std::string floatToStr(long double value);

// Rounds to the nearest integer, halves to the even neighbour (0.5 -> 0, 1.5 -> 2, 2.5 -> 2).
int64_t roundHalfEven(long double value);
// Truncates toward zero.
int64_t truncToInt(long double value);

// ASCII-only case changes: bytes outside a-z (A-Z) are left alone, so UTF-8 survives.
std::string upperAscii(std::string_view text);
std::string lowerAscii(std::string_view text);
bool equalsIgnoreCase(std::string_view a, std::string_view b);
std::string trim(std::string_view text); // blanks and control characters at both ends

// 1-based position of sub in text, 0 when absent (an empty sub gives 0).
int pos(std::string_view sub, std::string_view text);
// count characters from the 1-based index; out-of-range parts are clipped (index < 1 counts from 1).
std::string copy(std::string_view text, int index, int count);
// Deletes count characters from the 1-based index (a count beyond the end is clipped); an index
// below 1 or beyond the end deletes nothing, as the toolkit's Delete did.
std::string deleteText(std::string_view text, int index, int count);

// Code page 1252 for the system's own 8-bit files.
std::string cp1252ToUtf8(std::string_view bytes);
// Characters without a code page 1252 form become "?".
std::string utf8ToCp1252(std::string_view utf8);

// A text as one line of a line-based file or channel: backslash, tab, CR and LF written as "\\",
// "\t", "\r" and "\n"; the reverse gives any other escaped character as itself.
std::string escapeLine(std::string_view text);
std::string unescapeLine(std::string_view line);

} // namespace platform::core
