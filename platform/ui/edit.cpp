#include "platform/ui/edit.h"

#include "platform/ui/application.h"
#include "platform/ui/qt_text.h"

#include <QLabel>
#include <QLineEdit>

#include <limits>

namespace platform::ui {

using detail::qs;
using detail::ss;

Edit::Edit(Container& parent, const std::string& text) : Control(&parent, new QLineEdit) {
    lineEdit()->setText(qs(text));
    QObject::connect(lineEdit(), &QLineEdit::textEdited, lineEdit(), [this] { runHandler(onChange); });
}

QLineEdit* Edit::lineEdit() const {
    return static_cast<QLineEdit*>(widget());
}

std::string Edit::text() const {
    return lineEdit() ? ss(lineEdit()->text()) : std::string();
}

void Edit::setText(const std::string& text) {
    if (!lineEdit() || text == this->text())
        return;
    setTextSilent(text);
    runHandlerFromCode(onChange);
}

void Edit::setTextSilent(const std::string& text) {
    if (!lineEdit())
        return;
    // Texts from code are not cut to the typing limit.
    lineEdit()->setMaxLength(std::numeric_limits<int>::max());
    lineEdit()->setText(qs(text));
    if (maxLength_ > 0 && static_cast<int>(lineEdit()->text().size()) <= maxLength_)
        lineEdit()->setMaxLength(maxLength_);
}

void Edit::setReadOnly(bool readOnly) {
    if (lineEdit())
        lineEdit()->setReadOnly(readOnly);
}

bool Edit::readOnly() const {
    return lineEdit() && lineEdit()->isReadOnly();
}

void Edit::setMaxLength(int length) {
    maxLength_ = length > 0 ? length : 0;
    if (lineEdit())
        lineEdit()->setMaxLength(maxLength_ > 0 ? maxLength_ : std::numeric_limits<int>::max());
}

void Edit::setPasswordChar(bool on) {
    if (lineEdit())
        lineEdit()->setEchoMode(on ? QLineEdit::Password : QLineEdit::Normal);
}

void Edit::selectAll() {
    if (lineEdit())
        lineEdit()->selectAll();
}

int Edit::selStart() const {
    if (!lineEdit())
        return 0;
    return lineEdit()->hasSelectedText() ? lineEdit()->selectionStart() : lineEdit()->cursorPosition();
}

namespace {

// The label text of a caption: "&x" shows x, "&&" shows "&".
QString shownCaption(const std::string& caption) {
    std::string shown;
    shown.reserve(caption.size());
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') {
                shown += '&';
                ++i;
            }
            continue;
        }
        shown += caption[i];
    }
    return qs(shown);
}

} // namespace

Label::Label(Container& parent, const std::string& caption) : Control(&parent, new QLabel) {
    clickOnRelease_ = true;
    setCaption(caption);
}

QLabel* Label::label() const {
    return static_cast<QLabel*>(widget());
}

void Label::setCaption(const std::string& caption) {
    caption_ = caption;
    if (!label())
        return;
    label()->setText(shownCaption(caption));
    if (autoSize_)
        label()->resize(label()->sizeHint());
}

void Label::setWordWrap(bool on) {
    if (label())
        label()->setWordWrap(on);
}

void Label::setAlignment(int horizontal) {
    if (!label())
        return;
    Qt::Alignment align = horizontal < 0 ? Qt::AlignLeft : horizontal > 0 ? Qt::AlignRight : Qt::AlignHCenter;
    label()->setAlignment(align | Qt::AlignVCenter);
}

void Label::setAutoSize(bool on) {
    autoSize_ = on;
    if (on && label())
        label()->resize(label()->sizeHint());
}

} // namespace platform::ui
