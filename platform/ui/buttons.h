#pragma once

// Push buttons, speed buttons (flat, with a glyph and a down state), check boxes and radio buttons.

#include "platform/ui/control.h"

#include <QIcon>

#include <string>

class QPushButton;
class QToolButton;
class QCheckBox;
class QRadioButton;

namespace platform::ui {

class Button : public Control {
public:
    explicit Button(Container& parent, const std::string& caption = {});

    std::string caption() const;
    void setCaption(const std::string& caption);
    // A picture beside the caption.
    void setGlyph(const QIcon& glyph);
    QIcon glyph() const;
    // Enter in the form presses the default button.
    void setDefault(bool on);
    // A button whose press sets the modal result of a form shown with showModal (and closes it).
    void setModalResult(int result) { modalResult_ = result; }

    void click() override;

    QPushButton* button() const;

private:
    int modalResult_ = 0;
};

// A flat button with a glyph. Speed buttons with the same non-zero group index on one parent act as
// a group: pressing one puts it down and the others up.
class SpeedButton : public Control {
public:
    explicit SpeedButton(Container& parent, const std::string& caption = {});

    std::string caption() const;
    void setCaption(const std::string& caption);
    void setGlyph(const QIcon& glyph);
    QIcon glyph() const;
    void setFlat(bool flat);
    bool flat() const;
    // The down (pressed) state; only a button with a group index stays down.
    void setGroupIndex(int index);
    int groupIndex() const { return groupIndex_; }
    void setAllowAllUp(bool on) { allowAllUp_ = on; }
    void setDown(bool down);
    bool down() const;

    void click() override;

    QToolButton* button() const;

private:
    int groupIndex_ = 0;
    bool allowAllUp_ = false;
};

enum class CheckState { Unchecked, Checked, Grayed };

class CheckBox : public Control {
public:
    explicit CheckBox(Container& parent, const std::string& caption = {});

    std::string caption() const;
    void setCaption(const std::string& caption);
    bool checked() const;
    // Sets the state; onClick runs when it changes (as a user's click would).
    void setChecked(bool checked);
    void setCheckedSilent(bool checked);
    CheckState state() const;
    void setState(CheckState state);
    void setAllowGrayed(bool on);

    // Toggles the box as a user's click does (onClick runs).
    void click() override;

    QCheckBox* checkBox() const;
};

// A radio button; the radio buttons on one parent form one group.
class RadioButton : public Control {
public:
    explicit RadioButton(Container& parent, const std::string& caption = {});

    std::string caption() const;
    void setCaption(const std::string& caption);
    bool checked() const;
    // setChecked(true) checks this button and unchecks the others of its group; onClick runs only when
    // this button becomes checked. setChecked(false) unchecks it and runs nothing.
    void setChecked(bool checked);
    void setCheckedSilent(bool checked);

    // Checks the button as a user's click does (onClick runs when it becomes checked).
    void click() override;

    QRadioButton* radioButton() const;

private:
    bool silent_ = false;
};

} // namespace platform::ui
