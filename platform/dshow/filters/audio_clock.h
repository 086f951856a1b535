#pragma once

// The stream time of the sound now being heard, for the sound renderer's reference clock: anchored at
// each played block (its stream time less what is still queued before the listener) and running on with
// the wall clock between blocks, never past what was given until the stream has ended, and standing
// still while paused. Every call may come from any thread.

#include "platform/dshow/types.h"

#include <chrono>
#include <mutex>
#include <optional>

namespace platform::dshow::filters {

class AudioClock {
public:
    using Clock = std::chrono::steady_clock;

    // A new stream begins (start, flush): nothing heard yet; segmentStart is where it begins.
    void restart(std::optional<REFERENCE_TIME> segmentStart);
    // The stream time of the first block after a restart.
    void setBase(REFERENCE_TIME base);
    std::optional<REFERENCE_TIME> base();
    // After a block: given = stream time at the end of everything given so far; heard = the stream time
    // the listener hears now.
    void played(REFERENCE_TIME given, REFERENCE_TIME heard);
    void setRunning(bool running);
    // The end of the stream has played: the clock runs on freely.
    void ended();

    REFERENCE_TIME now();

private:
    REFERENCE_TIME currentLocked(Clock::time_point when) const;

    std::mutex mutex_;
    std::optional<REFERENCE_TIME> base_;
    REFERENCE_TIME anchor_ = 0;
    Clock::time_point anchorWall_ = Clock::now();
    REFERENCE_TIME given_ = 0;
    bool anchored_ = false;
    bool running_ = false;
    bool ended_ = false;
};

} // namespace platform::dshow::filters
