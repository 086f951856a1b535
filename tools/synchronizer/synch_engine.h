#pragma once

// The synchronizer's core without its window: reading the frame rate and audio delay from an AVI's
// stream headers, testing a new frame rate and delay by patching those headers in place, measuring the
// streams, and the evaluator that proposes a frame rate and delay from two measured points.
//
// The window keeps one SynchState for as long as the program runs, fills it through ReadInfos and
// GetStreamsInfo, and turns each status into its language section's message.

#include "tools/synchronizer/avi_header_patch.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tools::synchronizer {

// The module state of the synchronizer.
struct SynchState {
    std::string CurrentFile;
    int32_t VideoHeaderPos = 0; // 0 = not found
    int32_t AudioHeaderPos = 0; // 0 = not found
    double FileFps = 0;         // video rate / scale as read
    // Audio rate / scale as it is: audio counted in frames (1152 or 1536 samples each) has a rate that
    // is no whole number, and a delay turned into a start field with a rounded rate would be off by up
    // to half a unit per second of delay.
    double AudioRate = 0;
    int32_t AudioStart = 0; // audio start as read (signed)
    int64_t AudioBytes = 0; // audio length times its sample size
    int64_t VideoBytes = 0; // size of the "movi" list less AudioBytes
    int64_t TotalBytes = 0;
};

enum class FileCheck {
    Ok,
    Missing,  // the window's file-missing message (or nothing, where the routine stays silent)
    ReadOnly, // the window's read-only message
};

// Missing, read-only or usable.
FileCheck checkFile(std::string_view path);

struct ReadInfosResult {
    FileCheck check = FileCheck::Ok;
    bool readFailed = false; // the file exists but cannot be read
    // A header counts as found when its type code lies in the first 5001 bytes, its fields lie inside
    // the file and neither its scale nor its rate is 0 (nothing can be computed from a zero there).
    bool videoFound = false; // when false: the no-video message
    bool audioFound = false; // when false: the no-audio message
    std::string fpsText;     // FileFps as fixed(0, 4), for VFredit and NewVFrate (video found)
    int32_t delayMs = 0;     // for `position` and NewStart (audio found)
};

// Finds both stream headers and reads the frame rate and the audio delay; updates the positions,
// FileFps, AudioRate and AudioStart of state (a header not found leaves its values as they were).
ReadInfosResult ReadInfos(std::string_view path, SynchState& state);

struct PatchValues {
    double newFps = 0;  // the frame rate to test (NewVFrate)
    double fileFps = 0; // the frame rate read from the file (VFredit), for a video start
    int32_t delayMs = 0;
};

// The fields that setinfo writes, in order; nothing when a value does not fit its field (a frame rate
// of 0 or less, a rate or start beyond 32 bits).
std::optional<std::vector<FieldWrite>> setinfoWrites(const SynchState& state, const PatchValues& values);

// The in-place patch: video scale 10000 and the new rate; a positive delay as the audio start (video
// start 0), any other as the video start in frames of the file's rate (audio start 0). Start fields are
// written only for headers that were found, and only when the audio header was found.
PatchStatus setinfo(std::string_view path, const SynchState& state, const PatchValues& values);

// A delay that is not 0 but under 100 ms either way is asked about before a test.
bool delayNeedsConfirmation(int32_t delayMs);

enum class StreamsInfoStatus {
    Done,
    Missing,    // the file-missing message
    ReadOnly,   // the read-only message
    CannotOpen, // the AVI interface cannot open it: silent
    NoAudio,    // the no-audio message
    NoVideo,    // the no-video message
    OneStream,  // a single stream: only the byte counts are updated
};

struct StreamsInfo {
    StreamsInfoStatus status = StreamsInfoStatus::Done;
    // Each is set only when its divisions are possible.
    std::optional<double> audioLength;  // seconds, for `asl` as fixed(7, 2)
    std::optional<double> videoLength;  // seconds, for `vsl` as fixed(7, 2)
    std::optional<double> suggestedFps; // for `svfps` and `sug` as fixed(7, 4)
};

// The "movi" list's size from its size field: the first "movi" code among positions 0 to 34999 that is
// not followed by "e"; the file size when there is none.
int64_t moviListBytes(std::string_view path);

// Lengths, suggested frame rate and byte counts (AudioBytes, VideoBytes, TotalBytes of state).
StreamsInfo GetStreamsInfo(std::string_view path, SynchState& state);

// What "Evaluate" proposes from two points: at t1 (seconds into the preview) the sound matched with
// delay d1, at t2 with delay d2 (delays in ms as tested), for a file read at fps0.
struct SynchEvaluation {
    double nf = 0;    // new frame rate (0.01 added, as the evaluator always does)
    int32_t ndMs = 0; // new delay
    double nfo = 0;   // new frame rate alone, without a delay
};

// Nothing when the two points give no answer: no frame rate read from the file, a zero divisor or a
// result that is not finite.
std::optional<SynchEvaluation> evaluateSynch(double t1, double t2, int32_t d1Ms, int32_t d2Ms, double fps0);

} // namespace tools::synchronizer
