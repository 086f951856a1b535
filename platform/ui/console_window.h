#pragma once

// The window an outside program writes into while it runs, in place of a console of its own: it is
// captioned with the program's command line and shows its standard output and error as they come.
// Closing it does not close it: it asks the caller to end the program, and the caller removes the
// window once the program has ended. The caller keeps it alive while it waits (keepAlive).

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace platform::ui {

// The text of a console: lines ended by LF (a CR before it is dropped), a lone CR returns to the
// start of the line so that progress counters overwrite themselves, and only the last maxLines
// lines are kept.
class ConsoleText {
public:
    explicit ConsoleText(size_t maxLines = DefaultMaxLines) : maxLines_(maxLines) {}
    void append(std::string_view bytes);
    // The kept lines joined by LF, the unfinished last line included.
    std::string text() const;

    static constexpr size_t DefaultMaxLines = 2000;

private:
    size_t maxLines_;
    std::vector<std::string> lines_;
    std::string current_;
    bool carriageReturn_ = false;
};

class ConsoleWindow {
public:
    explicit ConsoleWindow(const std::string& caption);
    ~ConsoleWindow();
    ConsoleWindow(const ConsoleWindow&) = delete;
    ConsoleWindow& operator=(const ConsoleWindow&) = delete;

    void show();
    void append(std::string_view bytes);
    // True once the user has closed the window (or requestClose ran).
    bool closeRequested() const { return closeRequested_; }
    void requestClose() { closeRequested_ = true; }

    std::string caption() const;
    std::string text() const { return text_.text(); }
    QWidget* widget() const;

    // The console windows that exist now, oldest first.
    static std::vector<ConsoleWindow*> open();

    // For the wait on a console's program: handles pending events so that every window is painted
    // and a console takes its close at once, while the user's input to the other windows waits for
    // the next full pump (processMessages).
    static void keepAlive();

private:
    class Window;
    std::unique_ptr<Window> window_;
    ConsoleText text_;
    bool closeRequested_ = false;
};

} // namespace platform::ui
