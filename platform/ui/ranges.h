#pragma once

// Controls over an integer range: track bar, progress bar, gauge, scroll bar. Setting min or max moves
// the position into the range (onChange runs when the position changes that way).

#include "platform/ui/control.h"

class QSlider;
class QProgressBar;
class QScrollBar;

namespace platform::ui {

enum class Orientation { Horizontal, Vertical };

class TrackBar : public Control {
public:
    explicit TrackBar(Container& parent, Orientation orientation = Orientation::Horizontal);

    int min() const;
    int max() const;
    void setMin(int min);
    void setMax(int max);
    void setRange(int min, int max);
    int position() const;
    // Sets the position (kept in range); onChange runs when it changes.
    void setPosition(int position);
    void setPositionSilent(int position);
    // Distance between tick marks (0: none).
    void setFrequency(int frequency);
    void setPageSize(int pageSize);
    void setLineSize(int lineSize);

    QSlider* slider() const;

    // A change of the position, by the user or by a setter.
    std::function<void()> onChange;
};

class ProgressBar : public Control {
public:
    explicit ProgressBar(Container& parent);

    int min() const;
    int max() const;
    void setMin(int min);
    void setMax(int max);
    int position() const;
    void setPosition(int position); // kept in range
    // Advances the position by delta (kept in range).
    void stepBy(int delta);
    void setStep(int step) { step_ = step; }
    void stepIt() { stepBy(step_); }

    QProgressBar* progressBar() const;

private:
    int step_ = 10;
};

// A progress bar that shows its percentage as text.
class Gauge : public ProgressBar {
public:
    explicit Gauge(Container& parent);

    int progress() const { return position(); }
    void setProgress(int progress) { setPosition(progress); }
    void addProgress(int delta) { stepBy(delta); }
};

class ScrollBar : public Control {
public:
    explicit ScrollBar(Container& parent, Orientation orientation = Orientation::Horizontal);

    int min() const;
    int max() const;
    void setMin(int min);
    void setMax(int max);
    void setRange(int min, int max);
    int position() const;
    // Sets the position (kept in range); onChange runs when it changes. onScroll does not run.
    void setPosition(int position);
    void setPositionSilent(int position);
    void setPageSize(int pageSize);
    void setLargeChange(int step);
    void setSmallChange(int step);

    QScrollBar* scrollBar() const;

    // Any change of the position.
    std::function<void()> onChange;
    // The user moved the bar (drag, arrows, page clicks); position() is the new position.
    std::function<void()> onScroll;
};

} // namespace platform::ui
