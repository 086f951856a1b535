#include "tools/synchronizer/synch_engine.h"

#include "tools/synchronizer/synch_text.h"

#include "platform/core/files.h"
#include "platform/core/text.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tools::synchronizer {

namespace core = platform::core;

namespace {

constexpr double MillisPerSecond = 1000.0;
constexpr double FpsScale = PatchedVideoScale;
constexpr int32_t ConfirmBelowMs = 100;
constexpr int FpsTextDecimals = 4;
// The evaluator always adds this to the frame rate it proposes.
constexpr double EvaluatorFpsBias = 0.01;
// Below this an audio rate gives delays beyond any start field (and a rate of 0 none at all).
constexpr double MinAudioRate = 0.5;

// Rounds halves to the even neighbour; nothing when the result does not fit the range.
std::optional<int64_t> roundedWithin(double value, int64_t low, int64_t high) {
    if (!std::isfinite(value) || value < static_cast<double>(low) - 1 ||
        value > static_cast<double>(high) + 1)
        return std::nullopt;
    const int64_t rounded = core::roundHalfEven(value);
    if (rounded < low || rounded > high)
        return std::nullopt;
    return rounded;
}

constexpr int64_t MaxUnsigned32 = std::numeric_limits<uint32_t>::max();
constexpr int64_t MinSigned32 = std::numeric_limits<int32_t>::min();
constexpr int64_t MaxSigned32 = std::numeric_limits<int32_t>::max();

} // namespace

FileCheck checkFile(std::string_view path) {
    if (!core::fileExists(path))
        return FileCheck::Missing;
    return fileIsReadOnly(path) ? FileCheck::ReadOnly : FileCheck::Ok;
}

ReadInfosResult ReadInfos(std::string_view path, SynchState& state) {
    ReadInfosResult result;
    result.check = checkFile(path);
    if (result.check != FileCheck::Ok)
        return result;
    const auto positions = findStreamHeaders(path);
    if (!positions) {
        result.readFailed = true;
        return result;
    }
    state.VideoHeaderPos = 0;
    state.AudioHeaderPos = 0;

    std::optional<StreamHeaderFields> video;
    if (positions->video != 0)
        video = readStreamHeaderFields(path, positions->video);
    if (video && video->scale != 0 && video->rate != 0) {
        state.VideoHeaderPos = positions->video;
        state.FileFps = static_cast<double>(video->rate) / video->scale;
        result.videoFound = true;
        result.fpsText = core::formatFixed(state.FileFps, FpsTextDecimals);
    }

    std::optional<StreamHeaderFields> audio;
    if (positions->audio != 0)
        audio = readStreamHeaderFields(path, positions->audio);
    if (audio && audio->scale != 0 && audio->rate != 0) {
        const double rate = static_cast<double>(audio->rate) / audio->scale;
        if (rate >= MinAudioRate) {
            state.AudioHeaderPos = positions->audio;
            state.AudioRate = rate;
            state.AudioStart = static_cast<int32_t>(audio->start);
            result.audioFound = true;
            int64_t delay = core::roundHalfEven(static_cast<double>(state.AudioStart) / state.AudioRate *
                                                MillisPerSecond);
            if (result.videoFound && video->start != 0)
                delay -= core::roundHalfEven(video->start / state.FileFps * MillisPerSecond);
            result.delayMs = static_cast<int32_t>(std::clamp<int64_t>(delay, MinSigned32, MaxSigned32));
        }
    }
    return result;
}

std::optional<std::vector<FieldWrite>> setinfoWrites(const SynchState& state, const PatchValues& values) {
    std::vector<FieldWrite> writes;
    const bool haveVideo = state.VideoHeaderPos > 0;
    const bool haveAudio = state.AudioHeaderPos > 0;
    if (haveVideo) {
        const auto rate = roundedWithin(values.newFps * FpsScale, 1, MaxUnsigned32);
        if (!rate)
            return std::nullopt;
        writes.push_back({state.VideoHeaderPos + ScaleOffset, PatchedVideoScale});
        writes.push_back({state.VideoHeaderPos + RateOffset, static_cast<uint32_t>(*rate)});
    }
    if (!haveAudio)
        return writes;
    if (values.delayMs > 0) {
        const auto start =
            roundedWithin(state.AudioRate * values.delayMs / MillisPerSecond, MinSigned32, MaxSigned32);
        if (!start)
            return std::nullopt;
        writes.push_back(
            {state.AudioHeaderPos + StartOffset, static_cast<uint32_t>(static_cast<int32_t>(*start))});
        if (haveVideo)
            writes.push_back({state.VideoHeaderPos + StartOffset, 0});
    } else {
        if (haveVideo) {
            const double fps = std::isfinite(values.fileFps) ? values.fileFps : 0;
            const auto start = roundedWithin(values.delayMs * fps / MillisPerSecond * -1, 0, MaxUnsigned32);
            if (!start)
                return std::nullopt;
            writes.push_back({state.VideoHeaderPos + StartOffset, static_cast<uint32_t>(*start)});
        }
        writes.push_back({state.AudioHeaderPos + StartOffset, 0});
    }
    return writes;
}

PatchStatus setinfo(std::string_view path, const SynchState& state, const PatchValues& values) {
    const auto writes = setinfoWrites(state, values);
    if (!writes)
        return PatchStatus::InvalidValue;
    return patchFields(path, *writes);
}

bool delayNeedsConfirmation(int32_t delayMs) {
    return delayMs != 0 && delayMs > -ConfirmBelowMs && delayMs < ConfirmBelowMs;
}

std::optional<SynchEvaluation> evaluateSynch(double t1, double t2, int32_t d1Ms, int32_t d2Ms, double fps0) {
    if (!(fps0 > 0) || !std::isfinite(fps0))
        return std::nullopt;
    const double d1 = d1Ms / MillisPerSecond;
    const double d2 = d2Ms / MillisPerSecond;
    const double f1 = t1 * fps0;
    const double f2 = t2 * fps0;
    const double t1n = t1 - d1;
    const double t2n = t2 + d1 - d2;
    if (t2n - t1n == 0 || t2n == 0)
        return std::nullopt;
    SynchEvaluation result;
    result.nf = (f2 - f1) / (t2n - t1n) + EvaluatorFpsBias;
    if (result.nf == 0 || !std::isfinite(result.nf))
        return std::nullopt;
    const double nd = -(f2 - result.nf * t2n) / result.nf;
    const auto ndMs = roundedWithin(nd * MillisPerSecond, MinSigned32, MaxSigned32);
    result.nfo = f2 / t2n;
    if (!ndMs || !std::isfinite(result.nfo))
        return std::nullopt;
    result.ndMs = static_cast<int32_t>(*ndMs);
    return result;
}

} // namespace tools::synchronizer
