#pragma once

// The autotest series of the synchronizer: a run of audio delays or frame rates that "Play/Next" tests
// one after the other, patching the file and starting the preview for each value. The series restarts
// from its "from" value whenever one of its edits changes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tools::synchronizer {

struct AutotestSeries {
    int32_t CurDelay = 0;  // ms, the next delay to test
    int32_t Delay2 = 0;    // ms, the last delay of the series
    int32_t DelayStep = 0; // ms
    double CurFps = 0;     // the next frame rate to test
    double Fps2 = 0;       // the last frame rate of the series
    double FpsStep = 0;
    bool AutotestDone = false;
};

// Takes each of the three delay texts that is a signed integer ("+" is not accepted); the others keep
// their values. The series starts anew.
void GetAllDelay(AutotestSeries& series, std::string_view delay1, std::string_view delay2,
                 std::string_view delayStep);

// Takes each of the three frame-rate texts that is not empty. The series starts anew. Returns the texts
// that are not valid decimals (their values become 0), for the window's invalid-number message.
std::vector<std::string> GetAllFPS(AutotestSeries& series, std::string_view fps1, std::string_view fps2,
                                   std::string_view fpsStep);

// The "sign" and "NewStart" texts for the delay to test.
struct DelayTexts {
    std::string sign;
    std::string newStart;
};
DelayTexts delayTexts(int32_t delayMs);

// After a value was played: the next delay, and whether the series has passed its end. A sum beyond
// the 32-bit range ends the series.
void advanceDelay(AutotestSeries& series);
// After a value was played: the next frame rate, and whether the series has passed its end (the first
// value above the last one plus a step).
void advanceFps(AutotestSeries& series);

} // namespace tools::synchronizer
