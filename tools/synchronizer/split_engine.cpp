// Split points and part ranges of the remux.
#include "tools/synchronizer/split_engine.h"

#include "tools/synchronizer/synch_text.h"

#include "platform/core/text.h"

#include <algorithm>
#include <cmath>

namespace tools::synchronizer {

namespace core = platform::core;

namespace {

constexpr double WizardMegabyte = 1024.0 * 1024.0;
constexpr int SizeWidth = 5;
constexpr int SizeDecimals = 1;
constexpr char SizePrefix[] = "+/- ";
constexpr char SizeSuffix[] = " Mb";
constexpr char GotoCentiseconds[] = ".00";
// Split sizes beyond this many megabytes are a mistyped number, not a part size.
constexpr int64_t MaxSplitMegabytes = int64_t{1} << 32;

// A value rounded to an integer, or the nearest bound of int64 for one beyond it (or for NaN: 0).
int64_t roundedClamped(double value) {
    if (std::isnan(value))
        return 0;
    constexpr double limit = 9.0e18;
    return core::roundHalfEven(std::clamp(value, -limit, limit));
}

std::optional<int64_t> positiveInteger(std::string_view text) {
    const std::string trimmed = core::trim(text);
    if (trimmed.empty() || trimmed.size() > 12)
        return std::nullopt;
    int64_t value = 0;
    for (const char c : trimmed) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value <= 0 || value > MaxSplitMegabytes)
        return std::nullopt;
    return value;
}

} // namespace

double partCount(SplitWay way, std::string_view splitSizeText, int64_t videoBytes, int64_t audioBytes) {
    if (way == SplitWay::None)
        return 1.0;
    if (way != SplitWay::BySize)
        return 2.0;
    const auto megabytes = positiveInteger(splitSizeText);
    if (!megabytes)
        return 1.0;
    const double parts =
        static_cast<double>(videoBytes + audioBytes) / static_cast<double>(*megabytes * SplitMegabyte);
    return parts < 1.0 ? 1.0 : parts;
}

int64_t splitFrame(int64_t frames, double parts, const std::function<bool(int64_t)>& isKeyFrame) {
    if (frames <= 0)
        return 0;
    const int64_t c = std::clamp<int64_t>(roundedClamped(static_cast<double>(frames) / parts), 0, frames);
    int64_t before = c;
    while (before > 0 && !isKeyFrame(before))
        --before;
    int64_t after = c;
    while (after < frames && !isKeyFrame(after))
        ++after;
    return c - before < after - c ? before : after;
}

AudioRange audioRange(bool split, bool firstPart, const FrameRange& frames, double delaySeconds,
                      double audioRate, double fps, int64_t audioLength) {
    const int64_t shift = roundedClamped(delaySeconds * audioRate);
    if (!split)
        return {shift, audioLength};
    const auto samplesAt = [&](int64_t frame) {
        return fps > 0 ? roundedClamped(static_cast<double>(frame) / fps * audioRate) : 0;
    };
    if (firstPart)
        return {shift, samplesAt(frames.end) + shift + 1};
    return {samplesAt(frames.begin) + shift + 1, audioLength};
}

std::string wizardPartSizeText(int64_t frames, int64_t frameCount, int64_t totalBytes) {
    double size = 0;
    if (frameCount > 0)
        size = static_cast<double>(frames) / static_cast<double>(frameCount) *
               static_cast<double>(totalBytes) / WizardMegabyte;
    return SizePrefix + fixed(size, SizeWidth, SizeDecimals) + SizeSuffix;
}

bool wizardSplitAllowed(int32_t part1End, int32_t part2Begin) {
    return part1End >= part2Begin;
}

std::optional<int64_t> gotoTimeFrame(std::string_view hhmmss, double fps) {
    const double seconds = converttosec(std::string(hhmmss) + GotoCentiseconds);
    if (!(seconds > 0))
        return std::nullopt;
    return roundedClamped(seconds * fps);
}

} // namespace tools::synchronizer
