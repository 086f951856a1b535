#pragma once

// The demux job: the audio stream of an AVI file written as a WAV file whose "fmt " chunk holds the
// stream's format as stored and whose "data" chunk holds the stream's bytes.

#include "tools/muxer/mux_engine.h"

#include <string>

namespace tools::muxer {

// Samples asked for per read, and the buffer they go to (it grows when one sample needs more).
inline constexpr int DemuxSamplesPerRead = 2048;
inline constexpr int DemuxBufferBytes = 2048;

struct DemuxResult {
    MuxOutcome outcome = MuxOutcome::Failed;
    int64_t dataBytes = 0;
};

class DemuxEngine {
public:
    explicit DemuxEngine(MuxSink& sink) : sink_(sink) {}

    // userBreak is cleared when the job starts and read once per read step. A stopped job leaves a
    // complete WAV file of what was read; a failed one leaves nothing in the target's place.
    DemuxResult run(const std::string& source, const std::string& target, bool& userBreak);

    double audioPercent() const { return audioPercent_; }
    bool running() const { return running_; }

private:
    DemuxResult runSteps(const std::string& source, const std::string& target, bool& userBreak);

    MuxSink& sink_;
    double audioPercent_ = 0;
    bool running_ = false;
};

} // namespace tools::muxer
