#pragma once

// What a remux or join job tells its caller while it runs, and the flags the caller reads back: the
// stop flag (set by "Stop", cleared when each output file starts, set again by a failure) and the
// failure flag (set only by a failure, so that a stop and a failure can be told apart afterwards).
//
// The jobs run on the caller's thread; processEvents is where a window lets its event loop run, and
// where its "Stop" button sets the stop flag.

#include <string>

namespace tools::synchronizer {

class JobSink {
public:
    virtual ~JobSink() = default;

    virtual bool stopFlag() const { return stop_; }
    virtual void setStopFlag(bool value) { stop_ = value; }
    bool failed() const { return failed_; }
    void clearFailed() { failed_ = false; }
    // A failure ends the job as a stop does, and stays visible.
    void fail() {
        failed_ = true;
        setStopFlag(true);
    }

    // Called after each step of a copy: progress of the current file in percent (0 to 100).
    virtual void progress(double /*videoPercent*/, double /*audioPercent*/) {}
    virtual void processEvents() {}
    // An output file is about to be written, and is done (the window's elapsed-time timer).
    virtual void muxStarted() {}
    virtual void muxEnded() {}
    // The join starts appending file index (0-based) of count.
    virtual void joinFileStarted(int /*index*/, int /*count*/, const std::string& /*path*/) {}

private:
    bool stop_ = false;
    bool failed_ = false;
};

} // namespace tools::synchronizer
