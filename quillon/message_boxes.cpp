#include "quillon/message_boxes.h"

#include "platform/ui/dialog_script.h"
#include "platform/ui/dialogs.h"

#include <QApplication>
#include <QMetaObject>
#include <QThread>

#include <cstdio>

namespace quillon {

namespace {

bool haveWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

bool onWindowThread() {
    return haveWidgets() && QThread::currentThread() == qApp->thread();
}

} // namespace

void MessageBoxes::warning(const std::string& caption, const std::string& text) {
    if (!haveWidgets()) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        pending_.emplace_back(caption, text);
    }
    // Shown from the event loop unless the filter flushes first.
    QMetaObject::invokeMethod(
        qApp, [this] { flush(); }, Qt::QueuedConnection);
}

bool MessageBoxes::question(const std::string& caption, const std::string& text) {
    // Any answer but No goes on, so where no one can answer (off the window thread, no display, a
    // script without an answer left) the list is loaded.
    if (!onWindowThread())
        return true;
    std::string scripted;
    if (platform::ui::testing::scriptedAnswer(
            "warning", caption, text, "Yes",
            [](const std::string& answer) { return answer == "Yes" || answer == "No"; }, scripted))
        return scripted != "No";
    return platform::ui::messageBox(platform::ui::MessageKind::Warning, text, platform::ui::Buttons::YesNo,
                                    caption) != platform::ui::Answer::No;
}

void MessageBoxes::flush() {
    if (!onWindowThread())
        return;
    for (;;) {
        std::pair<std::string, std::string> next;
        {
            const std::lock_guard lock(mutex_);
            if (pending_.empty())
                return;
            next = std::move(pending_.front());
            pending_.erase(pending_.begin());
        }
        platform::ui::warningBox(next.second, next.first);
    }
}

MessageSink& messageBoxes() {
    static MessageBoxes boxes;
    return boxes;
}

} // namespace quillon
