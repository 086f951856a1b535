#include "platform/ui/application.h"

#include "platform/ui/dialogs.h"
#include "platform/ui/form.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>

#include <filesystem>
#include <system_error>

namespace platform::ui {

namespace {

Application* theApplication = nullptr;
thread_local int handlerDepth = 0;

std::string& titleStorage() {
    static std::string title;
    return title;
}

// Counts the handlers running on this thread for the duration of one call.
class DepthGuard {
public:
    DepthGuard() { ++handlerDepth; }
    ~DepthGuard() { --handlerDepth; }
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
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
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
