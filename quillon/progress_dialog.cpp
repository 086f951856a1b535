#include "quillon/progress_dialog.h"

#include "quillon/progress_text.h"
#include "quillon/progress_window.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QTimer>

namespace quillon {

namespace {
QString text(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

bool onWindowThread() {
    return qApp && QThread::currentThread() == qApp->thread();
}
} // namespace

ProgressDialog::~ProgressDialog() {
    destroy();
}

void ProgressDialog::create() {
    if (window_ || closedByUser_ || !onWindowThread() || !qobject_cast<QApplication*>(qApp))
        return;
    auto* window = new ProgressWindow;
    window->onTimer = [this] { timerMessage(); };
    window->onClosed = [this] { windowClosed(); };
    window_ = window;
    secondsElapsed_ = 0;
    refreshLocation();
    refreshTimes();
    if (!batchText_.empty())
        window->batchFileLabel()->setText(text(batchText_));
    if (!currentFileText_.empty())
        window->currentFileLabel()->setText(text(currentFileText_));
    window->show();
}

void ProgressDialog::destroy() {
    batchText_.clear();
    currentFileText_.clear();
    stopTimer();
    if (ProgressWindow* window = window_.data()) {
        window->onTimer = nullptr;
        window->onClosed = nullptr;
        if (onWindowThread())
            delete window;
        else
            window->deleteLater();
    }
    window_ = nullptr;
    timerRunning_ = false;
    closedByUser_ = false;
}

void ProgressDialog::windowClosed() {
    timerRunning_ = false;
    closedByUser_ = true;
    if (ProgressWindow* window = window_.data()) {
        window->onTimer = nullptr;
        window->onClosed = nullptr;
        window->deleteLater();
    }
    window_ = nullptr;
}

void ProgressDialog::setTotal(int64_t total) {
    total_ = total;
    refreshLocation();
}

void ProgressDialog::setBatchFile(const std::string& path) {
    batchText_ = path;
    if (ProgressWindow* window = window_.data())
        window->batchFileLabel()->setText(text(path));
}

void ProgressDialog::setCurrentFile(const std::string& path) {
    currentFileText_ = path;
    if (ProgressWindow* window = window_.data())
        window->currentFileLabel()->setText(text(path));
}

void ProgressDialog::startTimer() {
    ProgressWindow* window = window_.data();
    if (timerRunning_ || !window)
        return;
    window->timer()->start();
    timerRunning_ = true;
}

void ProgressDialog::stopTimer() {
    ProgressWindow* window = window_.data();
    if (!timerRunning_ || !window)
        return;
    window->timer()->stop();
    timerRunning_ = false;
    tick();
}

void ProgressDialog::timerMessage() {
    ++secondsElapsed_;
    tick();
}

void ProgressDialog::tick() {
    newPosition_ = feed_.position();
    if (auto file = feed_.takeCurrentFile())
        setCurrentFile(*file);
    if (newPosition_ != shownPosition_) {
        shownPosition_ = newPosition_;
        refreshLocation();
    }
    refreshTimes();
}

void ProgressDialog::refreshLocation() {
    ProgressWindow* window = window_.data();
    if (!window)
        return;
    window->locationLabel()->setText(text(locationText(shownPosition_, total_)));
    const float percent = percentOf(shownPosition_, total_);
    const int32_t whole = barPercent(percent);
    if (whole != lastPercent_) {
        window->bar()->setValue(whole);
        lastPercent_ = whole;
        ++barUpdates_;
    }
    window->percentLabel()->setText(text(percentText(percent)));
}

void ProgressDialog::refreshTimes() {
    ProgressWindow* window = window_.data();
    if (!window)
        return;
    window->elapsedLabel()->setText(text(durationText(secondsElapsed_)));
    if (shownPosition_ == 0) {
        window->remainingLabel()->setText("infinite");
    } else if (shownPosition_ == total_) {
        window->remainingLabel()->setText("finished");
        stopTimer();
    } else {
        window->remainingLabel()->setText(
            text(durationText(remainingSeconds(secondsElapsed_, shownPosition_, total_))));
    }
}

} // namespace quillon
