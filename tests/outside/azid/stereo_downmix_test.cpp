// The down-mix factors for the layouts an AC3 stream can have, and the command lines azid.exe takes.
#include "outside/azid/azid_options.h"
#include "outside/azid/azid_run.h"
#include "outside/azid/stereo_downmix.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <gtest/gtest.h>

#include <numeric>

namespace outside::azid {
namespace {

constexpr double kMinus3Db = 0.7071067811865476;

double sum(const std::array<float, kMaxMixChannels>& f) {
    return std::accumulate(f.begin(), f.end(), 0.0);
}

TEST(StereoDownmix, FivePointOneWithAndWithoutLfe) {
    // Front left, right, centre, LFE, side left, side right.
    const uint64_t layout = AV_CH_LAYOUT_5POINT1;
    const StereoMix plain = stereoMixFor(layout, 6, 0.5946, 0.5, std::nullopt);
    EXPECT_NEAR(sum(plain.left), 1.0, 1e-6);
    EXPECT_NEAR(sum(plain.right), 1.0, 1e-6);
    EXPECT_FLOAT_EQ(plain.left[2] / plain.left[0], 0.5946f);
    EXPECT_FLOAT_EQ(plain.left[4] / plain.left[0], 0.5f);
    EXPECT_EQ(plain.left[3], 0.0f);
    EXPECT_EQ(plain.left[1], 0.0f);
    EXPECT_EQ(plain.right[4], 0.0f);
    EXPECT_FLOAT_EQ(plain.right[5], plain.left[4]);

    const StereoMix lfe = stereoMixFor(layout, 6, 0.5946, 0.5, gainOfDb(-3));
    EXPECT_NEAR(sum(lfe.left), 1.0, 1e-6);
    EXPECT_NEAR(lfe.left[3] / lfe.left[0], 0.7079, 1e-4);
    EXPECT_FLOAT_EQ(lfe.right[3], lfe.left[3]);
}

TEST(StereoDownmix, SmallLayouts) {
    const StereoMix mono = stereoMixFor(AV_CH_LAYOUT_MONO, 1, kMinus3Db, kMinus3Db, std::nullopt);
    EXPECT_EQ(mono.left[0], 1.0f);
    EXPECT_EQ(mono.right[0], 1.0f);
    const StereoMix stereo = stereoMixFor(AV_CH_LAYOUT_STEREO, 2, kMinus3Db, kMinus3Db, gainOfDb(-3));
    EXPECT_EQ(stereo.left[0], 1.0f);
    EXPECT_EQ(stereo.right[1], 1.0f);
    // One surround behind goes to both sides, 3 dB lower than two would.
    const StereoMix back = stereoMixFor(AV_CH_LAYOUT_2_1, 3, kMinus3Db, 1.0, std::nullopt);
    EXPECT_NEAR(back.left[2] / back.left[0], kMinus3Db, 1e-6);
    EXPECT_FLOAT_EQ(back.right[2], back.left[2]);
}

TEST(AzidGain, LargestGainThatDoesNotClip) {
    EXPECT_FLOAT_EQ(gainForPeak(0.5f) * 0.5f * 32768.0f, 32767.0f);
    EXPECT_EQ(gainForPeak(0.0f), 1.0f);
    EXPECT_LT(gainForPeak(2.0f), 1.0f);
}

TEST(AzidOptions, TheRipsLinesAndRefusals) {
    std::string error;
    auto o =
        parseAzidOptions({"-c", "normal", "-g", "max", "-L", "-3dB", "/w/audio.ac3", "/w/two.wav"}, error);
    ASSERT_TRUE(o) << error;
    EXPECT_TRUE(o->compression);
    EXPECT_TRUE(o->maxGain);
    EXPECT_EQ(o->lfeLevelDb, -3.0);
    EXPECT_EQ(o->input, "/w/audio.ac3");
    EXPECT_EQ(o->output, "/w/two.wav");
    o = parseAzidOptions({"in.ac3", "out.wav"}, error);
    ASSERT_TRUE(o);
    EXPECT_FALSE(o->compression || o->maxGain || o->lfeLevelDb);

    using Args = std::vector<std::string>;
    for (const Args& args : {Args{"in.ac3"}, Args{"a", "b", "c"}, Args{"-c", "heavy", "a", "b"},
                             Args{"-g", "6", "a", "b"}, Args{"-L", "-3", "a", "b"},
                             Args{"-L", "loud dB", "a", "b"}, Args{"-q", "a", "b"}, Args{"a", "b", "-L"}})
        EXPECT_FALSE(parseAzidOptions(args, error)) << args[0] << " " << args[1];
}

} // namespace
} // namespace outside::azid
