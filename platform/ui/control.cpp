#include "platform/ui/control.h"

#include "platform/ui/application.h"
#include "platform/ui/form.h"
#include "platform/ui/internal.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

namespace platform::ui {

namespace detail {

namespace {
int destroyingDepth = 0;

constexpr int KeyBackspace = 8;
constexpr int KeyEnter = 13;
constexpr int KeyEscape = 27;
constexpr int FirstPrintable = 32;
} // namespace

DestroyingScope::DestroyingScope() {
    ++destroyingDepth;
}
DestroyingScope::~DestroyingScope() {
    --destroyingDepth;
}
bool destroying() {
    return destroyingDepth > 0;
}

Form* formOf(const QWidget* widget) {
    if (!widget)
        return nullptr;
    const auto* window = dynamic_cast<const FormWindow*>(widget->window());
    return window ? window->form() : nullptr;
}

int keyCode(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Backspace:
        return KeyBackspace;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return KeyEnter;
    case Qt::Key_Escape:
        return KeyEscape;
    default:
        break;
    }
    if ((event.modifiers() & Qt::ControlModifier) && event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z)
        return event.key() - Qt::Key_A + 1;
    const QByteArray text = event.text().toUtf8();
    if (text.isEmpty())
        return -1;
    const int first = static_cast<unsigned char>(text.at(0));
    // Other control characters (tab, delete) are not typed characters.
    return first < FirstPrintable ? -1 : first;
}

} // namespace detail

namespace {

MouseButton mouseButton(Qt::MouseButton button) {
    switch (button) {
    case Qt::RightButton:
        return MouseButton::Right;
    case Qt::MiddleButton:
        return MouseButton::Middle;
    default:
        return MouseButton::Left;
    }
}

Qt::Key qtKeyFor(int code) {
    switch (code) {
    case detail::KeyBackspace:
        return Qt::Key_Backspace;
    case detail::KeyEnter:
        return Qt::Key_Return;
    case detail::KeyEscape:
        return Qt::Key_Escape;
    default:
        break;
    }
    if (code >= 'a' && code <= 'z')
        return static_cast<Qt::Key>(code - 'a' + 'A');
    return static_cast<Qt::Key>(code);
}

// Resizes aligned children when their container's client area changes size.
class ResizeWatcher : public QObject {
public:
    ResizeWatcher(QWidget* watched, std::function<void()> onResize)
        : QObject(watched), onResize_(std::move(onResize)) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Resize)
            onResize_();
        return false;
    }

private:
    std::function<void()> onResize_;
};

} // namespace

// Turns the widget's key, focus and mouse events into the control's handlers.
class ControlEvents : public QObject {
public:
    ControlEvents(Control* control, QWidget* widget) : QObject(widget), control_(control) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (detail::destroying() || !control_->widget_)
            return false;
        switch (event->type()) {
        case QEvent::KeyPress:
            return keyPress(watched, static_cast<QKeyEvent*>(event));
        case QEvent::FocusIn:
            if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
                runHandler(control_->onEnter);
            return false;
        case QEvent::FocusOut:
            if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
                runHandler(control_->onExit);
            return false;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            mouse(watched, static_cast<QMouseEvent*>(event));
            return false;
        default:
            return false;
        }
    }

private:
    bool keyPress(QObject* watched, QKeyEvent* event) {
        if (replaying_)
            return false;
        const int code = detail::keyCode(*event);
        if (code < 0)
            return false;
        char key = static_cast<char>(code);
        Form* form = detail::formOf(control_->widget_);
        const bool isForm = form == static_cast<Control*>(control_);
        // A key a child did not take travels up to the form's window: the preview has seen it already.
        if (isForm && event == lastPreviewed)
            return false;
        if (form && !isForm && form->keyPreview() && form->onKeyPress) {
            lastPreviewed = event;
            if (!fire(form->onKeyPress, key))
                return true;
        }
        if (key != 0 && control_->onKeyPress && !fire(control_->onKeyPress, key))
            return true;
        if (key == 0)
            return true;
        if (key == static_cast<char>(code))
            return false;
        // The handler typed another character: deliver that one instead.
        const auto replaced = static_cast<unsigned char>(key);
        const QString text = replaced < detail::FirstPrintable ? QString() : QString(QChar(replaced));
        QKeyEvent other(QEvent::KeyPress, qtKeyFor(replaced), Qt::NoModifier, text);
        replaying_ = true;
        QCoreApplication::sendEvent(watched, &other);
        replaying_ = false;
        return true;
    }

    void mouse(QObject* watched, QMouseEvent* event) {
        auto* source = qobject_cast<QWidget*>(watched);
        QWidget* own = control_->widget_.data();
        if (!source || !own)
            return;
        const QPoint pos = source->mapTo(own->window(), event->position().toPoint()) -
                           own->mapTo(own->window(), QPoint(0, 0));
        const MouseButton button = mouseButton(event->button());
        const int x = pos.x();
        const int y = pos.y();
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            if (control_->onMouseDown)
                runHandler([&] { control_->onMouseDown(button, x, y); });
            break;
        case QEvent::MouseButtonRelease:
            if (control_->onMouseUp)
                runHandler([&] { control_->onMouseUp(button, x, y); });
            if (control_->clickOnRelease_ && event->button() == Qt::LeftButton && own->rect().contains(pos))
                runHandler(control_->onClick);
            break;
        case QEvent::MouseButtonDblClick:
            runHandler(control_->onDblClick);
            break;
        case QEvent::MouseMove:
            if (control_->onMouseMove)
                runHandler([&] { control_->onMouseMove(x, y); });
            break;
        default:
            break;
        }
    }

    Control* control_;
    bool replaying_ = false;
    static inline const QEvent* lastPreviewed = nullptr;
};

Control::Control(Container* parent, QWidget* widget) : parent_(parent), widget_(widget) {
    if (parent && parent->client()) {
        widget->setParent(parent->client());
        widget->setVisible(true);
    }
    auto* events = new ControlEvents(this, widget);
    widget->installEventFilter(events);
}

QWidget* Control::widget() const {
    return widget_.data();
}

Control::~Control() {
    if (widget_) {
        detail::DestroyingScope scope;
        delete widget_.data();
    }
}

void Control::watch(QWidget* child) {
    if (!child || !widget_)
        return;
    auto* events = new ControlEvents(this, child);
    child->installEventFilter(events);
}

void Control::setEnabled(bool enabled) {
    if (QWidget* w = widget_.data())
        w->setEnabled(enabled);
}

bool Control::enabled() const {
    const QWidget* w = widget_.data();
    return w && !w->testAttribute(Qt::WA_ForceDisabled);
}

void Control::setVisible(bool visible) {
    if (QWidget* w = widget_.data())
        w->setVisible(visible);
}

bool Control::visible() const {
    const QWidget* w = widget_.data();
    return w && !w->isHidden();
}

void Control::setBounds(int left, int top, int width, int height) {
    if (QWidget* w = widget_.data())
        w->setGeometry(left, top, width, height);
}

int Control::left() const {
    const QWidget* w = widget_.data();
    return w ? w->x() : 0;
}
int Control::top() const {
    const QWidget* w = widget_.data();
    return w ? w->y() : 0;
}
int Control::width() const {
    const QWidget* w = widget_.data();
    return w ? w->width() : 0;
}
int Control::height() const {
    const QWidget* w = widget_.data();
    return w ? w->height() : 0;
}
void Control::setLeft(int left) {
    setBounds(left, top(), width(), height());
}
void Control::setTop(int top) {
    setBounds(left(), top, width(), height());
}
void Control::setWidth(int width) {
    setBounds(left(), top(), width, height());
}
void Control::setHeight(int height) {
    setBounds(left(), top(), width(), height);
}

void Control::setAlign(Align align) {
    if (parent_ && widget_)
        parent_->setChildAlign(widget_, align);
}

void Control::setFont(const Font& font) {
    QWidget* w = widget_.data();
    if (!w)
        return;
    QFont qfont = w->font();
    if (!font.family.empty())
        qfont.setFamily(QString::fromStdString(font.family));
    if (font.size > 0)
        qfont.setPointSize(font.size);
    qfont.setBold(font.style.bold);
    qfont.setItalic(font.style.italic);
    qfont.setUnderline(font.style.underline);
    qfont.setStrikeOut(font.style.strikeOut);
    w->setFont(qfont);
    setFontColor(font.color);
}

Font Control::font() const {
    Font result;
    const QWidget* w = widget_.data();
    if (!w)
        return result;
    const QFont qfont = w->font();
    result.family = qfont.family().toStdString();
    result.size = qfont.pointSize();
    result.color = fontColor_;
    result.style = FontStyle{qfont.bold(), qfont.italic(), qfont.underline(), qfont.strikeOut()};
    return result;
}

void Control::setFontColor(Color color) {
    fontColor_ = color;
    QWidget* w = widget_.data();
    if (!w)
        return;
    QPalette palette = w->palette();
    const QColor qcolor = toQColor(color);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Active, role, qcolor);
        palette.setColor(QPalette::Inactive, role, qcolor);
    }
    w->setPalette(palette);
}

Color Control::fontColor() const {
    return fontColor_;
}

void Control::setFontBold(bool bold) {
    QWidget* w = widget_.data();
    if (!w)
        return;
    QFont qfont = w->font();
    qfont.setBold(bold);
    w->setFont(qfont);
}

bool Control::fontBold() const {
    const QWidget* w = widget_.data();
    return w && w->font().bold();
}

void Control::setColor(Color color) {
    QWidget* w = widget_.data();
    if (!w)
        return;
    QPalette palette = w->palette();
    const QColor qcolor = toQColor(color);
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        palette.setColor(role, qcolor);
    w->setPalette(palette);
    w->setAutoFillBackground(true);
}

void Control::setHint(const std::string& hint) {
    if (QWidget* w = widget_.data())
        w->setToolTip(QString::fromUtf8(hint.c_str()));
}

std::string Control::hint() const {
    const QWidget* w = widget_.data();
    return w ? w->toolTip().toUtf8().toStdString() : std::string();
}

void Control::setCursor(Cursor cursor) {
    QWidget* w = widget_.data();
    if (!w)
        return;
    switch (cursor) {
    case Cursor::Default:
        w->unsetCursor();
        break;
    case Cursor::Arrow:
        w->setCursor(Qt::ArrowCursor);
        break;
    case Cursor::Cross:
        w->setCursor(Qt::CrossCursor);
        break;
    case Cursor::Wait:
        w->setCursor(Qt::WaitCursor);
        break;
    case Cursor::Hand:
        w->setCursor(Qt::PointingHandCursor);
        break;
    case Cursor::IBeam:
        w->setCursor(Qt::IBeamCursor);
        break;
    }
}

void Control::setFocus() {
    if (QWidget* w = widget_.data())
        w->setFocus(Qt::OtherFocusReason);
}

bool Control::focused() const {
    const QWidget* w = widget_.data();
    return w && w->hasFocus();
}

void Control::repaint() {
    if (QWidget* w = widget_.data())
        w->repaint();
}

void Control::bringToFront() {
    if (QWidget* w = widget_.data())
        w->raise();
}

void Control::setMouseTracking(bool on) {
    if (QWidget* w = widget_.data())
        w->setMouseTracking(on);
}

void Control::click() {
    runHandlerFromCode(onClick);
}

Container::Container(Container* parent, QWidget* widget, QWidget* client)
    : Control(parent, widget), client_(client) {
    if (client)
        new ResizeWatcher(client, [this] { realign(); });
}

void Container::setClient(QWidget* client) {
    client_ = client;
    if (client)
        new ResizeWatcher(client, [this] { realign(); });
}

QWidget* Container::client() const {
    return client_.data();
}

int Container::clientWidth() const {
    const QWidget* c = client_.data();
    return c ? c->width() : 0;
}

int Container::clientHeight() const {
    const QWidget* c = client_.data();
    return c ? c->height() : 0;
}

void Container::setChildAlign(QWidget* child, Align align) {
    for (auto it = aligned_.begin(); it != aligned_.end();) {
        if (!it->widget || it->widget == child)
            it = aligned_.erase(it);
        else
            ++it;
    }
    if (align != Align::None)
        aligned_.push_back({child, align});
    realign();
}

void Container::realign() {
    const QWidget* client = client_.data();
    if (!client)
        return;
    QRect free = client->rect();
    // The toolkit's order: top, bottom, left, right, then the client filler.
    for (Align pass : {Align::Top, Align::Bottom, Align::Left, Align::Right, Align::Client}) {
        for (const AlignedChild& child : aligned_) {
            QWidget* w = child.widget.data();
            if (!w || child.align != pass)
                continue;
            switch (pass) {
            case Align::Top:
                w->setGeometry(free.left(), free.top(), free.width(), w->height());
                free.setTop(free.top() + w->height());
                break;
            case Align::Bottom:
                w->setGeometry(free.left(), free.bottom() + 1 - w->height(), free.width(), w->height());
                free.setBottom(free.bottom() - w->height());
                break;
            case Align::Left:
                w->setGeometry(free.left(), free.top(), w->width(), free.height());
                free.setLeft(free.left() + w->width());
                break;
            case Align::Right:
                w->setGeometry(free.right() + 1 - w->width(), free.top(), w->width(), free.height());
                free.setRight(free.right() - w->width());
                break;
            case Align::Client:
            case Align::None:
                w->setGeometry(free);
                break;
            }
        }
    }
}

} // namespace platform::ui
