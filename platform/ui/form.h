#pragma once

// Base class of every window. A window class derives from Form, declares its controls as members
// (each constructed on *this or on one of its containers), sets handlers, and calls create() at the end
// of its constructor, which runs onCreate once. Forms are top-level windows with an optional menu bar.

#include "platform/ui/control.h"

#include <functional>
#include <string>

class QMainWindow;

namespace platform::ui {

namespace detail {
class FormWindow;
}

// What closing a form does, as onClose may change it.
enum class CloseAction {
    None,     // the form stays open
    Hide,     // hidden; the object lives on (the default)
    Free,     // hidden, then the C++ object is deleted once no handler runs (only for forms made with new)
    Minimize, // minimised instead of closed
};

enum class BorderStyle {
    Sizeable,   // normal resizable window
    Single,     // fixed size
    Dialog,     // fixed size, no minimise or maximise buttons
    ToolWindow, // fixed size, small title bar
    None,       // no frame
};

enum class FormPosition { Designed, ScreenCenter };

// The result codes showModal returns.
enum ModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

class Form : public Container {
public:
    Form();
    ~Form() override;

    QMainWindow* window() const;

    // Runs onCreate once; the window class calls it at the end of its constructor.
    void create();

    void setCaption(const std::string& caption);
    std::string caption() const;

    // Shows the form (onShow runs on every show) and brings it to the front.
    void show();
    void hide();
    // Asks onCloseQuery, then runs onClose and does what its action says. Closing the main form ends
    // the application's event loop. Returns true when the form closed (or hid/minimised).
    bool close();
    // Shows the form modally and returns when it closes or modalResult is set.
    int showModal();
    void setModalResult(int result);
    int modalResult() const { return modalResult_; }
    bool isModal() const { return inModal_; }

    void minimize();
    void restore();
    bool isMinimized() const;
    bool isShowing() const; // on screen (visible and not closed)

    void setClientSize(int width, int height);
    void setBorderStyle(BorderStyle style);
    // Which title bar buttons exist (system menu means the close button).
    void setBorderIcons(bool systemMenu, bool minimize, bool maximize);
    void setPosition(FormPosition position);
    void setStayOnTop(bool on);
    // When on, the form's onKeyPress sees keys typed into any of its controls first.
    void setKeyPreview(bool on) { keyPreview_ = on; }
    bool keyPreview() const { return keyPreview_; }

    std::function<void()> onCreate;
    std::function<void()> onShow;
    std::function<void(bool& canClose)> onCloseQuery;
    std::function<void(CloseAction& action)> onClose;
    std::function<void()> onResize;
    std::function<void()> onActivate;

private:
    friend class detail::FormWindow;
    void handleShow();
    bool handleCloseRequest(); // true when the window may go
    void applyCloseAction(CloseAction action);
    bool created_ = false;
    bool closing_ = false;
    bool inModal_ = false;
    int modalResult_ = mrNone;
    FormPosition position_ = FormPosition::Designed;
    bool positioned_ = false;
    bool keyPreview_ = false;
    bool fixedSize_ = false;
    bool canMinimize_ = true;
    bool canMaximize_ = true;
    bool hasSystemMenu_ = true;
    bool stayOnTop_ = false;
    BorderStyle borderStyle_ = BorderStyle::Sizeable;
    void applyWindowFlags();
};

} // namespace platform::ui
