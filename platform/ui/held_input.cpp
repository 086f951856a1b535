#include "platform/ui/held_input.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWindow>

#include <memory>
#include <utility>
#include <vector>

namespace platform::ui {

namespace {

struct HeldEvent {
    QPointer<QWindow> window;
    std::unique_ptr<QEvent> event;
};

std::vector<HeldEvent>& held() {
    static std::vector<HeldEvent> events;
    return events;
}

// The user's actions; moves and hovering go through, they only change what is painted.
bool isUserAction(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Close:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

// Input from the window system reaches a top-level window first; the window hands it on to its
// widgets. Holding it there holds it for the whole window. (Code closes and clicks widgets, not their
// top-level windows, so what is held is the user's.)
class InputHolder : public QObject {
public:
    explicit InputHolder(const std::function<bool(const QWindow*)>& letThrough) : letThrough_(letThrough) {}

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (!receiver->isWindowType() || !isUserAction(event->type()))
            return false;
        auto* window = static_cast<QWindow*>(receiver);
        if (letThrough_(window) || QApplication::activeModalWidget() != nullptr)
            return false;
        held().push_back({window, std::unique_ptr<QEvent>(event->clone())});
        return true;
    }

private:
    const std::function<bool(const QWindow*)>& letThrough_;
};

} // namespace

void processMessagesHoldingInput(const std::function<bool(const QWindow*)>& letThrough) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    InputHolder holder(letThrough);
    app->installEventFilter(&holder);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    app->removeEventFilter(&holder);
}

void releaseHeldInput() {
    std::vector<HeldEvent> events;
    events.swap(held());
    for (HeldEvent& e : events) {
        if (e.window)
            QCoreApplication::postEvent(e.window, e.event.release());
    }
}

int heldInputCount() {
    return static_cast<int>(held().size());
}

} // namespace platform::ui
