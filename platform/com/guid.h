#pragma once

// Globally unique identifiers and their text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::com {

struct GUID {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    std::array<uint8_t, 8> Data4{};

    friend constexpr bool operator==(const GUID&, const GUID&) = default;
};

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr GUID GUID_NULL{};

namespace detail {
constexpr int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace detail

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with or without the braces; hex digits of either case.
constexpr std::optional<GUID> parseGuid(std::string_view text) {
    constexpr size_t bareLength = 36;
    if (text.size() == bareLength + 2) {
        if (text.front() != '{' || text.back() != '}')
            return std::nullopt;
        text = text.substr(1, bareLength);
    }
    if (text.size() != bareLength)
        return std::nullopt;
    uint8_t bytes[16]{};
    size_t at = 0;
    for (size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-')
                return std::nullopt;
            ++i;
            continue;
        }
        const int high = detail::hexDigit(text[i]);
        const int low = detail::hexDigit(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[at++] = static_cast<uint8_t>(high * 16 + low);
        i += 2;
    }
    GUID g;
    g.Data1 = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
    g.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
    g.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
    for (size_t i = 0; i < g.Data4.size(); ++i)
        g.Data4[i] = bytes[8 + i];
    return g;
}

// A GUID from a text known at compile time; a malformed text does not compile.
consteval GUID makeGuid(std::string_view text) {
    const auto g = parseGuid(text);
    if (!g)
        throw "malformed GUID text";
    return *g;
}

// The upper-case text form with braces.
std::string guidToString(const GUID& g);

struct GuidHash {
    size_t operator()(const GUID& g) const noexcept;
};

} // namespace platform::com
