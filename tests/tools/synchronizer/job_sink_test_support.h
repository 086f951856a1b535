#pragma once

// A job sink for the tests: counts what the job reports and presses "Stop" after a number of frames.

#include "tools/synchronizer/job_sink.h"

#include <functional>
#include <string>
#include <vector>

namespace kes::test {

class RecordingSink : public tools::synchronizer::JobSink {
public:
    int stopAfterFrames = -1; // press "Stop" while this frame's events are processed
    int frames = 0;
    int started = 0;
    int ended = 0;
    double lastVideo = -1;
    double lastAudio = -1;
    std::vector<std::string> joined;
    std::function<void(int)> onFrame; // runs while frame n's events are processed (n from 1)

    void progress(double video, double audio) override {
        lastVideo = video;
        lastAudio = audio;
    }
    void processEvents() override {
        ++frames;
        if (onFrame)
            onFrame(frames);
        if (frames == stopAfterFrames)
            setStopFlag(true);
    }
    void muxStarted() override { ++started; }
    void muxEnded() override { ++ended; }
    void joinFileStarted(int index, int count, const std::string& path) override {
        joined.push_back(std::to_string(index + 1) + "/" + std::to_string(count) + " " + path);
    }
};

} // namespace kes::test
