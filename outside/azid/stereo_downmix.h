#pragma once

// The stereo down-mix of a decoded AC3 frame: the front channels as they are, the centre at the
// stream's centre mix level, the surrounds at its surround mix level (a single surround at 3 dB less,
// to both sides), and the LFE channel, when asked, at its own level. Each side is scaled so that its
// factors add up to one, so that the down-mix cannot clip.

#include "outside/azid/ac3_frames.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace outside::azid {

constexpr int kMaxMixChannels = 8;

struct StereoMix {
    std::array<float, kMaxMixChannels> left{};
    std::array<float, kMaxMixChannels> right{};
};

// The factors for a frame's channels; lfeGain is the linear LFE level (nothing: LFE left out).
StereoMix stereoMixFor(uint64_t channelMask, int channels, double centerMixLevel, double surroundMixLevel,
                       std::optional<double> lfeGain);

// Appends the frame's down-mix, times gain, as interleaved left/right floats.
void mixDown(const DecodedFrame& frame, const StereoMix& mix, float gain, std::vector<float>& out);

// The linear factor of a level in dB.
double gainOfDb(double db);

} // namespace outside::azid
