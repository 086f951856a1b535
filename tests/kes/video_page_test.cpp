// The video page's arithmetic: the bit-rate suggestion and the aspect estimate, presets, rounding to
// multiples of 8, the user's presets, the settings description, the output names and the DivX 4
// registry values.
#include "kes/divx4_settings.h"
#include "kes/video_page.h"

#include "platform/core/registry.h"
#include "platform/core/text.h"

#include <gtest/gtest.h>

namespace kes {
namespace {

namespace reg = platform::core::registry;
using platform::core::RootKey;

BitrateInputs inputs() {
    return {"650", "120", "0", "120", "128"};
}

TEST(SuggestedBitrateTest, SizeOverLengthMinusAudio) {
    // 650 * 8192 / 7200 - 128 = 611.6 -> 612, for every codec and rate mode.
    EXPECT_EQ(suggestedBitrate(inputs()), 612);

    BitrateInputs in = inputs();
    in.size = "1400";
    in.minutes = in.movieLength = "136";
    in.seconds = "5";
    // 1400 * 8192 / 8165 - 128 = 1276.6 -> 1277.
    EXPECT_EQ(suggestedBitrate(in), 1277);
}

// What the suggested rate makes of a CD, as the rip's muxer writes it: the video and audio streams at
// their rates, and the AVI's own bytes (two chunks per frame with their index entries, the headers).
TEST(SuggestedBitrateTest, TheMovieFitsTheCdAndFillsIt) {
    struct Cd {
        const char* size;
        int parts;
        double bytes; // a CD-R of that many megabytes
    };
    constexpr double ChunkBytesPerFrame = 2 * (8 + 16) + 1; // header, index entry, padding
    constexpr double HeaderBytes = 64 * 1024.0;
    for (const Cd cd : {Cd{"650", 1, 681984000.0}, Cd{"700", 1, 737280000.0}, Cd{"1300", 2, 681984000.0},
                        Cd{"1400", 2, 737280000.0}}) {
        for (const auto& [minutes, fps] : {std::pair{"90", 25.0}, std::pair{"120", 25.0},
                                           std::pair{"120", 29.97}, std::pair{"150", 23.976}}) {
            BitrateInputs in = inputs();
            in.size = cd.size;
            in.minutes = in.movieLength = minutes;
            const double seconds = 60.0 * std::stoi(minutes);
            const int32_t video = suggestedBitrate(in);
            const double movie = (video + 128) * 1000.0 / 8 * seconds + ChunkBytesPerFrame * fps * seconds +
                                 HeaderBytes * cd.parts;
            const double part = movie / cd.parts;
            EXPECT_LE(part, cd.bytes) << cd.size << " MB, " << minutes << " min at " << fps;
            EXPECT_GE(part, 0.97 * cd.bytes) << cd.size << " MB, " << minutes << " min at " << fps;
        }
    }
}

TEST(SuggestedBitrateTest, MissingOrZeroLengthGivesNothing) {
    BitrateInputs in = inputs();
    in.minutes = in.movieLength = "0";
    EXPECT_EQ(suggestedBitrate(in), 0);
    in = inputs();
    in.seconds = "";
    EXPECT_EQ(suggestedBitrate(in), 0);
    in = inputs();
    in.size = "";
    EXPECT_EQ(suggestedBitrate(in), 0);
    in = inputs();
    in.audioBitrate = "";
    EXPECT_EQ(suggestedBitrate(in), 0);
    // Seconds that cancel the minutes make no length.
    in = inputs();
    in.minutes = in.movieLength = "1";
    in.seconds = "-60";
    EXPECT_EQ(suggestedBitrate(in), 0);
    in = inputs();
    in.size = "big";
    EXPECT_THROW(suggestedBitrate(in), platform::core::ConvertError);
}

TEST(AspectEstimateTest, SixteenNinthsAddsTenPercent) {
    // 650 / 120 * 133.333 - 128 = 594.2 -> 594.
    EXPECT_EQ(aspectEstimate("650", "120", "128", false), 594);
    EXPECT_EQ(aspectEstimate("650", "120", "128", true), 653);
    // Negative estimates are given as they are.
    EXPECT_EQ(aspectEstimate("100", "120", "128", false), -17);
    EXPECT_EQ(aspectEstimate("650", "0", "128", false), std::nullopt);
    EXPECT_EQ(aspectEstimate("", "120", "128", false), std::nullopt);
}

TEST(PresetTest, FixedColumnsOrNoPreset) {
    const auto preset = parsePreset("640x344 => 640x264 [1.85*]");
    ASSERT_TRUE(preset);
    EXPECT_EQ(preset->xSize, "640");
    EXPECT_EQ(preset->ySize, "344");
    EXPECT_EQ(preset->xCrop, "640");
    EXPECT_EQ(preset->yCrop, "264");
    EXPECT_FALSE(parsePreset("*user selection"));
    EXPECT_FALSE(parsePreset("640x34"));
    // A four-digit width moves the mark: no preset.
    EXPECT_FALSE(parsePreset(userPresetText({"1024", "576", "1024", "576"})));
    // A short text with its mark in place gives what is there.
    const auto shortOne = parsePreset("720x576 =");
    ASSERT_TRUE(shortOne);
    EXPECT_EQ(shortOne->xCrop, "");
}

TEST(PresetTest, UserPresetsAreTheMarkedItems) {
    EXPECT_EQ(userPresetText({"704", "400", "704", "384"}), "704x400 => 704x384 #");
    EXPECT_EQ(userPresetLines({"*user selection", "512x216 => 512x160 [2.35]", "704x400 => 704x384 #", "x#"}),
              (std::vector<std::string>{"704x400 => 704x384 #", "x#"}));
}

TEST(PresetTest, RoundingToMultiplesOfEightGoesToTheEvenMultiple) {
    EXPECT_EQ(roundToStep(4, 8), 0);
    EXPECT_EQ(roundToStep(12, 8), 16);
    EXPECT_EQ(roundToStep(20, 8), 16);
    EXPECT_EQ(roundToStep(21, 8), 24);
    EXPECT_EQ(roundToStep(720, 8), 720);
    EXPECT_EQ(roundToStep(5, 0), 5);
}

DescriptionInputs description() {
    DescriptionInputs in;
    in.divFR = "653";
    in.kframe = "10";
    in.fps = "25";
    in.crop = true;
    in.xCrop = "512";
    in.yCrop = "208";
    in.audioCodec = "MP3";
    in.sampleRate = "48";
    in.audioBitrate = "128";
    in.codec = "Low Motion";
    in.rateMode = "1-pass";
    return in;
}

TEST(SettingsDescriptionTest, ChoicesInOrder) {
    EXPECT_EQ(settingsDescription(description()), "1CD-PAL-512x208-MP3/48/128- DivX 3");

    DescriptionInputs in = description();
    in.divFR = "1000";
    in.kframe = "9999";
    in.fps = "29.970";
    in.crop = false;
    in.downX = in.downY = true;
    in.xSize = "640";
    in.ySize = "480";
    in.codec = "DivX 4.x";
    EXPECT_EQ(settingsDescription(in), "2CD/VKI-NTSC-640x480-MP3/48/128- DivX 4 [1-pass]");
    in.downY = false; // one resize box alone is not shown
    in.rateMode = "1-pass quality-based";
    EXPECT_EQ(settingsDescription(in), "2CD/VKI-NTSC-MP3/48/128- DivX 4 [1-pass HQ]");
    in.rateMode = "2-pass, second pass";
    EXPECT_TRUE(settingsDescription(in).ends_with(" [2-pass]"));
    in.rateMode = "1-pass";
    in.proceed2 = true;
    EXPECT_TRUE(settingsDescription(in).ends_with(" [2-pass]"));
    in.halfres = true;
    in.crop = true;
    EXPECT_EQ(settingsDescription(in), "2CD/VKI-NTSC- 1/2Res-MP3/48/128- DivX 4 [2-pass]");
}

TEST(SettingsDescriptionTest, LockedCdCountKeepsTheShownOne) {
    DescriptionInputs in = description();
    in.lock1cd = true;
    in.currentDescription = "3CD-PAL";
    EXPECT_EQ(settingsDescription(in), "3CD-PAL-512x208-MP3/48/128- DivX 3");
    // Nothing to keep in an empty description: the computed count stands.
    in.currentDescription.clear();
    EXPECT_EQ(settingsDescription(in), "1CD-PAL-512x208-MP3/48/128- DivX 3");
    in.divFR = "";
    EXPECT_THROW(settingsDescription(in), platform::core::ConvertError);
}

TEST(OutputNamesTest, NamedAfterTheProfileInTheShownFolders) {
    const auto names = profileOutputNames("My Movie", "/out/final.avi", "/two/finalss2.avi");
    ASSERT_TRUE(names);
    EXPECT_EQ(names->finalFile, "/out/My_Movie.avi");
    EXPECT_EQ(names->aviSS2, "/two/My_Movie_stream2.avi");
    EXPECT_FALSE(profileOutputNames("None", "/out/final.avi", "/two/x.avi"));
    EXPECT_FALSE(profileOutputNames(std::string(51, 'a'), "/out/final.avi", "/two/x.avi"));
    EXPECT_TRUE(profileOutputNames(std::string(50, 'a'), "/out/final.avi", "/two/x.avi"));
    EXPECT_EQ(firstPassLogName("/work/movie.avi", "/out/Matrix.Avi"), "/work/Matrix.log");
    EXPECT_EQ(firstPassLogName("/work/movie.avi", "/out/a.avi.b.avi"), "/work/a.b.avi.log");
}

TEST(PostprocessingTest, SnapsToTensHalvesToEven) {
    EXPECT_EQ(pplSnap(45), 40);
    EXPECT_EQ(pplSnap(15), 20);
    EXPECT_EQ(pplSnap(25), 20);
    EXPECT_EQ(pplSnap(37), 40);
    EXPECT_EQ(pplSnap(60), 60);
}

class DivX4RegistryTest : public ::testing::Test {
protected:
    DivX4RegistryTest() { reg::deleteKey(RootKey::CurrentUser, DivX4Key); }
    ~DivX4RegistryTest() override { reg::deleteKey(RootKey::CurrentUser, DivX4Key); }
    static std::optional<uint32_t> value(const char* name) {
        return reg::readDword(RootKey::CurrentUser, DivX4Key, name);
    }
};

TEST_F(DivX4RegistryTest, RateModePresets) {
    EXPECT_FALSE(readDivX4Values());
    ASSERT_TRUE(writeRateModePresets("1-pass quality-based"));
    EXPECT_EQ(value("RC Reaction Period"), 50u);
    EXPECT_EQ(value("RC Reaction Ratio"), 5u);
    EXPECT_EQ(value("VBR Quality"), 90u);
    ASSERT_TRUE(writeRateModePresets("2-pass, first pass"));
    EXPECT_EQ(value("RC Reaction Period"), 10u);
    EXPECT_EQ(value("RC Reaction Ratio"), 20u);
    EXPECT_EQ(value("VBR Quality"), 90u); // left as the one-pass mode wrote it
    EXPECT_EQ(value("Quality"), std::nullopt);
}

TEST_F(DivX4RegistryTest, ValuesRoundTripAndMissingOnesStayEmpty) {
    DivX4Values v;
    v.quality = 3;
    v.maxQuantizer = 16;
    v.postprocessing = 40;
    ASSERT_TRUE(writeDivX4Values(v));
    const auto read = readDivX4Values();
    ASSERT_TRUE(read);
    EXPECT_EQ(read->quality, 3u);
    EXPECT_EQ(read->maxQuantizer, 16u);
    EXPECT_EQ(read->postprocessing, 40u);
    EXPECT_EQ(read->minQuantizer, std::nullopt);
    EXPECT_EQ(reg::valueNames(RootKey::CurrentUser, DivX4Key).size(), 3u);
}

} // namespace
} // namespace kes
