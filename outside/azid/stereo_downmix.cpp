#include "outside/azid/stereo_downmix.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <bit>
#include <cmath>

namespace outside::azid {

namespace {

constexpr double kMinus3Db = 0.70710678118654752;

struct Factors {
    double left = 0;
    double right = 0;
};

Factors factorsOf(uint64_t position, double center, double surround, std::optional<double> lfe) {
    switch (position) {
    case AV_CH_FRONT_LEFT:
        return {1, 0};
    case AV_CH_FRONT_RIGHT:
        return {0, 1};
    case AV_CH_FRONT_CENTER:
        return {center, center};
    case AV_CH_LOW_FREQUENCY:
        return {lfe.value_or(0), lfe.value_or(0)};
    case AV_CH_SIDE_LEFT:
    case AV_CH_BACK_LEFT:
        return {surround, 0};
    case AV_CH_SIDE_RIGHT:
    case AV_CH_BACK_RIGHT:
        return {0, surround};
    case AV_CH_BACK_CENTER:
        return {surround * kMinus3Db, surround * kMinus3Db};
    default:
        return {};
    }
}

} // namespace

double gainOfDb(double db) {
    return std::pow(10.0, db / 20.0);
}

StereoMix stereoMixFor(uint64_t channelMask, int channels, double centerMixLevel, double surroundMixLevel,
                       std::optional<double> lfeGain) {
    StereoMix mix;
    if (channels < 1 || channels > kMaxMixChannels)
        return mix;
    // A lone channel (mono) goes to both sides; two channels of unknown positions are left and right.
    if (std::popcount(channelMask) != channels) {
        if (channels == 1) {
            mix.left[0] = mix.right[0] = 1;
        } else {
            mix.left[0] = 1;
            mix.right[1] = 1;
        }
        return mix;
    }
    std::array<Factors, kMaxMixChannels> factors{};
    double leftSum = 0;
    double rightSum = 0;
    uint64_t rest = channelMask;
    for (int i = 0; i < channels; ++i) {
        const uint64_t position = rest & (~rest + 1); // the lowest position left: channels come in that order
        rest &= rest - 1;
        factors[static_cast<size_t>(i)] = factorsOf(position, centerMixLevel, surroundMixLevel, lfeGain);
        leftSum += factors[static_cast<size_t>(i)].left;
        rightSum += factors[static_cast<size_t>(i)].right;
    }
    for (int i = 0; i < channels; ++i) {
        const auto& f = factors[static_cast<size_t>(i)];
        mix.left[static_cast<size_t>(i)] = leftSum > 0 ? static_cast<float>(f.left / leftSum) : 0.0f;
        mix.right[static_cast<size_t>(i)] = rightSum > 0 ? static_cast<float>(f.right / rightSum) : 0.0f;
    }
    return mix;
}

void mixDown(const DecodedFrame& frame, const StereoMix& mix, float gain, std::vector<float>& out) {
    const size_t start = out.size();
    const auto frames = static_cast<size_t>(frame.frames);
    out.resize(start + 2 * frames, 0.0f);
    float* target = out.data() + start;
    for (int c = 0; c < frame.channels; ++c) {
        const float l = mix.left[static_cast<size_t>(c)] * gain;
        const float r = mix.right[static_cast<size_t>(c)] * gain;
        if (l == 0.0f && r == 0.0f)
            continue;
        const float* in = frame.planes[c];
        for (size_t i = 0; i < frames; ++i) {
            target[2 * i] += l * in[i];
            target[2 * i + 1] += r * in[i];
        }
    }
}

} // namespace outside::azid
