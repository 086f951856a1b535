#pragma once

// What the audio and the video steps of a rip share: the step record's start and end, a step that
// cannot go on, and the outside programs run for a step.

#include "platform/core/clock.h"

#include <string>

namespace kes {

class TForm1;

class RipStepRun {
protected:
    explicit RipStepRun(TForm1& form);

    // A step starts or ends now: the rip's record takes the time, which is returned for the step's own
    // field.
    static platform::core::DateTime stepStart();
    static platform::core::DateTime stepEnd();

    // A step that cannot go on: its message (none in multi-rip mode) and the end of the rip.
    void failStep(const std::string& message);

    // Runs an outside program and waits for it; one that could not be started ends the rip (the
    // runner said why).
    bool runProgram(const std::string& commandLine);

    // Starts an outside program without waiting; one that cannot be started ends the rip.
    bool startProgram(const std::string& commandLine);

    TForm1& f_;
    const bool multi_;
};

} // namespace kes
