#include "platform/ui/dialog_script.h"
#include "platform/ui/font_dialog.h"
#include "platform/ui/form.h"
#include "platform/ui/print_dialog.h"
#include "platform/ui/qt_text.h"

#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>
#include <QMainWindow>
#include <QPrintDialog>
#include <QPrinter>

#include <charconv>
#include <memory>

namespace platform::ui {

using detail::qs;
using detail::ss;

namespace {

QWidget* dialogParent(Form* owner) {
    return owner && owner->window() ? owner->window() : QApplication::activeWindow();
}

bool parseInt(const std::string& text, long long& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && ptr == end;
}

std::string fontAnswer(const Font& font) {
    std::string style;
    if (font.style.bold)
        style += 'b';
    if (font.style.italic)
        style += 'i';
    if (font.style.underline)
        style += 'u';
    if (font.style.strikeOut)
        style += 's';
    return font.family + "," + std::to_string(font.size) + "," + std::to_string(font.color) + "," + style;
}

// "family,size,colour,style" (the family may itself hold commas: the last three fields are split off).
bool parseFontAnswer(const std::string& answer, Font& font) {
    const std::size_t styleComma = answer.rfind(',');
    if (styleComma == std::string::npos || styleComma == 0)
        return false;
    const std::size_t colorComma = answer.rfind(',', styleComma - 1);
    if (colorComma == std::string::npos || colorComma == 0)
        return false;
    const std::size_t sizeComma = answer.rfind(',', colorComma - 1);
    if (sizeComma == std::string::npos)
        return false;
    long long size = 0;
    long long color = 0;
    constexpr long long MaxColor = 0xFFFFFFFFLL;
    if (!parseInt(answer.substr(sizeComma + 1, colorComma - sizeComma - 1), size) ||
        !parseInt(answer.substr(colorComma + 1, styleComma - colorComma - 1), color) || size < 0 ||
        size > INT32_MAX || color < 0 || color > MaxColor)
        return false;
    Font parsed;
    parsed.family = answer.substr(0, sizeComma);
    parsed.size = static_cast<int>(size);
    parsed.color = static_cast<Color>(color);
    for (char c : answer.substr(styleComma + 1)) {
        switch (c) {
        case 'b':
            parsed.style.bold = true;
            break;
        case 'i':
            parsed.style.italic = true;
            break;
        case 'u':
            parsed.style.underline = true;
            break;
        case 's':
            parsed.style.strikeOut = true;
            break;
        default:
            return false;
        }
    }
    font = parsed;
    return true;
}

} // namespace

bool FontDialog::execute(Form* owner) {
    std::string scripted;
    const auto accepts = [](const std::string& answer) {
        Font probe;
        return answer == "Cancel" || parseFontAnswer(testing::literalAnswer(answer), probe);
    };
    if (testing::scriptedAnswer("font", "", fontAnswer(font), "Cancel", accepts, scripted)) {
        if (scripted == "Cancel")
            return false;
        return parseFontAnswer(testing::literalAnswer(scripted), font);
    }
    QFont initial = QApplication::font();
    if (!font.family.empty())
        initial.setFamily(qs(font.family));
    if (font.size > 0)
        initial.setPointSize(font.size);
    initial.setBold(font.style.bold);
    initial.setItalic(font.style.italic);
    initial.setUnderline(font.style.underline);
    initial.setStrikeOut(font.style.strikeOut);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, dialogParent(owner));
    if (!ok)
        return false;
    font.family = ss(chosen.family());
    font.size = chosen.pointSize();
    font.style = FontStyle{chosen.bold(), chosen.italic(), chosen.underline(), chosen.strikeOut()};
    // Qt's font dialog has no colour: the colour is asked next; cancelling it keeps the colour.
    const QColor color = QColorDialog::getColor(toQColor(font.color), dialogParent(owner));
    if (color.isValid())
        font.color = fromQColor(color);
    return true;
}

QPrinter& applicationPrinter() {
    static std::unique_ptr<QPrinter> printer;
    if (!printer)
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer;
}

bool PrintDialog::execute(Form* owner) {
    std::string scripted;
    const auto accepts = [](const std::string& answer) {
        long long value = 0;
        return answer == "Cancel" || (parseInt(answer, value) && value >= 1 && value <= INT32_MAX);
    };
    if (testing::scriptedAnswer("print", "", "", "Cancel", accepts, scripted)) {
        if (scripted == "Cancel")
            return false;
        copies = std::stoi(scripted);
        return true;
    }
    QPrinter& printer = applicationPrinter();
    printer.setCopyCount(copies > 0 ? copies : 1);
    QPrintDialog dialog(&printer, dialogParent(owner));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    copies = printer.copyCount();
    return true;
}

} // namespace platform::ui
