#pragma once

// The converter's progress window: frames done of all, frames per second, the time left, and Stop.
// It reads the running conversion's counters four times a second and closes itself when the
// conversion is over (done() turns true). With a dialog script given, it asks the script once, as it
// opens, whether the user presses Stop (answer "Stop").

#include "outside/mpeg2avi/conversion.h"
#include "platform/ui/ui.h"

#include <atomic>
#include <chrono>
#include <string>

namespace mpeg2avi {

// "hh:mm:ss" of a number of seconds.
std::string clockText(int64_t seconds);
// The three lines of the window for the counters after a number of seconds.
struct ProgressTexts {
    std::string frames, speed, left;
};
ProgressTexts progressTexts(int64_t done, int64_t total, double seconds);

class ProgressWindow : public platform::ui::Form {
public:
    ProgressWindow(const std::string& title, ConversionProgress& progress, const std::atomic<bool>& done);

private:
    void refresh();
    void StopClick();
    void askScript(const ProgressTexts& texts);

    ConversionProgress& progress_;
    const std::atomic<bool>& done_;
    bool scriptAsked_ = false;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    platform::ui::Label Frames{*this};
    platform::ui::Label Speed{*this};
    platform::ui::Label Left{*this};
    platform::ui::ProgressBar Bar{*this};
    platform::ui::Button Stop{*this, "Stop"};
    platform::ui::Timer Ticker{250};
};

} // namespace mpeg2avi
