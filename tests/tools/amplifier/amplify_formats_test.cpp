// The amplifier on WAV files FFmpeg wrote, of every PCM width, read back by FFmpeg: each width is
// scaled as its own samples, and formats the job cannot scale are refused before anything is written.

#include "tools/amplifier/amplify_engine.h"

#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace tools::amplifier;
using namespace kes::test;

namespace {

struct Recorder : AmplifySink {
    std::vector<std::string> errors;
    void errorBox(const std::string& text) override { errors.push_back(text); }
};

// A ramp over the whole range, both channels, so that small samples are scaled and large ones clip.
std::vector<double> ramp() {
    std::vector<double> samples;
    for (int i = 0; i < 4000; ++i) {
        const double v = -1.0 + i / 2000.0;
        samples.push_back(v);
        samples.push_back(-v / 2);
    }
    return samples;
}

// What the job makes of a sample of the given full-scale value (16-bit limits scaled to the width).
double expected(double v, double gain, double fullScale, double high, double low) {
    const double scaled = std::nearbyint(std::nearbyint(v * fullScale) * gain);
    return std::clamp(scaled, low, high) / fullScale;
}

} // namespace

TEST(AmplifierFormats, EveryPcmWidthIsScaledAsItsOwnSamples) {
    struct Case {
        LavfPcm format;
        double fullScale, high, low, step;
    } cases[] = {
        {LavfPcm::U8, 128, 113, -113, 1.0 / 128},
        {LavfPcm::S16, 32768, 29000, -29001, 1.0 / 32768},
        {LavfPcm::S24, 8388608, 29000.0 * 256, -29001.0 * 256, 1.0 / 8388608},
    };
    TempDir dir;
    const std::vector<double> input = ramp();
    const int position = 60; // 3 dB
    const double gain = gainFactor(position);
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.format));
        ASSERT_TRUE(writeLavfWav(dir.file("in.wav"), c.format, 48000, 2, input));
        const LavfProbe source = probeLavf(dir.file("in.wav"), true);
        ASSERT_EQ(source.first("audio")->pcm.size(), input.size());
        for (const bool same : {false, true}) {
            Recorder sink;
            AmplifyEngine engine(sink);
            bool userBreak = false;
            const std::string out = same ? dir.file("in.wav") : dir.file("out.wav");
            const AmplifyResult result =
                engine.run({dir.file("in.wav"), dir.file("out.wav"), same, position}, userBreak);
            ASSERT_TRUE(sink.errors.empty()) << sink.errors[0];
            ASSERT_TRUE(result.completed);
            const LavfProbe probe = probeLavf(out, true);
            ASSERT_TRUE(probe.opened);
            const std::vector<double>& pcm = probe.first("audio")->pcm;
            ASSERT_EQ(pcm.size(), input.size());
            size_t wrong = 0;
            for (size_t i = 0; i < pcm.size(); ++i) {
                if (std::abs(pcm[i] - expected(source.first("audio")->pcm[i], gain, c.fullScale, c.high,
                                               c.low)) > c.step / 2)
                    ++wrong;
            }
            EXPECT_EQ(wrong, 0u);
            if (same) { // back to the source for the next width
                ASSERT_TRUE(writeLavfWav(dir.file("in.wav"), c.format, 48000, 2, input));
            }
        }
    }
}

TEST(AmplifierFormats, WidthsItCannotScaleAreRefusedBeforeWriting) {
    TempDir dir;
    for (const LavfPcm format : {LavfPcm::S32, LavfPcm::F32}) {
        ASSERT_TRUE(writeLavfWav(dir.file("in.wav"), format, 44100, 2, ramp()));
        const std::string before = readBytes(dir.file("in.wav"));
        for (const bool same : {false, true}) {
            Recorder sink;
            AmplifyEngine engine(sink);
            bool userBreak = false;
            EXPECT_TRUE(engine.run({dir.file("in.wav"), dir.file("out.wav"), same, 150}, userBreak).failed);
            ASSERT_EQ(sink.errors.size(), 1u);
            EXPECT_EQ(sink.errors[0],
                      format == LavfPcm::S32
                          ? dir.file("in.wav") +
                                " holds 32-bit samples: only 8, 16 and 24-bit PCM can be amplified"
                          : dir.file("in.wav") + " is not a valid PCM WAV file");
            EXPECT_FALSE(std::filesystem::exists(dir.file("out.wav")));
            EXPECT_EQ(readBytes(dir.file("in.wav")), before);
        }
    }
}
