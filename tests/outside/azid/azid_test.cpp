// azid.exe run from a program folder on AC3 files made by FFmpeg's encoder: the decoded WAV against
// FFmpeg's decode, the LFE channel mixed in at -3 dB, the largest gain that does not clip, and
// damaged inputs.
#include "tests/outside/dvd_audio/ac3_test_support.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace kes::test {
namespace {

namespace fs = std::filesystem;

constexpr double kSeconds = 2.0;
constexpr int kRate = 48000;
constexpr int kLfeChannel = 3; // in the default six-channel layout
constexpr double kLfeFactor = 0.70794578438;

double tone(double hz, int64_t i, double level) {
    return level * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / kRate);
}

class AzidTest : public ::testing::Test {
protected:
    void SetUp() override { installTools(folder, {"azid.exe"}); }
    std::string at(const std::string& name) const { return dir.file(name); }
    std::string makeAc3(const std::string& name, int channels, int bitRate,
                        const std::function<double(int, int64_t)>& signal) {
        const auto bytes = encodeAc3(channels, kRate, bitRate, kSeconds, signal);
        writeBytes(at(name), std::string(bytes.begin(), bytes.end()));
        return at(name);
    }
    ToolRun azid(const std::vector<std::string>& args) { return runTool(folder, "azid.exe", args); }

    ProgramFolder folder;
    TempDir dir{"kes-azid"};
};

TEST_F(AzidTest, DecodesAsFfmpegDoes) {
    const std::string stereo =
        makeAc3("stereo.ac3", 2, 192000, [](int c, int64_t i) { return tone(c == 0 ? 440 : 620, i, 0.4); });
    ToolRun run = azid({"-c", "normal", "-L", "-3dB", stereo, at("s.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    const Pcm ours = readWav(at("s.wav"));
    EXPECT_EQ(ours.rate, kRate);
    EXPECT_EQ(ours.channels, 2);
    EXPECT_LE(largestDifference(ours.samples, ffmpegDecode(stereo, -1, {}).samples), 1);

    // Without LFE, the down-mix of five channels is FFmpeg's own.
    const std::string five = makeAc3("five.ac3", 6, 448000, [](int c, int64_t i) {
        return c == kLfeChannel ? 0.0 : tone(300 + 70 * c, i, 0.3);
    });
    run = azid({"-c", "normal", five, at("f.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_LE(largestDifference(readWav(at("f.wav")).samples,
                                ffmpegDecode(five, -1, {{"downmix", "stereo"}}).samples),
              1);
}

TEST_F(AzidTest, LfeIsMixedInThreeDecibelsBelowTheFronts) {
    // A tone on the front left and a low one on the LFE channel, nothing elsewhere.
    const std::string file = makeAc3("lfe.ac3", 6, 448000, [](int c, int64_t i) {
        return c == 0 ? tone(1000, i, 0.3) : c == kLfeChannel ? tone(50, i, 0.5) : 0.0;
    });
    const Pcm six = ffmpegDecode(file, -1, {});
    ASSERT_EQ(six.channels, 6);
    const auto left = six.channel(0), lfe = six.channel(kLfeChannel);
    std::vector<double> lfeOnly, both;
    for (size_t i = 0; i < left.size(); ++i) {
        lfeOnly.push_back(kLfeFactor * lfe[i]);
        both.push_back(left[i] + kLfeFactor * lfe[i]);
    }

    ToolRun run = azid({"-c", "normal", "-L", "-3dB", file, at("with.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    const Pcm with = readWav(at("with.wav"));
    const Fit right = fitScale(with.channel(1), lfeOnly);
    const Fit leftFit = fitScale(with.channel(0), both);
    EXPECT_GT(right.factor, 0.3);
    EXPECT_NEAR(leftFit.factor, right.factor, 0.01);
    EXPECT_LT(right.residual, 2.0);
    EXPECT_LT(leftFit.residual, 2.0);

    run = azid({"-c", "normal", file, at("without.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    const Pcm without = readWav(at("without.wav"));
    EXPECT_LT(rms(without.channel(1)), 1.0);
    EXPECT_GT(rms(without.channel(0)), 1000.0);
}

TEST_F(AzidTest, LargestGainThatDoesNotClip) {
    const std::string quiet = makeAc3("quiet.ac3", 6, 448000, [](int c, int64_t i) {
        return tone(200 + 90 * c, i, c == kLfeChannel ? 0.2 : 0.05);
    });
    ToolRun run = azid({"-c", "normal", "-L", "-3dB", quiet, at("plain.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    run = azid({"-c", "normal", "-g", "max", "-L", "-3dB", quiet, at("max.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    const Pcm plain = readWav(at("plain.wav"));
    const Pcm loud = readWav(at("max.wav"));
    int peak = 0;
    for (const int16_t v : loud.samples)
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    EXPECT_GE(peak, 32700);
    EXPECT_LE(peak, 32767);
    // The same sound, only louder.
    const Fit fit = fitScale(loud.samples, std::vector<double>(plain.samples.begin(), plain.samples.end()));
    EXPECT_GT(fit.factor, 3.0);
    EXPECT_LT(fit.residual, fit.factor);
}

TEST_F(AzidTest, DamagedInputsFailWithAMessageAndWriteNothing) {
    const std::string good = makeAc3("good.ac3", 2, 192000, [](int, int64_t i) { return tone(440, i, 0.3); });
    writeBytes(at("noise.ac3"), std::string(50000, '\x5a'));
    writeBytes(at("empty.ac3"), "");
    writeBytes(at("kept.wav"), "kept");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{at("missing.ac3"), at("kept.wav")}, 1, "missing.ac3 cannot be read"},
        {{at("noise.ac3"), at("kept.wav")}, 1, "holds no AC3 frame"},
        {{"-g", "max", at("empty.ac3"), at("kept.wav")}, 1, "holds no AC3 frame"},
        {{dir.str(), at("kept.wav")}, 1, "cannot be read"},
        {{good, at("no folder/x.wav")}, 1, "Cannot write the file"},
        {{"-c", "heavy", good, at("kept.wav")}, 2, "Unknown compression heavy"},
        {{good}, 2, "both needed"},
    };
    for (const Case& c : cases) {
        const ToolRun run = azid(c.args);
        EXPECT_EQ(run.status, c.status) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(readBytes(at("kept.wav")), "kept") << c.message;
    }

    // A file cut inside a frame gives its whole frames; damaged frames keep their time.
    std::string bytes = readBytes(good);
    writeBytes(at("cut.ac3"), bytes.substr(0, bytes.size() * 2 / 3 + 100));
    ToolRun run = azid({at("cut.ac3"), at("cut.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NEAR(static_cast<double>(readWav(at("cut.wav")).frames()) / kRate, kSeconds * 2 / 3, 0.1);
    for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 40; ++i)
        bytes[i] = '\x01';
    writeBytes(at("hurt.ac3"), bytes);
    run = azid({at("hurt.ac3"), at("hurt.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NEAR(static_cast<double>(readWav(at("hurt.wav")).frames()) / kRate, kSeconds, 0.1);
}

} // namespace
} // namespace kes::test
