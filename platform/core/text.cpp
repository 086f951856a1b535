#include "platform/core/text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace platform::core {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

[[noreturn]] void throwInteger(std::string_view text) {
    throw ConvertError("'" + std::string(text) + "' is not a valid integer value");
}

[[noreturn]] void throwFloat(std::string_view text) {
    throw ConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

// Parses the toolkit's integer syntax into a magnitude and a sign. Decimal magnitudes are limited to
// maxDecimal (the type's largest value, one more when negative); hexadecimal ones to maxHex (the
// type's bit pattern, so "$FFFFFFFF" is -1 for 32 bits as the toolkit had it).
bool parseInteger(std::string_view text, uint64_t maxPositive, uint64_t maxHex, bool& negative,
                  uint64_t& magnitude, bool& hex) {
    size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size())
        return false;
    const uint64_t limit = hex ? maxHex : (negative ? maxPositive + 1 : maxPositive);
    const uint64_t base = hex ? 16 : 10;
    magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = hex ? hexValue(text[i]) : (isDigit(text[i]) ? text[i] - '0' : -1);
        if (digit < 0)
            return false;
        if (magnitude > (limit - static_cast<uint64_t>(digit)) / base)
            return false;
        magnitude = magnitude * base + static_cast<uint64_t>(digit);
    }
    return true;
}

template <typename T>
bool toInteger(std::string_view text, T& value) {
    using U = std::make_unsigned_t<T>;
    bool negative = false;
    bool hex = false;
    uint64_t magnitude = 0;
    if (!parseInteger(text, static_cast<uint64_t>(std::numeric_limits<T>::max()),
                      static_cast<uint64_t>(std::numeric_limits<U>::max()), negative, magnitude, hex))
        return false;
    U bits = static_cast<U>(magnitude);
    if (negative)
        bits = static_cast<U>(U{0} - bits);
    value = static_cast<T>(bits);
    return true;
}

// The decimal digits of a finite value: 18 significant digits (what the toolkit's 80-bit formatter
// produced) and the position of the decimal point relative to them (value = 0.d1d2... * 10^exponent).
struct Decimal {
    bool negative = false;
    std::string digits; // without leading zeros; empty for zero
    int exponent = 0;
};

constexpr int FormatterDigits = 18;

Decimal toDecimal(long double value) {
    Decimal d;
    d.negative = std::signbit(value);
    if (value == 0)
        return d;
    std::array<char, 64> buf{};
    const int n = std::snprintf(buf.data(), buf.size(), "%.*Le", FormatterDigits - 1, std::fabs(value));
    if (n <= 0 || static_cast<size_t>(n) >= buf.size())
        return d;
    const std::string_view s(buf.data(), static_cast<size_t>(n));
    const size_t e = s.find('e');
    for (size_t i = 0; i < e; ++i)
        if (isDigit(s[i]))
            d.digits.push_back(s[i]);
    int exp10 = 0;
    std::from_chars(s.data() + e + 1 + (s[e + 1] == '+' ? 1 : 0), s.data() + s.size(), exp10);
    d.exponent = exp10 + 1;
    return d;
}

// Rounds the digits to keep at most `keep` of them, halves away from zero; keep may be 0 or negative.
void roundDigits(Decimal& d, int keep) {
    if (keep < 0) {
        d.digits.clear();
        return;
    }
    if (static_cast<size_t>(keep) >= d.digits.size())
        return;
    const bool up = d.digits[static_cast<size_t>(keep)] >= '5';
    d.digits.resize(static_cast<size_t>(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[static_cast<size_t>(i)] == '9') {
            d.digits[static_cast<size_t>(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++d.digits[static_cast<size_t>(i)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.exponent;
        }
    }
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    if (d.digits.empty())
        d.exponent = 0;
}

std::string nonFinite(long double value) {
    if (std::isnan(value))
        return "NAN";
    return value < 0 ? "-INF" : "INF";
}

int64_t clampToInt64(long double value) {
    if (std::isnan(value))
        return 0;
    constexpr long double Limit = 9223372036854775808.0L; // 2^63
    if (value >= Limit)
        return std::numeric_limits<int64_t>::max();
    if (value < -Limit)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(value);
}

// Code page 1252's 0x80-0x9F range; the five unassigned bytes map to the C1 controls of the same value.
constexpr std::array<char16_t, 32> HighRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes one UTF-8 character at i and advances i; malformed input yields U+FFFD and skips one byte.
char32_t decodeUtf8(std::string_view s, size_t& i) {
    constexpr char32_t Invalid = 0xFFFD;
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    size_t len = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return Invalid;
    }
    if (i + len > s.size()) {
        ++i;
        return Invalid;
    }
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return Invalid;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return Invalid;
    }
    i += len;
    return cp;
}

} // namespace

int32_t strToInt(std::string_view text) {
    int32_t value = 0;
    if (!toInteger(text, value))
        throwInteger(text);
    return value;
}

int64_t strToInt64(std::string_view text) {
    int64_t value = 0;
    if (!toInteger(text, value))
        throwInteger(text);
    return value;
}

int32_t strToIntDef(std::string_view text, int32_t fallback) {
    int32_t value = 0;
    return toInteger(text, value) ? value : fallback;
}

bool tryStrToInt(std::string_view text, int32_t& value) {
    int32_t parsed = 0;
    if (!toInteger(text, parsed))
        return false;
    value = parsed;
    return true;
}

bool tryStrToFloat(std::string_view text, long double& value) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    const std::string_view s = text.substr(begin, end - begin);
    // Syntax check first: from_chars alone would accept "inf", "nan" and hexadecimal floats.
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < s.size() && isDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        const size_t expStart = i;
        while (i < s.size() && isDigit(s[i]))
            ++i;
        if (i == expStart)
            return false;
    }
    if (i != s.size())
        return false;
    const size_t skip = (s[0] == '+') ? 1 : 0;
    long double parsed = 0;
    const auto result = std::from_chars(s.data() + skip, s.data() + s.size(), parsed);
    if (result.ec != std::errc() || result.ptr != s.data() + s.size() || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

long double strToFloat(std::string_view text) {
    long double value = 0;
    if (!tryStrToFloat(text, value))
        throwFloat(text);
    return value;
}

std::string intToStr(int64_t value) {
    return std::to_string(value);
}

std::string formatFixed(long double value, int decimals) {
    if (!std::isfinite(value))
        return nonFinite(value);
    decimals = std::max(0, std::min(decimals, FormatterDigits));
    Decimal d = toDecimal(value);
    roundDigits(d, d.exponent + decimals);
    std::string out;
    if (d.negative && !d.digits.empty())
        out.push_back('-');
    const auto digitAt = [&d](int index) { // index 0 is the first digit, at 10^(exponent-1)
        return (index >= 0 && static_cast<size_t>(index) < d.digits.size())
                   ? d.digits[static_cast<size_t>(index)]
                   : '0';
    };
    if (d.exponent <= 0) {
        out.push_back('0');
    } else {
        for (int i = 0; i < d.exponent; ++i)
            out.push_back(digitAt(i));
    }
    if (decimals > 0) {
        out.push_back('.');
        for (int k = 0; k < decimals; ++k)
            out.push_back(digitAt(d.exponent + k));
    }
    return out;
}

std::string floatToStr(long double value) {
    if (!std::isfinite(value))
        return nonFinite(value);
    constexpr int Precision = 15;
    constexpr int SmallestFixedExponent = -3; // 0.0001 stays fixed, 0.00001 becomes "1E-5"
    Decimal d = toDecimal(value);
    roundDigits(d, Precision);
    if (d.digits.empty())
        return "0";
    std::string out;
    if (d.negative)
        out.push_back('-');
    if (d.exponent > Precision || d.exponent < SmallestFixedExponent) {
        out.push_back(d.digits[0]);
        if (d.digits.size() > 1) {
            out.push_back('.');
            out.append(d.digits, 1);
        }
        out.push_back('E');
        out += std::to_string(d.exponent - 1);
        return out;
    }
    if (d.exponent <= 0) {
        out += "0.";
        out.append(static_cast<size_t>(-d.exponent), '0');
        out += d.digits;
        return out;
    }
    const auto intDigits = static_cast<size_t>(d.exponent);
    if (d.digits.size() <= intDigits) {
        out += d.digits;
        out.append(intDigits - d.digits.size(), '0');
    } else {
        out.append(d.digits, 0, intDigits);
        out.push_back('.');
        out.append(d.digits, intDigits);
    }
    return out;
}

int64_t roundHalfEven(long double value) {
    if (!std::isfinite(value))
        return clampToInt64(value);
    const long double lower = std::floor(value);
    const long double fraction = value - lower; // exact for every long double
    long double result = lower;
    if (fraction > 0.5L) {
        result = lower + 1;
    } else if (fraction == 0.5L) {
        result = (std::fmod(lower, 2.0L) == 0) ? lower : lower + 1;
    }
    return clampToInt64(result);
}

int64_t truncToInt(long double value) {
    return clampToInt64(std::trunc(value));
}

std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string trim(std::string_view text) {
    const auto isSpace = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isSpace(text[begin]))
        ++begin;
    while (end > begin && isSpace(text[end - 1]))
        --end;
    return std::string(text.substr(begin, end - begin));
}

int pos(std::string_view sub, std::string_view text) {
    if (sub.empty())
        return 0;
    const size_t at = text.find(sub);
    return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

std::string copy(std::string_view text, int index, int count) {
    if (index < 1)
        index = 1;
    const auto start = static_cast<size_t>(index - 1);
    if (count <= 0 || start >= text.size())
        return {};
    return std::string(text.substr(start, static_cast<size_t>(count)));
}

std::string deleteText(std::string_view text, int index, int count) {
    std::string out(text);
    if (index < 1 || count <= 0 || static_cast<size_t>(index) > out.size())
        return out;
    out.erase(static_cast<size_t>(index - 1), static_cast<size_t>(count));
    return out;
}

std::string cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b < 0xA0)
            appendUtf8(out, HighRange[b - 0x80]);
        else
            appendUtf8(out, b);
    }
    return out;
}

std::string utf8ToCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const char32_t cp = decodeUtf8(utf8, i);
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        char mapped = '?';
        for (size_t k = 0; k < HighRange.size(); ++k) {
            if (HighRange[k] == cp) {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        }
        out.push_back(mapped);
    }
    return out;
}

std::string escapeLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string unescapeLine(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\' || i + 1 == line.size()) {
            out += line[i];
            continue;
        }
        const char next = line[++i];
        out += next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n' : next;
    }
    return out;
}

} // namespace platform::core
