#pragma once

// The progress window of a running filter: created at Run, refreshed once a second by its timer on
// the thread that created it, destroyed at Stop. Reads never touch it: they leave the position and
// the current file in the filter's ProgressFeed, which each tick takes over.
//
// When the user closes the window, the timer stops and the window goes; it is not made again until
// the filter stops (destroy).

#include "quillon/progress_feed.h"
#include "quillon/progress_window.h"

#include <QPointer>

#include <cstdint>
#include <string>

namespace quillon {

class ProgressDialog {
public:
    explicit ProgressDialog(ProgressFeed& feed) : feed_(feed) {}
    ~ProgressDialog();
    ProgressDialog(const ProgressDialog&) = delete;
    ProgressDialog& operator=(const ProgressDialog&) = delete;

    // Shows the window unless it exists or the user closed it during this run. Only on the thread
    // of the application's windows; elsewhere nothing is shown.
    void create();
    void destroy();
    void setTotal(int64_t total);
    void setBatchFile(const std::string& path);
    void setCurrentFile(const std::string& path);
    void startTimer();
    void stopTimer();
    // What one timer message does: a second more, then a refresh tick.
    void timerMessage();
    void tick();

    ProgressWindow* window() const { return window_.data(); }
    bool timerRunning() const { return timerRunning_; }
    bool closedByUser() const { return closedByUser_; }
    int64_t secondsElapsed() const { return secondsElapsed_; }
    // How often the bar was set (it is set only when the whole percent changes).
    int barUpdates() const { return barUpdates_; }

private:
    void refreshLocation();
    void refreshTimes();
    void windowClosed();

    ProgressFeed& feed_;
    QPointer<ProgressWindow> window_;
    int64_t newPosition_ = 0;
    int64_t shownPosition_ = 0;
    int64_t total_ = 0;
    int32_t lastPercent_ = 0;
    std::string batchText_;
    std::string currentFileText_;
    int64_t secondsElapsed_ = 0;
    bool timerRunning_ = false;
    bool closedByUser_ = false;
    int barUpdates_ = 0;
};

} // namespace quillon
