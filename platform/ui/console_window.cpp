#include "platform/ui/console_window.h"

#include "platform/ui/held_input.h"
#include "platform/ui/qt_text.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QWindow>

#include <algorithm>

namespace platform::ui {

using detail::qs;
using detail::ss;

namespace {

constexpr int ConsoleWidth = 640;
constexpr int ConsoleHeight = 320;

std::vector<ConsoleWindow*>& consoles() {
    static std::vector<ConsoleWindow*> all;
    return all;
}

} // namespace

void ConsoleText::append(std::string_view bytes) {
    for (const char c : bytes) {
        if (c == '\n') {
            lines_.push_back(std::move(current_));
            current_.clear();
            carriageReturn_ = false;
            if (lines_.size() > maxLines_)
                lines_.erase(lines_.begin(),
                             lines_.begin() + static_cast<std::ptrdiff_t>(lines_.size() - maxLines_));
            continue;
        }
        if (c == '\r') {
            carriageReturn_ = true;
            continue;
        }
        if (carriageReturn_) {
            current_.clear(); // text after a CR: the line starts over
            carriageReturn_ = false;
        }
        current_.push_back(c);
    }
}

std::string ConsoleText::text() const {
    std::string all;
    for (const std::string& line : lines_) {
        all += line;
        all += '\n';
    }
    return all + current_;
}

class ConsoleWindow::Window : public QPlainTextEdit {
public:
    explicit Window(ConsoleWindow& owner) : owner_(owner) {}

protected:
    void closeEvent(QCloseEvent* event) override {
        // The program is ended first; the window goes when it has.
        owner_.requestClose();
        event->ignore();
    }

private:
    ConsoleWindow& owner_;
};

ConsoleWindow::ConsoleWindow(const std::string& caption) : window_(std::make_unique<Window>(*this)) {
    window_->setWindowTitle(qs(caption));
    window_->setReadOnly(true);
    window_->setLineWrapMode(QPlainTextEdit::NoWrap);
    window_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    window_->resize(ConsoleWidth, ConsoleHeight);
    consoles().push_back(this);
}

ConsoleWindow::~ConsoleWindow() {
    std::erase(consoles(), this);
}

void ConsoleWindow::show() {
    window_->show();
}

void ConsoleWindow::append(std::string_view bytes) {
    text_.append(bytes);
    window_->setPlainText(QString::fromUtf8(text_.text()));
    window_->verticalScrollBar()->setValue(window_->verticalScrollBar()->maximum());
    // The runner waits between its event pumps; the new text is painted now.
    if (window_->isVisible())
        window_->repaint();
}

std::string ConsoleWindow::caption() const {
    return ss(window_->windowTitle());
}

QWidget* ConsoleWindow::widget() const {
    return window_.get();
}

std::vector<ConsoleWindow*> ConsoleWindow::open() {
    return consoles();
}

void ConsoleWindow::keepAlive() {
    processMessagesHoldingInput([](const QWindow* window) {
        return std::any_of(consoles().begin(), consoles().end(), [window](const ConsoleWindow* console) {
            return console->window_->windowHandle() == window;
        });
    });
}

} // namespace platform::ui
