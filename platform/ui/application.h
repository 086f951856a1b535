#pragma once

// The application object: owns (or adopts) the QApplication, runs the event loop until the main form
// closes, pumps pending events, and turns an exception that escapes an event handler into an error
// box. Every handler that platform::ui invokes goes through runHandler or runHandlerFromCode.

#include <exception>
#include <functional>
#include <memory>
#include <string>

class QApplication;

namespace platform::ui {

class Form;

class Application {
public:
    // Creates the QApplication unless one exists already (tests create their own).
    Application(int& argc, char** argv);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The live application object, or null when none was made (the free functions below work either way).
    static Application* instance();

    // Shows the main form and runs the event loop until it closes (or terminate()); returns the exit code.
    int run(Form& mainForm);
    Form* mainForm() const { return mainForm_; }
    // Ends the event loop at the next chance.
    void terminate(int exitCode = 0);

private:
    friend class Form;
    // The first form made while the application object lives becomes the main form, so that closing
    // it (even from its onCreate, before run) ends the program.
    void formCreated(Form* form);
    void formDestroyed(Form* form);
    void mainFormClosed();
    std::unique_ptr<QApplication> ownApp_;
    Form* mainForm_ = nullptr;
    bool terminated_ = false;
    int exitCode_ = 0;
};

// The application's title (caption of plain message boxes and of the error box of an exception);
// by default the program file's name without its extension.
std::string applicationTitle();
void setApplicationTitle(const std::string& title);

// The full path of the running program file.
std::string programFile();

// Lets every pending event run (timers, paints, clicks, and the input held by
// processMessagesHoldingInput first), then returns.
void processMessages();

// Runs a handler for an event that came from the window system (a click, a key, a timer, a show):
// an exception escaping it is caught here and shown in the error box; the handler ends there.
// Returns true when the handler ran to its end (or was empty).
bool runHandler(const std::function<void()>& handler);

// Runs a handler that a setter called from code chains to (setText running onChange, ...). Inside
// another handler, an exception goes on to the caller, which ends as the toolkit's callers did; outside
// any handler it is caught and shown as by runHandler.
bool runHandlerFromCode(const std::function<void()>& handler);

// Runs the work from the event loop once no handler invoked through platform::ui is running any more:
// at the next event when none is, else after the outermost one returns. A nested event loop (a
// message box, processMessages inside a job) does not run it.
void afterHandlers(std::function<void()> work);

// True while a handler invoked through platform::ui is running on this thread.
bool insideHandler();

// Shows the error box for an exception: the message (a "." is appended when its last character sorts
// after ".", i.e. a letter or digit, as the toolkit did), caption applicationTitle(). Unknown exception types
// show a fixed text.
void showException(const std::exception_ptr& error);
// The text showException puts in the box.
std::string exceptionText(const std::exception_ptr& error);

// Helpers that invoke a handler with arguments through the dispatch above (no-op when empty).
template <typename... Args>
bool fire(const std::function<void(Args&...)>& handler, Args&... args) {
    if (!handler)
        return true;
    return runHandler([&] { handler(args...); });
}
template <typename... Args>
bool fireFromCode(const std::function<void(Args&...)>& handler, Args&... args) {
    if (!handler)
        return true;
    return runHandlerFromCode([&] { handler(args...); });
}

} // namespace platform::ui
