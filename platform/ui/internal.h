#pragma once

// Internal helpers shared by the control implementations.

#include <QMainWindow>

class QKeyEvent;

namespace platform::ui {

class Form;

namespace detail {

// While one lives, widget events caused by tearing windows down (focus moving away from a deleted
// widget, ...) run no handlers: the window code's objects may already be gone.
class DestroyingScope {
public:
    DestroyingScope();
    ~DestroyingScope();
    DestroyingScope(const DestroyingScope&) = delete;
    DestroyingScope& operator=(const DestroyingScope&) = delete;
};
bool destroying();

// The top-level window of a Form.
class FormWindow : public QMainWindow {
public:
    explicit FormWindow(Form* form);
    Form* form() const { return form_; }
    void detach() { form_ = nullptr; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    Form* form_;
};

// The form whose window holds the widget, or null.
Form* formOf(const QWidget* widget);

// Key press helpers: the character code an event stands for (-1 when it is no character key), and an
// event that types another code.
int keyCode(const QKeyEvent& event);

} // namespace detail
} // namespace platform::ui
