#pragma once

// The small window shown while ac3dec.exe plays a stream: what plays, and a button to stop it.
// Closing the window stops it too.

#include "platform/ui/buttons.h"
#include "platform/ui/edit.h"
#include "platform/ui/form.h"

#include <functional>
#include <string>

namespace outside::ac3dec {

class PlayWindow : public platform::ui::Form {
public:
    explicit PlayWindow(const std::string& what);

    platform::ui::Label Playing{*this};
    platform::ui::Button Stop{*this, "Stop"};

    bool stopRequested() const { return stopRequested_; }
    // Runs once, when the user stops the playing.
    std::function<void()> onStop;

private:
    void requestStop();
    bool stopRequested_ = false;
};

} // namespace outside::ac3dec
