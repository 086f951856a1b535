#include "platform/ui/ranges.h"

#include "platform/ui/application.h"

#include <QProgressBar>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

namespace platform::ui {

namespace {

Qt::Orientation qtOrientation(Orientation orientation) {
    return orientation == Orientation::Horizontal ? Qt::Horizontal : Qt::Vertical;
}

// Sets a range of a slider or scroll bar and reports whether the position moved.
bool setSliderRange(QAbstractSlider* slider, int min, int max) {
    if (!slider)
        return false;
    const int before = slider->value();
    const QSignalBlocker blocker(slider);
    slider->setRange(min, std::max(min, max));
    return slider->value() != before;
}

bool setSliderValue(QAbstractSlider* slider, int value) {
    if (!slider)
        return false;
    const int before = slider->value();
    const QSignalBlocker blocker(slider);
    slider->setValue(value);
    return slider->value() != before;
}

} // namespace

// ---- TrackBar

TrackBar::TrackBar(Container& parent, Orientation orientation) : Control(&parent, new QSlider) {
    slider()->setOrientation(qtOrientation(orientation));
    slider()->setRange(0, 10);
    slider()->setTickPosition(QSlider::TicksBelow);
    slider()->setTickInterval(1);
    QObject::connect(slider(), &QSlider::valueChanged, slider(), [this] { runHandler(onChange); });
}

QSlider* TrackBar::slider() const {
    return static_cast<QSlider*>(widget());
}

int TrackBar::min() const {
    return slider() ? slider()->minimum() : 0;
}
int TrackBar::max() const {
    return slider() ? slider()->maximum() : 0;
}
void TrackBar::setMin(int min) {
    setRange(min, std::max(min, max()));
}
void TrackBar::setMax(int max) {
    setRange(std::min(min(), max), max);
}
void TrackBar::setRange(int min, int max) {
    if (setSliderRange(slider(), min, max))
        runHandlerFromCode(onChange);
}
int TrackBar::position() const {
    return slider() ? slider()->value() : 0;
}
void TrackBar::setPosition(int position) {
    if (setSliderValue(slider(), position))
        runHandlerFromCode(onChange);
}
void TrackBar::setPositionSilent(int position) {
    setSliderValue(slider(), position);
}
void TrackBar::setFrequency(int frequency) {
    if (!slider())
        return;
    slider()->setTickPosition(frequency > 0 ? QSlider::TicksBelow : QSlider::NoTicks);
    slider()->setTickInterval(std::max(frequency, 0));
}
void TrackBar::setPageSize(int pageSize) {
    if (slider())
        slider()->setPageStep(pageSize);
}
void TrackBar::setLineSize(int lineSize) {
    if (slider())
        slider()->setSingleStep(lineSize);
}

// ---- ProgressBar and Gauge

ProgressBar::ProgressBar(Container& parent) : Control(&parent, new QProgressBar) {
    progressBar()->setRange(0, 100);
    progressBar()->setValue(0);
    progressBar()->setTextVisible(false);
}

QProgressBar* ProgressBar::progressBar() const {
    return static_cast<QProgressBar*>(widget());
}

int ProgressBar::min() const {
    return progressBar() ? progressBar()->minimum() : 0;
}
int ProgressBar::max() const {
    return progressBar() ? progressBar()->maximum() : 0;
}
void ProgressBar::setMin(int min) {
    if (!progressBar())
        return;
    const int pos = position();
    progressBar()->setRange(min, std::max(min, max()));
    progressBar()->setValue(std::clamp(pos, this->min(), this->max()));
}
void ProgressBar::setMax(int max) {
    if (!progressBar())
        return;
    const int pos = position();
    progressBar()->setRange(std::min(min(), max), max);
    progressBar()->setValue(std::clamp(pos, this->min(), this->max()));
}
int ProgressBar::position() const {
    // An unset QProgressBar reports min - 1; the position is then the minimum.
    return progressBar() ? std::max(progressBar()->value(), progressBar()->minimum()) : 0;
}
void ProgressBar::setPosition(int position) {
    if (progressBar())
        progressBar()->setValue(std::clamp(position, min(), max()));
}
void ProgressBar::stepBy(int delta) {
    const long long next = static_cast<long long>(position()) + delta;
    setPosition(static_cast<int>(std::clamp<long long>(next, min(), max())));
}

Gauge::Gauge(Container& parent) : ProgressBar(parent) {
    progressBar()->setTextVisible(true);
    progressBar()->setAlignment(Qt::AlignCenter);
}

// ---- ScrollBar

ScrollBar::ScrollBar(Container& parent, Orientation orientation) : Control(&parent, new QScrollBar) {
    scrollBar()->setOrientation(qtOrientation(orientation));
    scrollBar()->setRange(0, 100);
    QObject::connect(scrollBar(), &QScrollBar::valueChanged, scrollBar(), [this] {
        runHandler(onChange);
        runHandler(onScroll);
    });
}

QScrollBar* ScrollBar::scrollBar() const {
    return static_cast<QScrollBar*>(widget());
}

int ScrollBar::min() const {
    return scrollBar() ? scrollBar()->minimum() : 0;
}
int ScrollBar::max() const {
    return scrollBar() ? scrollBar()->maximum() : 0;
}
void ScrollBar::setMin(int min) {
    setRange(min, std::max(min, max()));
}
void ScrollBar::setMax(int max) {
    setRange(std::min(min(), max), max);
}
void ScrollBar::setRange(int min, int max) {
    if (setSliderRange(scrollBar(), min, max))
        runHandlerFromCode(onChange);
}
int ScrollBar::position() const {
    return scrollBar() ? scrollBar()->value() : 0;
}
void ScrollBar::setPosition(int position) {
    if (setSliderValue(scrollBar(), position))
        runHandlerFromCode(onChange);
}
void ScrollBar::setPositionSilent(int position) {
    setSliderValue(scrollBar(), position);
}
void ScrollBar::setPageSize(int pageSize) {
    if (scrollBar())
        scrollBar()->setPageStep(pageSize);
}
void ScrollBar::setLargeChange(int step) {
    setPageSize(step);
}
void ScrollBar::setSmallChange(int step) {
    if (scrollBar())
        scrollBar()->setSingleStep(step);
}

} // namespace platform::ui
