#include "kes/text_helpers.h"

#include <charconv>

namespace kes {

namespace {

constexpr size_t TimeTextLength = 8; // "hh:mm:ss"
constexpr size_t FirstColon = 2;
constexpr size_t SecondColon = 5;
constexpr int SecondsPerHour = 3600;
constexpr int SecondsPerMinute = 60;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int twoDigits(std::string_view text, size_t at) {
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

} // namespace

std::string UpperCopy(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

std::string fileNameOfTitle(std::string_view title) {
    std::string name(title);
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || byte < ' ' || byte == 0x7F)
            c = '_';
    }
    return name;
}

std::optional<double> parseDecimalText(std::string_view text) {
    std::string integerPart;
    std::string fractionPart;
    bool inFraction = false;
    for (const char c : text) {
        if (c == '.')
            inFraction = true;
        else if (isDigit(c))
            (inFraction ? fractionPart : integerPart) += c;
        else
            return std::nullopt;
    }
    const std::string number =
        (integerPart.empty() ? "0" : integerPart) + "." + (fractionPart.empty() ? "0" : fractionPart);
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size())
        return std::nullopt; // digits beyond the range of a double
    return value;
}

int TimeToSeconds(std::string_view text) {
    if (text.empty())
        return -1;
    std::string time(text);
    if (time.size() > 1 && time[1] == ':')
        time.insert(0, 1, '0');
    if (time.size() != TimeTextLength)
        return -1;
    for (size_t i = 0; i < time.size(); ++i) {
        const bool colonPlace = i == FirstColon || i == SecondColon;
        if (colonPlace ? time[i] != ':' : !isDigit(time[i]))
            return -1;
    }
    return twoDigits(time, 0) * SecondsPerHour + twoDigits(time, 3) * SecondsPerMinute + twoDigits(time, 6);
}

} // namespace kes
