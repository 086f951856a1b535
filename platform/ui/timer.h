#pragma once

// A timer whose onTimer runs every interval while enabled (through the event loop, so only while the
// loop runs or events are pumped). Unlike the old toolkit's timers, a new Timer starts disabled.

#include <functional>
#include <memory>

class QTimer;

namespace platform::ui {

class Timer {
public:
    explicit Timer(int intervalMs = 1000);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Setting the interval of an enabled timer restarts its count.
    void setInterval(int intervalMs);
    int interval() const;
    void setEnabled(bool enabled);
    bool enabled() const;

    std::function<void()> onTimer;

    QTimer* timer() const { return timer_.get(); }

private:
    std::unique_ptr<QTimer> timer_;
};

} // namespace platform::ui
