// How the registry values and the settings window reach the encoder.

#include "outside/divx_codec/codec_settings.h"
#include "outside/divx_codec/driver_controls.h"
#include "outside/divx_codec/first_pass_log.h"
#include "outside/divx_codec/video_encoder.h"
#include "platform/core/registry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace divx_codec {
namespace {

namespace reg = platform::core::registry;
constexpr auto User = platform::core::RootKey::CurrentUser;

TEST(CodecSettings, RegistryValuesAreReadWithDefaultsForAbsentOnes) {
    reg::deleteKey(User, RegistryKey);
    EXPECT_EQ(readRegistrySettings().quality, 2u);
    reg::writeDword(User, RegistryKey, "Quality", 2);
    reg::writeDword(User, RegistryKey, "Deinterlace", 1);
    reg::writeDword(User, RegistryKey, "Max Quantizer", 12);
    reg::writeDword(User, RegistryKey, "VBR Quality", 90);
    const RegistrySettings s = readRegistrySettings();
    EXPECT_EQ(s.quality, 2u);
    EXPECT_TRUE(s.deinterlace);
    EXPECT_EQ(s.maxQuantizer, 12u);
    EXPECT_EQ(s.minQuantizer, 2u);
    EXPECT_EQ(s.vbrQuality, 90u);
    reg::deleteKey(User, RegistryKey);
}

TEST(CodecSettings, DivX4RateModesAndQuantizers) {
    RegistrySettings r;
    DialogSettings d;
    d.bitrateKbps = 653;
    d.keyInterval = 250;
    EncoderParams p = mapSettings(CodecFamily::DivX4, r, d, 25.0, 8);
    EXPECT_EQ(p.bitRate, 653000); // kbit/s of 1000 bits
    EXPECT_EQ(p.gopSize, 250);
    EXPECT_EQ(p.bufferSize, 653000 * 2000 / 25); // "RC Period" frames at the target rate
    EXPECT_FLOAT_EQ(p.qblur, 0.5f);
    EXPECT_FLOAT_EQ(p.qcompress, 0.5f);
    EXPECT_EQ(p.threads, 8); // trellis quantization (the default level) keeps every processor busy
    r.quality = 1;           // the plain decisions leave half to the decoding and filtering
    EXPECT_EQ(mapSettings(CodecFamily::DivX4, r, d, 25.0, 8).threads, 4);
    EXPECT_EQ(mapSettings(CodecFamily::DivX4, r, d, 25.0, 1).threads, 1);
    r.quality = 2;

    d.mode = RateMode::OnePassQuality;
    r.vbrQuality = 100;
    p = mapSettings(CodecFamily::DivX4, r, d, 25.0, 8);
    EXPECT_EQ(p.bitRate, 0);
    EXPECT_EQ(p.constantQuantizer, 2);
    r.vbrQuality = 0;
    r.maxQuantizer = 10; // the quality-based quantizer stays within the range
    EXPECT_EQ(mapSettings(CodecFamily::DivX4, r, d, 25.0, 8).constantQuantizer, 10);

    r.minQuantizer = 40; // swapped and beyond the scale
    r.maxQuantizer = 4;
    d.mode = RateMode::TwoPassFirst;
    p = mapSettings(CodecFamily::DivX4, r, d, 25.0, 8);
    EXPECT_EQ(p.qmin, 4);
    EXPECT_EQ(p.qmax, 31);
    EXPECT_EQ(p.bufferSize, 0); // two passes plan over the whole log

    // The reaction values are one-pass settings: both passes plan the same way whatever they hold,
    // and only the second pass gets the long leash that keeps its quantizer steady.
    r.reactionPeriod = 50;
    r.reactionRatio = 5;
    const EncoderParams first = mapSettings(CodecFamily::DivX4, r, d, 25.0, 8);
    d.mode = RateMode::TwoPassSecond;
    const EncoderParams second = mapSettings(CodecFamily::DivX4, r, d, 25.0, 8);
    EXPECT_EQ(first.qcompress, second.qcompress);
    EXPECT_EQ(first.qblur, second.qblur);
    EXPECT_GT(second.qcompress, 0.5f);
    EXPECT_GE(second.rateToleranceSeconds, 2.0);
    EXPECT_LT(second.rateToleranceSeconds, 30.0);

    // The first pass measures at less cost than the second encodes; at the slowest level it keeps
    // what changes the bits it measures most (trellis quantization, the coded-block choice), below it
    // makes the plain decisions.
    r.quality = 5;
    d.mode = RateMode::TwoPassFirst;
    const EncoderParams measuring = mapSettings(CodecFamily::DivX4, r, d, 25.0, 8);
    d.mode = RateMode::TwoPassSecond;
    const EncoderParams encoding = mapSettings(CodecFamily::DivX4, r, d, 25.0, 8);
    EXPECT_LT(measuring.macroblockDecision, encoding.macroblockDecision);
    EXPECT_FALSE(measuring.fourMotionVectors);
    EXPECT_TRUE(measuring.trellis);
    EXPECT_TRUE(encoding.fourMotionVectors);
    EXPECT_TRUE(measuring.codedBlockChoice);
    for (uint32_t level = 1; level < 5; ++level) {
        r.quality = level;
        d.mode = RateMode::TwoPassFirst;
        const EncoderParams plain = mapSettings(CodecFamily::DivX4, r, d, 25.0, 8);
        EXPECT_EQ(plain.macroblockDecision + plain.trellis + plain.codedBlockChoice +
                      plain.fourMotionVectors + plain.transformCompare,
                  0)
            << level;
        d.mode = RateMode::TwoPassSecond;
        EXPECT_EQ(mapSettings(CodecFamily::DivX4, r, d, 25.0, 8).trellis, level >= 2) << level;
    }
}

TEST(CodecSettings, DivX4EffortThreadsAndReaction) {
    RegistrySettings r;
    DialogSettings d;
    r.quality = 1;
    EXPECT_EQ(mapSettings(CodecFamily::DivX4, r, d, 25.0, 4).macroblockDecision, 0);
    r.quality = 5;
    EncoderParams p = mapSettings(CodecFamily::DivX4, r, d, 25.0, 4);
    EXPECT_EQ(p.macroblockDecision, 2);
    EXPECT_EQ(p.threads, 4); // the rate-distortion decision keeps every processor busy
    EXPECT_TRUE(p.trellis);
    EXPECT_TRUE(p.fourMotionVectors);
    EXPECT_TRUE(p.transformCompare);
    // Each level adds work to the one below it and takes nothing away.
    auto work = [](const EncoderParams& e) {
        return e.macroblockDecision + e.trellis + e.codedBlockChoice + e.fourMotionVectors +
               e.transformCompare;
    };
    for (uint32_t level = 1; level < 5; ++level) {
        r.quality = level;
        const EncoderParams lower = mapSettings(CodecFamily::DivX4, r, d, 25.0, 4);
        r.quality = level + 1;
        const EncoderParams higher = mapSettings(CodecFamily::DivX4, r, d, 25.0, 4);
        EXPECT_LT(work(lower), work(higher)) << level;
        EXPECT_LE(lower.macroblockDecision, higher.macroblockDecision);
        EXPECT_LE(lower.trellis, higher.trellis);
        EXPECT_LE(lower.fourMotionVectors, higher.fourMotionVectors);
    }
    r.haveCpuLimit = true;
    r.cpuLimit = 50;
    EXPECT_EQ(mapSettings(CodecFamily::DivX4, r, d, 25.0, 8).threads, 4);
    r.cpuLimit = 1;
    EXPECT_EQ(mapSettings(CodecFamily::DivX4, r, d, 25.0, 8).threads, 1);
    r.reactionPeriod = 50;
    r.reactionRatio = 5;
    p = mapSettings(CodecFamily::DivX4, r, d, 25.0, 8);
    EXPECT_FLOAT_EQ(p.qblur, 1.0f);
    EXPECT_GT(p.qcompress, 0.5f);
}

TEST(CodecSettings, DivX3KeyFramesInSecondsAndCrispness) {
    RegistrySettings r;
    r.quality = 1; // the DivX 4 key does not reach DivX 3
    DialogSettings d = defaultDialogSettings(CodecFamily::DivX3Low);
    EXPECT_EQ(d.keyInterval, 10);
    d.keyInterval = 10;
    d.crispness = 100;
    EncoderParams p = mapSettings(CodecFamily::DivX3Low, r, d, 29.97, 8);
    EXPECT_TRUE(p.msmpeg4);
    EXPECT_EQ(p.gopSize, 300);
    EXPECT_EQ(p.noiseReduction, 0);
    EXPECT_EQ(p.macroblockDecision, 2);
    d.crispness = 50;
    const int half = mapSettings(CodecFamily::DivX3Fast, r, d, 25.0, 8).noiseReduction;
    d.crispness = 0;
    const int smoothest = mapSettings(CodecFamily::DivX3Fast, r, d, 25.0, 8).noiseReduction;
    EXPECT_GT(half, 0);
    EXPECT_GT(smoothest, half);
    EXPECT_GT(mapSettings(CodecFamily::DivX3Fast, r, d, 25.0, 8).meRange,
              mapSettings(CodecFamily::DivX3Low, r, d, 25.0, 8).meRange);
}

TEST(CodecSettings, ControlsTextListsTheWindow) {
    DialogSettings d;
    d.logPath = "/out/movie.log";
    const std::string text = describeControls(CodecFamily::DivX4, d);
    EXPECT_NE(text.find("ED00\t"), std::string::npos);
    EXPECT_NE(text.find("ED06\t"), std::string::npos);
    EXPECT_NE(text.find("CB01\t"), std::string::npos);
    EXPECT_NE(text.find("\t/out/movie.log\t"), std::string::npos);
    std::string error;
    EXPECT_TRUE(setControl(CodecFamily::DivX4, d, "CB01", "2-PASS, SECOND PASS", error));
    EXPECT_EQ(d.mode, RateMode::TwoPassSecond);
    EXPECT_FALSE(setControl(CodecFamily::DivX4, d, "ED00", "0", error));
    EXPECT_FALSE(setControl(CodecFamily::DivX3Low, d, "ED06", "250", error));
}

TEST(CodecSettings, FieldBlendMixesNeighbouringLines) {
    // Alternating field lines of 0 and 200: every inner line becomes their mean, using the original
    // value of the line above (not the one already blended).
    std::vector<uint8_t> plane(4 * 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 4; ++x)
            plane[static_cast<size_t>(y) * 4 + x] = y % 2 ? 200 : 0;
    blendFields(plane.data(), 4, 4, 6);
    EXPECT_EQ(plane[0], 0); // the first line stays
    for (int y = 1; y < 5; ++y)
        EXPECT_EQ(plane[static_cast<size_t>(y) * 4 + 1], 100) << y;
    EXPECT_EQ(plane[5 * 4], 200); // and the last
}

} // namespace
} // namespace divx_codec

namespace divx_codec {
namespace {

TEST(FirstPassLog, FramesAndFixedBitsAreCounted) {
    const std::string log = "in:0 out:0 type:1 q:236 itex:9000 ptex:0 mv:0 misc:700 fcode:1 bcode:1 mc-var:0 "
                            "var:1 icount:99 skipcount:0 hbits:0;\n"
                            "in:1 out:1 type:2 q:300 itex:0 ptex:5000 mv:1200 misc:300 fcode:1 bcode:1;\n"
                            "in:2 out:2 type:2 q:300 itex:0 ptex:4000 xmv:99999 mv:800 misc:200;\n";
    const FirstPassSummary s = summarizeFirstPass(log);
    EXPECT_EQ(s.frames, 3);
    EXPECT_DOUBLE_EQ(s.fixedBits, 700 + 1200 + 300 + 800 + 200);
    EXPECT_DOUBLE_EQ(s.textureWork, 9000 * 2.0 + (5000 + 4000) * 300 / 118.0);

    // 3 frames at 25 fps are 0.12 s; at quantizer 31 they take at least fixed + work / 31 bits, and
    // the rate is raised to twice that.
    const double least = s.fixedBits + s.textureWork / 31;
    EXPECT_EQ(reachableBitRate(16000, s, 25.0, 31), static_cast<int64_t>(std::ceil(least * 2 / 0.12)));
    EXPECT_GT(reachableBitRate(16000, s, 25.0, 10), reachableBitRate(16000, s, 25.0, 31));
    EXPECT_EQ(reachableBitRate(900000, s, 25.0, 31), 900000);
    EXPECT_EQ(reachableBitRate(16000, FirstPassSummary{}, 25.0, 31), 16000);

    for (const char* damaged :
         {"", ";;;", "in:", "in:0 mv:-5 misc:x;", "mv:100 misc:100;", "in:0 mv:99999999999999999999;"})
        EXPECT_EQ(summarizeFirstPass(damaged).fixedBits, 0) << damaged;
    EXPECT_EQ(summarizeFirstPass("in:0 mv:-5 misc:x;in:1;").frames, 2);
}

} // namespace
} // namespace divx_codec
