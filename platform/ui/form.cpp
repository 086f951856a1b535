#include "platform/ui/form.h"

#include "platform/ui/application.h"
#include "platform/ui/internal.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>

namespace platform::ui {

namespace detail {

FormWindow::FormWindow(Form* form) : form_(form) {}

void FormWindow::closeEvent(QCloseEvent* event) {
    if (form_ && !detail::destroying() && !form_->handleCloseRequest()) {
        event->ignore();
        return;
    }
    event->accept();
}

void FormWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (form_ && !event->spontaneous() && !detail::destroying())
        form_->handleShow();
}

void FormWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (form_ && !detail::destroying())
        runHandler(form_->onResize);
}

void FormWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (form_ && !detail::destroying() && event->type() == QEvent::ActivationChange && isActiveWindow())
        runHandler(form_->onActivate);
}

} // namespace detail

Form::Form() : Container(nullptr, new detail::FormWindow(this), nullptr) {
    auto* central = new QWidget(window());
    window()->setCentralWidget(central);
    setClient(central);
    applyWindowFlags();
    if (Application* app = Application::instance())
        app->formCreated(this);
}

Form::~Form() {
    if (Application* app = Application::instance())
        app->formDestroyed(this);
    if (auto* w = window())
        static_cast<detail::FormWindow*>(w)->detach();
}

QMainWindow* Form::window() const {
    return static_cast<QMainWindow*>(widget());
}

void Form::create() {
    if (created_)
        return;
    created_ = true;
    runHandlerFromCode(onCreate);
}

void Form::setCaption(const std::string& caption) {
    if (window())
        window()->setWindowTitle(QString::fromUtf8(caption.c_str()));
}

std::string Form::caption() const {
    return window() ? window()->windowTitle().toUtf8().toStdString() : std::string();
}

void Form::show() {
    if (!window())
        return;
    if (window()->isMinimized())
        window()->showNormal();
    else
        window()->show();
    // The offscreen platform of the tests has no window stacking.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        window()->raise();
        window()->activateWindow();
    }
}

void Form::hide() {
    if (window())
        window()->hide();
}

bool Form::close() {
    if (!window())
        return false;
    if (!window()->isVisible()) {
        // A hidden form (closing during its own creation, say) still asks and runs its close events.
        if (!handleCloseRequest())
            return false;
        return true;
    }
    return window()->close();
}

bool Form::handleCloseRequest() {
    if (closing_)
        return false;
    closing_ = true;
    bool canClose = true;
    bool ok = fire(onCloseQuery, canClose);
    CloseAction action = CloseAction::Hide;
    if (ok && canClose)
        ok = fire(onClose, action);
    closing_ = false;
    if (!ok || !canClose || action == CloseAction::None) {
        if (inModal_)
            modalResult_ = mrNone;
        return false;
    }
    if (inModal_ && modalResult_ == mrNone)
        modalResult_ = mrCancel;
    if (action == CloseAction::Minimize) {
        minimize();
        return false;
    }
    applyCloseAction(action);
    return true;
}

void Form::applyCloseAction(CloseAction action) {
    Application* app = Application::instance();
    if (app && app->mainForm() == this) {
        app->mainFormClosed();
        return;
    }
    if (action == CloseAction::Free) {
        // A handler of this window may be what closed it, from inside a nested event loop of a job or
        // a message box; the object goes only when every handler has returned.
        QPointer<QWidget> alive = widget();
        afterHandlers([this, alive] {
            if (alive)
                delete this;
        });
    }
}

int Form::showModal() {
    if (!window())
        return mrCancel;
    modalResult_ = mrNone;
    inModal_ = true;
    window()->setWindowModality(Qt::ApplicationModal);
    show();
    QPointer<QWidget> alive = widget();
    const auto showing = [&alive] {
        const QWidget* w = alive.data();
        return w && w->isVisible();
    };
    while (showing() && modalResult_ == mrNone)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (QWidget* w = alive.data()) {
        if (modalResult_ != mrNone && w->isVisible())
            w->hide();
        w->setWindowModality(Qt::NonModal);
    }
    inModal_ = false;
    return modalResult_ == mrNone ? mrCancel : modalResult_;
}

void Form::setModalResult(int result) {
    modalResult_ = result;
    if (inModal_ && result != mrNone && window() && window()->isVisible()) {
        if (!window()->close())
            modalResult_ = mrNone;
    }
}

void Form::minimize() {
    if (window())
        window()->showMinimized();
}

void Form::restore() {
    if (window())
        window()->showNormal();
}

bool Form::isMinimized() const {
    return window() && window()->isMinimized();
}

bool Form::isShowing() const {
    return window() && window()->isVisible();
}

void Form::handleShow() {
    if (!positioned_ && position_ == FormPosition::ScreenCenter) {
        positioned_ = true;
        if (QScreen* screen = window()->screen()) {
            QRect frame = window()->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            window()->move(frame.topLeft());
        }
    }
    runHandler(onShow);
}

void Form::setClientSize(int width, int height) {
    if (!window())
        return;
    int extra = 0;
    if (window()->menuWidget() && window()->menuWidget()->isVisibleTo(window()))
        extra = window()->menuWidget()->sizeHint().height();
    window()->resize(width, height + extra);
    if (fixedSize_)
        window()->setFixedSize(width, height + extra);
    // A window not yet shown lays itself out only when shown; the client area takes its size now.
    if (QWidget* area = client())
        area->setGeometry(0, extra, width, height);
    realign();
}

void Form::setBorderStyle(BorderStyle style) {
    borderStyle_ = style;
    fixedSize_ = style != BorderStyle::Sizeable;
    if (window()) {
        if (fixedSize_) {
            window()->setFixedSize(window()->size());
        } else {
            window()->setMinimumSize(0, 0);
            window()->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        }
    }
    applyWindowFlags();
}

void Form::setBorderIcons(bool systemMenu, bool minimize, bool maximize) {
    hasSystemMenu_ = systemMenu;
    canMinimize_ = minimize;
    canMaximize_ = maximize;
    applyWindowFlags();
}

void Form::setPosition(FormPosition position) {
    position_ = position;
    positioned_ = false;
}

void Form::setStayOnTop(bool on) {
    stayOnTop_ = on;
    applyWindowFlags();
}

void Form::applyWindowFlags() {
    if (!window())
        return;
    Qt::WindowFlags flags = borderStyle_ == BorderStyle::ToolWindow ? Qt::Tool : Qt::Window;
    if (borderStyle_ == BorderStyle::None) {
        flags |= Qt::FramelessWindowHint;
    } else {
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        if (hasSystemMenu_)
            flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        const bool dialog = borderStyle_ == BorderStyle::Dialog || borderStyle_ == BorderStyle::ToolWindow;
        if (canMinimize_ && !dialog)
            flags |= Qt::WindowMinimizeButtonHint;
        if (canMaximize_ && !dialog && !fixedSize_)
            flags |= Qt::WindowMaximizeButtonHint;
    }
    if (stayOnTop_)
        flags |= Qt::WindowStaysOnTopHint;
    const bool wasVisible = window()->isVisible();
    window()->setWindowFlags(flags);
    if (wasVisible)
        window()->show();
}

} // namespace platform::ui
