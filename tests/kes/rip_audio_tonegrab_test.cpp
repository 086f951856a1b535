// The built-in path for real: a generated two-file VOB run with two AC3 streams, the built
// extractor and its filters in the test's program folder, then normalisation and MP3 compression.
// Skipped while the build has no extractor.
#include "rip_audio_support.h"

#include "tests/support/lavf_media.h"

#include "tests/support/vobgen.h"

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::le32;
using test::readBytes;

constexpr double Seconds = 3.0;
constexpr int64_t CanonicalHeaderBytes = 44;
constexpr double Bytes441PerSecond = 176400;

class RipTonegrabTest : public test::RipAudioFixture {
protected:
    void SetUp() override {
        if (!fs::exists(test::builtProgramDir() / "extern" / "Tonegrab.exe"))
            GTEST_SKIP() << "the build has no extern/Tonegrab.exe";
        test::RipAudioFixture::SetUp();
        // The extractor, its filters and the MP3 encoder for real; the helpers the rip does not run
        // are fakes.
        for (const char* file :
             {"Tonegrab.exe", "_Quillon.ax", "_Mpeg2Parser.ax", "Mpeg2splt.ax", "XmdAudioDecode.dll",
              "_wavdest.ax", "AsmAc3.dll", "AsmFloatFull.dll", "LAME_ENC.DLL"})
            folder.copyFromBuild(std::string("extern/") + file);
        for (const char* file : {"mpeg2avipx3.exe", "m2apx3g.exe", "mpeg2v12.exe", "DivxAuto.exe"})
            fake(file);
        ASSERT_EQ(missingHelpers(ext()), "");

        test::VobSpec spec;
        spec.seconds = Seconds;
        spec.audio = {test::VobAudioStream{}, test::VobAudioStream{}};
        spec.audio[1].id = 0x81;
        spec.audio[1].toneHz = 660.0;
        spec.packsPerFile = 60;
        const test::VobSet set = test::writeVobSet(at("my dvd"), spec);
        ASSERT_GE(set.files.size(), 2U);
        vob1 = set.files[0].string();
        form->Vobfile.setText(vob1);
    }
};

// The length of a WAV file's samples at 44.1 kHz stereo 16-bit.
double secondsAt441(const std::string& wav) {
    return static_cast<double>(readBytes(wav).size() - CanonicalHeaderBytes) / Bytes441PerSecond;
}

TEST_F(RipTonegrabTest, TwoStreamsAreDecodedNormalisedAndCompressedToMp3) {
    form->arip.setTextSilent("Internal");
    form->twostreams.setChecked(true);
    form->Samplerate.setText("44.1");
    form->normal.setChecked(true);
    form->Norm2Other.setChecked(true);
    form->GainTrack.setPosition(60);
    form->compress.setChecked(true);
    form->mp3wma.setText("MP3");
    form->Mode.setText("Stereo");
    form->Bitrate.setText("128");
    form->compaudiofile.setText(at("out/one.mp3.wav"));
    form->compressedSS2.setText(at("out two/two.mp3.wav"));
    fs::create_directories(at("out"));
    fs::create_directories(at("out two"));
    launch();

    EXPECT_FALSE(RipAborted);
    EXPECT_EQ(shown(), Lines{});
    for (const std::string& wav : {wav1, wav2}) {
        ASSERT_TRUE(fs::exists(wav)) << wav;
        const std::string header = readBytes(wav).substr(0, CanonicalHeaderBytes);
        EXPECT_EQ(header.substr(24, 8), le32(44100) + le32(176400)) << wav;
        EXPECT_NEAR(secondsAt441(wav), Seconds, 0.1) << wav;
        EXPECT_NE(readBytes(wav).find_first_not_of('\0', CanonicalHeaderBytes), std::string::npos)
            << "silent";
    }
    EXPECT_TRUE(fs::exists(folder1 + "Normalized.wav"));
    EXPECT_TRUE(fs::exists(folder2 + "Normalized2.wav"));
    // The two streams are different tones: the extractor took each one.
    EXPECT_NE(readBytes(wav1), readBytes(wav2));

    for (const std::string& out : {at("out/one.mp3.wav"), at("out two/two.mp3.wav")}) {
        ASSERT_TRUE(fs::exists(out)) << out;
        const std::string mp3 = readBytes(out);
        EXPECT_EQ(mp3.substr(20, 2), std::string("\x55\x00", 2)) << out; // MPEG layer-3
        EXPECT_EQ(mp3.substr(24, 4), le32(44100)) << out;
        const test::LavfProbe probe = test::probeLavf(out);
        ASSERT_EQ(probe.streams.size(), 1u) << out;
        EXPECT_EQ(probe.streams[0].codec, "mp3") << out;
        EXPECT_EQ(probe.streams[0].sampleRate, 44100) << out;
        EXPECT_NEAR(probe.streams[0].seconds, Seconds, 0.15) << out;
    }
    for (const std::string& normalised : {folder1 + "Normalized.wav", folder2 + "Normalized2.wav"}) {
        const test::LavfProbe probe = test::probeLavf(normalised);
        ASSERT_EQ(probe.streams.size(), 1u) << normalised;
        EXPECT_EQ(probe.streams[0].codec, "pcm_s16le") << normalised;
        EXPECT_EQ(probe.streams[0].sampleRate, 44100) << normalised;
        EXPECT_NEAR(probe.streams[0].seconds, Seconds, 0.1) << normalised;
    }
    EXPECT_NEAR(RipRecord.CompSource1, Seconds, 0.1);
    EXPECT_NEAR(RipRecord.CompTarget1, Seconds, 0.15);
    EXPECT_NEAR(RipRecord.CompSource2, Seconds, 0.1);
    EXPECT_NEAR(RipRecord.CompTarget2, Seconds, 0.15);
    EXPECT_GT(RipRecord.AudioEnd, RipRecord.AudioStart);
}

} // namespace
} // namespace kes
