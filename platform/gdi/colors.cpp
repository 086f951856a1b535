#include "platform/gdi/colors.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

namespace platform::gdi {

namespace {

constexpr ColorRef ClassicWindow = 0x00FFFFFF;
constexpr ColorRef ClassicWindowText = 0x00000000;
constexpr ColorRef ClassicBtnFace = 0x00F0F0F0;
constexpr int ByteBits = 8;

ColorRef fromQColor(const QColor& c) {
    return static_cast<ColorRef>(c.red()) | (static_cast<ColorRef>(c.green()) << ByteBits) |
           (static_cast<ColorRef>(c.blue()) << (2 * ByteBits));
}

} // namespace

ColorRef sysColor(int index) {
    const bool gui = QGuiApplication::instance() != nullptr;
    switch (index) {
    case ColorWindow:
        return gui ? fromQColor(QGuiApplication::palette().color(QPalette::Base)) : ClassicWindow;
    case ColorBtnFace:
        return gui ? fromQColor(QGuiApplication::palette().color(QPalette::Button)) : ClassicBtnFace;
    case ColorWindowText:
    default:
        return gui ? fromQColor(QGuiApplication::palette().color(QPalette::WindowText)) : ClassicWindowText;
    }
}

ColorRef resolveColor(ColorRef color) {
    if (color & SystemColorFlag)
        return sysColor(static_cast<int>(color & SystemColorIndexMask));
    return color & 0x00FFFFFF;
}

} // namespace platform::gdi
