#pragma once

// The clip appender's job: a finished movie rewritten into a new AVI file with the clip of its picture
// size after its last frame, its own audio re-interleaved with a delay and a preload, optionally cut in
// two halves at a key frame (each half gets the clip). The window drives it; tests call it directly.

#include "tools/muxer/mux_engine.h"

#include <string>

namespace tools::clip_appender {

using tools::muxer::MuxOutcome;

class ClipSink : public tools::muxer::MuxSink {
public:
    // The clip file that the job looks for, before it looks.
    virtual void showClipPath(const std::string& /*path*/) {}
};

struct ClipSettings {
    std::string source; // SourceEdit: the movie
    std::string target; // TargetEdit
    std::string logoPrefix;
    bool split = false;
    double delaySeconds = 0; // positive: the audio earlier; negative: later
    double preloadSeconds = 0.5;
};

struct ClipResult {
    MuxOutcome outcome = MuxOutcome::Failed;
    std::string targetPath;
    std::string clipPath;
    int64_t splitFrame = -1;
};

class ClipEngine {
public:
    explicit ClipEngine(ClipSink& sink) : sink_(sink) {}

    // userBreak is cleared when a first part starts and read once per interleave step.
    ClipResult run(const ClipSettings& settings, bool firstPart, bool& userBreak);

    bool running() const { return running_; }

private:
    ClipResult runSteps(const ClipSettings& settings, bool firstPart, bool& userBreak);

    ClipSink& sink_;
    bool running_ = false;
};

} // namespace tools::clip_appender
