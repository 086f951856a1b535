#pragma once

// The remux: the loaded AVI written into a new file with its audio shifted by a delay, interleaved one
// audio chunk before each video frame, whole or split into two parts. The new frame rate and zero
// start fields are patched into the source first (setinfo with a delay of 0), so the new file takes
// them from the source's own stream headers. The window drives it; tests call it directly.
//
// Outputs are written beside their destination and moved over it only when kept: a failed part leaves
// whatever stood under its name; a part cut short by "Stop" is kept only when no file stood there.

#include "tools/synchronizer/job_sink.h"
#include "tools/synchronizer/split_engine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tools::synchronizer {

// Fixed texts for the faults the language section has no message for.
inline constexpr const char* SourceReadFailedText = "Cannot read the source AVI file ! Nothing was written.";
inline constexpr const char* OutputWriteFailedText =
    "Cannot write the destination AVI file ! Nothing was written.";
inline constexpr const char* StoppedFileKeptText = "Stopped : the existing file was left as it was.";
// The end of a remux or join that a failure ended (its own message came first).
inline constexpr const char* RemuxFailedText = "The remux did not finish : see the error shown before.";
inline constexpr const char* JoinFailedText = "The join did not finish : see the error shown before.";

enum class MuxStatus {
    Done,
    Stopped,            // the stop flag ended the copy early
    CannotOpenSource,   // message #88
    NoVideo,            // message #89 (also a video stream with a zero rate)
    CannotCreateOutput, // message #90
    CannotCreateVideo,  // message #91
    NoAudio,            // message #92 (also an audio stream with a zero rate or no format)
    CannotCreateAudio,  // message #93
    ReadFailed,         // SourceReadFailedText
    WriteFailed,        // OutputWriteFailedText
};

struct RemuxRequest {
    std::string source;      // Edit1, already patched
    std::string destination; // davi
    bool later = false;      // direction "later" (sign "+"), else "earlier"
    std::string delayText;   // the delay in ms as kept from NewStart
    SplitWay split = SplitWay::None;
    std::string splitSizeText; // splitsize
    int64_t videoBytes = 0;    // measured when the file was loaded
    int64_t audioBytes = 0;
    int32_t part1End = 0; // split wizard
    int32_t part2Begin = 0;
};

struct MuxResult {
    MuxStatus status = MuxStatus::Done;
    std::string outputPath;
    bool outputKept = false;       // a file (whole, or cut short by a stop) now stands at outputPath
    bool delayTextInvalid = false; // the delay text is no number: the window's invalid-number message
    // A split whose first or second part would hold no frame (a file not larger than the split size,
    // no key frame to split at): the first part was written whole and there is no second part.
    bool wholeFile = false;
    FrameRange frames;
    AudioRange audio;
    int64_t framesWritten = 0;
    int64_t samplesWritten = 0;
};

// The output name of a part: the destination itself, or for part 2 the destination with "2" in front of
// its extension.
std::string partOutputName(std::string_view destination, bool firstPart);

// Writes one output file. Clears the stop flag first; a failure sets the stop flag and the failure
// flag. Calls muxStarted and muxEnded around the work.
MuxResult MuxStreams(const RemuxRequest& request, bool firstPart, JobSink& sink);

struct RemuxJobResult {
    MuxResult part1;
    // Written when splitting, part 1 ended without the stop flag and was not written whole.
    std::optional<MuxResult> part2;
};

// Shown with the end of a split that wrote the whole file as one part.
inline constexpr const char* NoSecondPartText =
    "The split would leave a part without any frame : the whole file was written as one part.";

// One or two MuxStreams calls, as "Mux" runs them once its checks have passed. Clears the failure flag
// first; afterwards the stop flag tells "stopped" from "done".
RemuxJobResult runRemuxJob(const RemuxRequest& request, JobSink& sink);

// The timer's text for a job: "Elapsed : " hh:mm:ss " - Total time : " hh:mm:ss, the total estimated
// from the percentage done (0 counts as 0.01).
std::string jobTimeText(int32_t elapsedSeconds, double percent);

} // namespace tools::synchronizer
