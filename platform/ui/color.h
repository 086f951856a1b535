#pragma once

// Colours and fonts as the window code uses them: a colour is 0x00BBGGRR (red in the low byte), the
// value font dialogs return and layout files store; the system colours are 0x80000000 + an index.

#include <cstdint>
#include <string>

class QColor;

namespace platform::ui {

using Color = std::uint32_t;

struct Colors {
    static constexpr Color Black = 0x000000;
    static constexpr Color Maroon = 0x000080;
    static constexpr Color Green = 0x008000;
    static constexpr Color Olive = 0x008080;
    static constexpr Color Navy = 0x800000;
    static constexpr Color Purple = 0x800080;
    static constexpr Color Teal = 0x808000;
    static constexpr Color Gray = 0x808080;
    static constexpr Color Silver = 0xC0C0C0;
    static constexpr Color Red = 0x0000FF;
    static constexpr Color Lime = 0x00FF00;
    static constexpr Color Yellow = 0x00FFFF;
    static constexpr Color Blue = 0xFF0000;
    static constexpr Color Fuchsia = 0xFF00FF;
    static constexpr Color Aqua = 0xFFFF00;
    static constexpr Color White = 0xFFFFFF;
    // System colours: the widget style's own colours.
    static constexpr Color SystemFlag = 0x80000000;
    static constexpr Color Window = 0x80000005;     // background of edits and lists
    static constexpr Color WindowText = 0x80000008; // default text colour
    static constexpr Color BtnFace = 0x8000000F;    // background of forms and buttons
};

// Builds a colour from its components.
constexpr Color rgb(int r, int g, int b) {
    return static_cast<Color>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// Conversions to and from Qt; a system colour maps to the application palette's colour.
QColor toQColor(Color color);
Color fromQColor(const QColor& color);

struct FontStyle {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool operator==(const FontStyle&) const = default;
};

// A font as controls and the font dialog exchange it. An empty family or a size of 0 means "the
// widget's default".
struct Font {
    std::string family;
    int size = 0; // points
    Color color = Colors::WindowText;
    FontStyle style;
    bool operator==(const Font&) const = default;
};

} // namespace platform::ui
