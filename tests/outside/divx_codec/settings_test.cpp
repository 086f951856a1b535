// How the registry values and the settings window reach the encoder.

#include "outside/divx_codec/codec_settings.h"
#include "outside/divx_codec/driver_controls.h"
#include "outside/divx_codec/video_encoder.h"
#include "platform/core/registry.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(p.threads, 8);

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
}

TEST(CodecSettings, DivX4EffortThreadsAndReaction) {
    RegistrySettings r;
    DialogSettings d;
    r.quality = 1;
    EXPECT_EQ(mapSettings(CodecFamily::DivX4, r, d, 25.0, 4).macroblockDecision, 0);
    r.quality = 5;
    EncoderParams p = mapSettings(CodecFamily::DivX4, r, d, 25.0, 4);
    EXPECT_EQ(p.macroblockDecision, 2);
    EXPECT_TRUE(p.trellis);
    EXPECT_TRUE(p.fourMotionVectors);
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
    EXPECT_FLOAT_EQ(p.spatialMasking, 0.0f);
    EXPECT_EQ(p.macroblockDecision, 2);
    d.crispness = 0;
    EXPECT_FLOAT_EQ(mapSettings(CodecFamily::DivX3Fast, r, d, 25.0, 8).spatialMasking, 0.3f);
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
