#include "tools/synchronizer/autotest.h"

#include "tools/synchronizer/synch_text.h"

#include "platform/core/text.h"

#include <limits>

namespace tools::synchronizer {

namespace core = platform::core;

namespace {

void takeDelay(std::string_view text, int32_t& value) {
    int32_t parsed = 0;
    if (IsSignedInteger(text) && core::tryStrToInt(text, parsed))
        value = parsed;
}

void takeFps(std::string_view text, double& value, std::vector<std::string>& invalid) {
    if (text.empty())
        return;
    const auto parsed = ParseDecimal(text);
    if (!parsed)
        invalid.emplace_back(text);
    value = parsed.value_or(0.0);
}

} // namespace

void GetAllDelay(AutotestSeries& series, std::string_view delay1, std::string_view delay2,
                 std::string_view delayStep) {
    series.AutotestDone = false;
    takeDelay(delay1, series.CurDelay);
    takeDelay(delay2, series.Delay2);
    takeDelay(delayStep, series.DelayStep);
}

std::vector<std::string> GetAllFPS(AutotestSeries& series, std::string_view fps1, std::string_view fps2,
                                   std::string_view fpsStep) {
    series.AutotestDone = false;
    std::vector<std::string> invalid;
    takeFps(fps1, series.CurFps, invalid);
    takeFps(fps2, series.Fps2, invalid);
    takeFps(fpsStep, series.FpsStep, invalid);
    return invalid;
}

DelayTexts delayTexts(int32_t delayMs) {
    if (delayMs < 0)
        return {"-", std::to_string(-static_cast<int64_t>(delayMs))};
    return {"+", std::to_string(delayMs)};
}

void advanceDelay(AutotestSeries& series) {
    const int64_t next = static_cast<int64_t>(series.CurDelay) + series.DelayStep;
    if (next > std::numeric_limits<int32_t>::max() || next < std::numeric_limits<int32_t>::min()) {
        series.AutotestDone = true;
        return;
    }
    series.CurDelay = static_cast<int32_t>(next);
    series.AutotestDone = series.CurDelay > series.Delay2;
}

void advanceFps(AutotestSeries& series) {
    series.CurFps = series.CurFps + series.FpsStep;
    series.AutotestDone = series.Fps2 + series.FpsStep < series.CurFps;
}

} // namespace tools::synchronizer
