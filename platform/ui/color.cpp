#include "platform/ui/color.h"

#include <QApplication>
#include <QColor>
#include <QPalette>

namespace platform::ui {

namespace {

constexpr Color SystemIndexMask = 0xFF;
constexpr int ByteBits = 8;
constexpr Color ByteMask = 0xFF;

// The system colour indexes the window code uses.
constexpr Color IndexWindow = 5;
constexpr Color IndexWindowText = 8;
constexpr Color IndexBtnFace = 15;

QPalette::ColorRole systemRole(Color index) {
    switch (index) {
    case IndexWindow:
        return QPalette::Base;
    case IndexWindowText:
        return QPalette::WindowText;
    case IndexBtnFace:
        return QPalette::Button;
    default:
        return QPalette::WindowText;
    }
}

} // namespace

QColor toQColor(Color color) {
    if (color & Colors::SystemFlag) {
        const QPalette palette = QApplication::palette();
        return palette.color(systemRole(color & SystemIndexMask));
    }
    return QColor(static_cast<int>(color & ByteMask), static_cast<int>((color >> ByteBits) & ByteMask),
                  static_cast<int>((color >> (2 * ByteBits)) & ByteMask));
}

Color fromQColor(const QColor& color) {
    return rgb(color.red(), color.green(), color.blue());
}

} // namespace platform::ui
