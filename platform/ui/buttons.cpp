#include "platform/ui/buttons.h"

#include "platform/ui/application.h"
#include "platform/ui/form.h"
#include "platform/ui/internal.h"
#include "platform/ui/qt_text.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>

namespace platform::ui {

using detail::qs;
using detail::ss;

// ---- Button

Button::Button(Container& parent, const std::string& caption) : Control(&parent, new QPushButton) {
    button()->setText(qs(caption));
    button()->setAutoDefault(false);
    QObject::connect(button(), &QPushButton::clicked, button(), [this] {
        if (runHandler(onClick) && modalResult_ != mrNone)
            if (Form* form = detail::formOf(widget()))
                form->setModalResult(modalResult_);
    });
}

QPushButton* Button::button() const {
    return static_cast<QPushButton*>(widget());
}

std::string Button::caption() const {
    return button() ? ss(button()->text()) : std::string();
}

void Button::setCaption(const std::string& caption) {
    if (button())
        button()->setText(qs(caption));
}

void Button::setGlyph(const QIcon& glyph) {
    if (button())
        button()->setIcon(glyph);
}

QIcon Button::glyph() const {
    return button() ? button()->icon() : QIcon();
}

void Button::setDefault(bool on) {
    if (button())
        button()->setDefault(on);
}

void Button::click() {
    if (!runHandlerFromCode(onClick) || modalResult_ == mrNone)
        return;
    if (Form* form = detail::formOf(widget()))
        form->setModalResult(modalResult_);
}

// ---- SpeedButton

SpeedButton::SpeedButton(Container& parent, const std::string& caption) : Control(&parent, new QToolButton) {
    button()->setText(qs(caption));
    button()->setAutoRaise(true);
    button()->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QObject::connect(button(), &QToolButton::clicked, button(), [this] {
        if (groupIndex_ != 0)
            setDown(allowAllUp_ ? button()->isChecked() : true);
        runHandler(onClick);
    });
}

QToolButton* SpeedButton::button() const {
    return static_cast<QToolButton*>(widget());
}

std::string SpeedButton::caption() const {
    return button() ? ss(button()->text()) : std::string();
}

void SpeedButton::setCaption(const std::string& caption) {
    if (button())
        button()->setText(qs(caption));
}

void SpeedButton::setGlyph(const QIcon& glyph) {
    if (!button())
        return;
    button()->setIcon(glyph);
    button()->setToolButtonStyle(button()->text().isEmpty() ? Qt::ToolButtonIconOnly
                                                            : Qt::ToolButtonTextBesideIcon);
}

QIcon SpeedButton::glyph() const {
    return button() ? button()->icon() : QIcon();
}

void SpeedButton::setFlat(bool flat) {
    if (button())
        button()->setAutoRaise(flat);
}

bool SpeedButton::flat() const {
    return button() && button()->autoRaise();
}

void SpeedButton::setGroupIndex(int index) {
    groupIndex_ = index;
    if (!button())
        return;
    button()->setCheckable(index != 0);
    button()->setProperty("kesGroupIndex", index);
}

void SpeedButton::setDown(bool down) {
    if (!button() || groupIndex_ == 0)
        return;
    {
        const QSignalBlocker blocker(button());
        button()->setChecked(down);
    }
    if (!down || !parent() || !parent()->client())
        return;
    // The other buttons of the group on the same parent go up.
    for (QToolButton* other : parent()->client()->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly)) {
        if (other == button() || !other->isCheckable())
            continue;
        if (other->property("kesGroupIndex").toInt() == groupIndex_) {
            const QSignalBlocker blocker(other);
            other->setChecked(false);
        }
    }
}

bool SpeedButton::down() const {
    return button() && button()->isCheckable() && button()->isChecked();
}

void SpeedButton::click() {
    if (groupIndex_ != 0)
        setDown(allowAllUp_ ? !down() : true);
    runHandlerFromCode(onClick);
}

// ---- CheckBox

CheckBox::CheckBox(Container& parent, const std::string& caption) : Control(&parent, new QCheckBox) {
    checkBox()->setText(qs(caption));
    QObject::connect(checkBox(), &QCheckBox::clicked, checkBox(), [this] { runHandler(onClick); });
}

QCheckBox* CheckBox::checkBox() const {
    return static_cast<QCheckBox*>(widget());
}

std::string CheckBox::caption() const {
    return checkBox() ? ss(checkBox()->text()) : std::string();
}

void CheckBox::setCaption(const std::string& caption) {
    if (checkBox())
        checkBox()->setText(qs(caption));
}

bool CheckBox::checked() const {
    return checkBox() && checkBox()->checkState() == Qt::Checked;
}

void CheckBox::setChecked(bool checked) {
    setState(checked ? CheckState::Checked : CheckState::Unchecked);
}

void CheckBox::setCheckedSilent(bool checked) {
    if (checkBox())
        checkBox()->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

CheckState CheckBox::state() const {
    if (!checkBox())
        return CheckState::Unchecked;
    switch (checkBox()->checkState()) {
    case Qt::Checked:
        return CheckState::Checked;
    case Qt::PartiallyChecked:
        return CheckState::Grayed;
    default:
        return CheckState::Unchecked;
    }
}

void CheckBox::setState(CheckState state) {
    if (!checkBox() || state == this->state())
        return;
    const Qt::CheckState qstate = state == CheckState::Checked  ? Qt::Checked
                                  : state == CheckState::Grayed ? Qt::PartiallyChecked
                                                                : Qt::Unchecked;
    checkBox()->setCheckState(qstate);
    runHandlerFromCode(onClick);
}

void CheckBox::setAllowGrayed(bool on) {
    if (checkBox())
        checkBox()->setTristate(on);
}

void CheckBox::click() {
    setChecked(!checked());
}

// ---- RadioButton

RadioButton::RadioButton(Container& parent, const std::string& caption) : Control(&parent, new QRadioButton) {
    radioButton()->setText(qs(caption));
    QObject::connect(radioButton(), &QRadioButton::toggled, radioButton(), [this](bool on) {
        if (on && !silent_)
            runHandler(onClick);
    });
}

QRadioButton* RadioButton::radioButton() const {
    return static_cast<QRadioButton*>(widget());
}

std::string RadioButton::caption() const {
    return radioButton() ? ss(radioButton()->text()) : std::string();
}

void RadioButton::setCaption(const std::string& caption) {
    if (radioButton())
        radioButton()->setText(qs(caption));
}

bool RadioButton::checked() const {
    return radioButton() && radioButton()->isChecked();
}

void RadioButton::setChecked(bool checked) {
    if (!radioButton() || checked == this->checked())
        return;
    setCheckedSilent(checked);
    if (checked)
        runHandlerFromCode(onClick);
}

void RadioButton::setCheckedSilent(bool checked) {
    if (!radioButton() || checked == this->checked())
        return;
    silent_ = true;
    if (checked) {
        radioButton()->setChecked(true);
    } else {
        // An auto-exclusive button cannot be unchecked on its own.
        radioButton()->setAutoExclusive(false);
        radioButton()->setChecked(false);
        radioButton()->setAutoExclusive(true);
    }
    silent_ = false;
}

void RadioButton::click() {
    setChecked(true);
}

} // namespace platform::ui
