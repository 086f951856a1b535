#pragma once

// Base of every control: a thin object over one Qt widget, created on a parent container (form, tab
// sheet, group box or panel). Radio buttons on the same parent form one group. Controls are placed
// with setBounds in the parent's client coordinates (as a form designer places them), or by putting
// widget() into a Qt layout of the parent's client().
//
// Ownership: the control deletes its widget when destroyed. When the parent's widget goes first (a
// container declared after its children), the control is left without a widget and does nothing.

#include "platform/ui/color.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace platform::ui {

class Container;

enum class MouseButton { Left, Right, Middle };

enum class Cursor { Default, Arrow, Cross, Wait, Hand, IBeam };

enum class Align { None, Top, Bottom, Left, Right, Client };

class Control {
public:
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    QWidget* widget() const;
    Container* parent() const { return parent_; }

    void setEnabled(bool enabled);
    bool enabled() const;
    // The control's own visibility flag (true even while its form is hidden).
    void setVisible(bool visible);
    bool visible() const;
    void show() { setVisible(true); }
    void hide() { setVisible(false); }

    // Position and size in the parent's client area.
    void setBounds(int left, int top, int width, int height);
    int left() const;
    int top() const;
    int width() const;
    int height() const;
    void setLeft(int left);
    void setTop(int top);
    void setWidth(int width);
    void setHeight(int height);
    // Docks the control to a side of its parent, or fills it (kept on resize).
    void setAlign(Align align);

    // Font of the control's text; the colour is the text colour.
    void setFont(const Font& font);
    Font font() const;
    void setFontColor(Color color);
    Color fontColor() const;
    void setFontBold(bool bold);
    bool fontBold() const;
    // Background colour (Colors::BtnFace / Colors::Window give the style's own).
    void setColor(Color color);

    void setHint(const std::string& hint); // tool tip
    std::string hint() const;
    void setCursor(Cursor cursor);
    void setFocus();
    bool focused() const;
    void repaint();
    void bringToFront();

    // A free integer for the window code, as the toolkit's Tag.
    int tag = 0;

    // Runs onClick (through the dispatch helper), as when the user clicks the control.
    virtual void click();

    // Events. onClick: a click on the control (for buttons: a press; for check boxes and radio buttons:
    // a change of state, see there). onKeyPress: a character typed into the control; control keys
    // arrive as their codes (8 backspace, 9 tab, 13 enter, 27 escape, 1..26 ctrl+letter); a character
    // outside ASCII arrives as its first UTF-8 byte (above 127). Setting key to 0 drops it, setting
    // another ASCII character types that one instead.
    std::function<void()> onClick;
    std::function<void()> onDblClick;
    std::function<void(char& key)> onKeyPress;
    std::function<void()> onEnter; // the control got the focus
    std::function<void()> onExit;  // the control lost the focus
    std::function<void(MouseButton button, int x, int y)> onMouseDown;
    std::function<void(MouseButton button, int x, int y)> onMouseUp;
    std::function<void(int x, int y)> onMouseMove; // only while a button is down unless tracking is on
    void setMouseTracking(bool on);

protected:
    // widget is created by the derived class; it is given the parent's client as its Qt parent.
    Control(Container* parent, QWidget* widget);
    // Extra widgets whose key, focus and mouse events count as the control's (a combo box's edit).
    void watch(QWidget* child);
    // Whether the base class turns a mouse release into onClick (labels, images, panels do).
    bool clickOnRelease_ = false;

private:
    friend class ControlEvents;
    Container* parent_;
    QPointer<QWidget> widget_;
    Color fontColor_ = Colors::WindowText;
};

// A control that holds other controls.
class Container : public Control {
public:
    // The widget that child controls are placed on.
    QWidget* client() const;
    int clientWidth() const;
    int clientHeight() const;

protected:
    Container(Container* parent, QWidget* widget, QWidget* client);
    void setClient(QWidget* client);
    // Lays the docked children out again (runs by itself when the client area is resized on screen).
    void realign();

private:
    friend class Control;
    struct AlignedChild {
        QPointer<QWidget> widget;
        Align align;
    };
    void setChildAlign(QWidget* child, Align align);
    QPointer<QWidget> client_;
    std::vector<AlignedChild> aligned_;
};

} // namespace platform::ui
