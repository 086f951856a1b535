#include "platform/ui/application.h"

#include "platform/ui/dialogs.h"
#include "platform/ui/form.h"
#include "platform/ui/held_input.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>

#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

namespace platform::ui {

namespace {

Application* theApplication = nullptr;
thread_local int handlerDepth = 0;
// Work that must wait until no handler is on the stack (freeing a window, whose handler may be the
// one that pumped the event loop that asked for it).
thread_local std::vector<std::function<void()>> idleWork;

std::string& titleStorage() {
    static std::string title;
    return title;
}

// Counts the handlers running on this thread for the duration of one call.
void runWhenIdle(std::function<void()> work);

// Posts the waiting work to the event loop: it runs once the event that ended the last handler has
// been dispatched, so that no widget of a handler's own call chain goes away under it.
void postIdleWork() {
    std::vector<std::function<void()>> work;
    work.swap(idleWork);
    for (std::function<void()>& item : work)
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [item = std::move(item)]() mutable { runWhenIdle(std::move(item)); }, Qt::QueuedConnection);
}

// Runs the work now when no handler is running, else keeps it until the outermost handler returns.
// A nested event loop inside a handler therefore never runs it.
void runWhenIdle(std::function<void()> work) {
    if (handlerDepth > 0) {
        idleWork.push_back(std::move(work));
        return;
    }
    work();
}

class DepthGuard {
public:
    DepthGuard() { ++handlerDepth; }
    ~DepthGuard() {
        if (--handlerDepth == 0 && !idleWork.empty())
            postIdleWork();
    }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
};

} // namespace

Application::Application(int& argc, char** argv) {
    if (!QApplication::instance())
        ownApp_ = std::make_unique<QApplication>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    theApplication = this;
}

Application::~Application() {
    if (theApplication == this)
        theApplication = nullptr;
}

Application* Application::instance() {
    return theApplication;
}

void Application::formCreated(Form* form) {
    if (!mainForm_)
        mainForm_ = form;
}

void Application::formDestroyed(Form* form) {
    if (mainForm_ == form)
        mainForm_ = nullptr;
}

void Application::mainFormClosed() {
    terminate(exitCode_);
}

int Application::run(Form& mainForm) {
    mainForm_ = &mainForm;
    if (terminated_)
        return exitCode_;
    mainForm.show();
    if (terminated_)
        return exitCode_;
    return QApplication::exec();
}

void Application::terminate(int exitCode) {
    terminated_ = true;
    exitCode_ = exitCode;
    QCoreApplication::exit(exitCode);
}

std::string programFile() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.string();
}

std::string applicationTitle() {
    if (titleStorage().empty())
        return std::filesystem::path(programFile()).stem().string();
    return titleStorage();
}

void setApplicationTitle(const std::string& title) {
    titleStorage() = title;
}

void processMessages() {
    releaseHeldInput();
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void afterHandlers(std::function<void()> work) {
    if (handlerDepth > 0) {
        idleWork.push_back(std::move(work));
        return;
    }
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [work = std::move(work)]() mutable { runWhenIdle(std::move(work)); },
        Qt::QueuedConnection);
}

bool insideHandler() {
    return handlerDepth > 0;
}

bool runHandler(const std::function<void()>& handler) {
    if (!handler)
        return true;
    try {
        DepthGuard depth;
        handler();
        return true;
    } catch (...) {
        showException(std::current_exception());
        return false;
    }
}

bool runHandlerFromCode(const std::function<void()>& handler) {
    if (!handler)
        return true;
    if (!insideHandler())
        return runHandler(handler);
    DepthGuard depth;
    handler();
    return true;
}

std::string exceptionText(const std::exception_ptr& error) {
    std::string text;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        text = e.what();
    } catch (...) {
        text = "Unknown error";
    }
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return text;
}

void showException(const std::exception_ptr& error) {
    messageBox(MessageKind::Error, exceptionText(error), Buttons::Ok, applicationTitle());
}

} // namespace platform::ui
