#pragma once

// A sink for the muxer's jobs that records what they show and can press Stop after some steps.

#include "tools/muxer/mux_engine.h"

#include <string>
#include <vector>

namespace kes::test {

class RecordingSink : public tools::muxer::MuxSink {
public:
    std::vector<std::string> errors;
    std::vector<std::string> notices;
    int steps = 0;
    int timersOn = 0;
    int timersOff = 0;
    bool* userBreak = nullptr;
    int stopAfter = -1; // sets *userBreak at this step

    void errorBox(const std::string& text) override { errors.push_back(text); }
    void clipMissing(const std::string& notice) override { notices.push_back(notice); }
    void timerOn() override { ++timersOn; }
    void timerOff() override { ++timersOff; }
    void processMessages() override {
        if (++steps == stopAfter && userBreak != nullptr)
            *userBreak = true;
    }
};

} // namespace kes::test
