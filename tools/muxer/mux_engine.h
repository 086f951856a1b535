#pragma once

// The mux job: a new AVI file from the video stream of a video-only AVI and the audio stream of a WAV
// file (PCM, or compressed audio in a RIFF WAVE file), with a delay, a preload, an optional split at a
// key frame into two parts, an optional frame-rate correction and an optional clip after the first
// part's last frame. The window drives it; tests call it directly.

#include "tools/muxer/interleave.h"

#include <cstdint>
#include <string>

namespace tools::muxer {

// Fixed texts of the job.
inline constexpr const char* NoVideoStreamText = "Cannot open video stream !";
inline constexpr const char* NoAudioStreamText = "Cannot open audio stream !";
inline constexpr const char* CannotCreateTargetText = "Cannot create destination file !";
inline constexpr const char* CannotReadVideoText = "Cannot read video stream !";
inline constexpr const char* CannotReadAudioText = "Cannot read audio stream !";
inline constexpr const char* CannotWriteTargetText = "Cannot write destination file !";
inline constexpr const char* CannotRestoreWavText = "Cannot remove the work name of the audio file ";

// The second names under which the audio source is opened while it is muxed and while it is measured.
inline constexpr const char* MuxWavName = "_tmpwav.wav";
inline constexpr const char* SizeWavName = "_tmpsize.wav";

// One megabyte of the split size.
inline constexpr int64_t SplitMegabyte = 1024000;

class MuxSink : public InterleaveObserver {
public:
    virtual void errorBox(const std::string& text) = 0;
    // The clip for this picture size is missing (or cannot be read): the notice for the logo label.
    virtual void clipMissing(const std::string& /*notice*/) {}
    virtual void timerOn() {}
    virtual void timerOff() {}
};

// The sink's timer runs for the lifetime of a scope.
class TimerScope {
public:
    explicit TimerScope(MuxSink& sink) : sink_(sink) { sink_.timerOn(); }
    ~TimerScope() { sink_.timerOff(); }
    TimerScope(const TimerScope&) = delete;
    TimerScope& operator=(const TimerScope&) = delete;

private:
    MuxSink& sink_;
};

// The message for an interleave that ended on a read or write fault.
const char* interleaveEndText(InterleaveEnd end);

struct MuxSettings {
    std::string source;    // SourceEdit: the video-only AVI
    std::string wavSource; // WavSourceEdit: the audio
    std::string target;    // TargetEdit
    bool split = false;
    bool splitAfterSize = false; // saft; otherwise sih (halves)
    std::string splitSizeText;   // splitsize, in megabytes of 1,024,000 bytes
    bool clip = false;           // the Vexlor box is enabled and checked
    std::string logoPrefix;
    double delaySeconds = 0; // positive: the audio earlier; negative: later
    double preloadSeconds = 0.5;
    bool autosynch = false;
    int64_t videoBytes = 0; // split estimate
    int64_t audioBytes = 0;
    // A mux cut short by the stop flag keeps what was written; otherwise (batch use, where the target
    // is the final movie and may replace the user's previous one) the target stays as it was.
    bool keepStopped = true;
};

// What a first-part job leaves for its caller.
struct MuxValues {
    double videoSeconds = 0;
    double videoFps = 0;
    double audioRate = 0;
    double audioSeconds = 0;
    double newFps = 0;
    int32_t audioByteRate = 0;
};

enum class MuxOutcome {
    Done,    // the part was written
    Empty,   // the part holds no frame: nothing was written
    Stopped, // userBreak: the target keeps what was written (with MuxSettings::keepStopped)
    Failed,  // a message was shown; the target is not there (or stays as it was)
};

struct MuxResult {
    MuxOutcome outcome = MuxOutcome::Failed;
    bool valuesSet = false; // the values below were computed (the streams were opened)
    MuxValues values;
    bool clipAdded = false;
    int64_t clipFrames = 0; // the frames appended after the part's last frame
    std::string clipPath;   // the clip file looked for ("" when no clip was asked)
    std::string targetPath;
    int64_t splitFrame = -1; // with a split
};

// Parts of the movie for a split: by size (at least 1.0) or 2.0 for halves.
double splitParts(const MuxSettings& settings);

class MuxEngine {
public:
    explicit MuxEngine(MuxSink& sink) : sink_(sink) {}

    // userBreak is cleared when a first part starts and read once per interleave step.
    MuxResult run(const MuxSettings& settings, bool firstPart, bool& userBreak);

    double videoPercent() const { return videoPercent_; }
    double audioPercent() const { return audioPercent_; }
    bool running() const { return running_; }

private:
    class Job;
    MuxSink& sink_;
    double videoPercent_ = 0;
    double audioPercent_ = 0;
    bool running_ = false;
};

} // namespace tools::muxer
