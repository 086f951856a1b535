#include "platform/ui/timer.h"

#include "platform/ui/application.h"

#include <QTimer>

namespace platform::ui {

Timer::Timer(int intervalMs) : timer_(std::make_unique<QTimer>()) {
    timer_->setInterval(intervalMs);
    QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(), [this] { runHandler(onTimer); });
}

Timer::~Timer() = default;

void Timer::setInterval(int intervalMs) {
    timer_->setInterval(intervalMs);
    if (timer_->isActive())
        timer_->start();
}

int Timer::interval() const {
    return timer_->interval();
}

void Timer::setEnabled(bool enabled) {
    if (enabled && !timer_->isActive())
        timer_->start();
    else if (!enabled)
        timer_->stop();
}

bool Timer::enabled() const {
    return timer_->isActive();
}

} // namespace platform::ui
