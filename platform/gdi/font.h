#pragma once

// A logical font as the drawing code selects it into a device context.

#include "platform/gdi/colors.h"

#include <string>

namespace platform::gdi {

struct FontStyle {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool operator==(const FontStyle&) const = default;
};

constexpr int DefaultFontSize = 8;                                       // points
constexpr ColorRef DefaultFontColor = SystemColorFlag | ColorWindowText; // the window text colour

struct Font {
    std::string name;           // face name; empty means the system's default face
    int size = DefaultFontSize; // points at 96 pixels per inch; 0 or less means the default size
    ColorRef color = DefaultFontColor;
    FontStyle style;
    bool operator==(const Font&) const = default;
};

} // namespace platform::gdi
