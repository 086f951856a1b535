// "Launch rip !" on a generated four-file title with the real ac3dec.exe, bbdmux.exe and azid.exe in
// the program folder, the stream boxes holding the texts the IFO gives them ("0x80 [English]"): the
// Azid path joins the pieces of every VOB into the whole stream and decodes both streams, the AC3Dec
// path decodes the whole title at 48 and 44.1 kHz.
#include "tests/kes/rip_audio_support.h"
#include "tests/outside/dvd_audio/ac3_test_support.h"
#include "tests/support/vobgen.h"

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::Pcm;
using test::readWav;

const std::map<std::string, std::string> kStereoDownmix = {{"downmix", "stereo"}};

class Ac3RipTest : public test::RipAudioFixture {
protected:
    void SetUp() override {
        test::RipAudioFixture::SetUp();
        for (const char* tool : {"ac3dec.exe", "bbdmux.exe", "azid.exe"})
            folder.copyFromBuild(std::string("extern/") + tool);
        test::VobSpec spec;
        spec.seconds = 3.0;
        spec.audio = {test::VobAudioStream{}, test::VobAudioStream{}};
        spec.audio[1].id = 0x81;
        spec.audio[1].channels = 6;
        spec.audio[1].bitRate = 448000;
        spec.audio[1].toneHz = 500; // the LFE tone (875 Hz) lies above what that channel carries
        spec.packsPerFile = 45;
        set = test::writeVobSet(at("my dvd"), spec);
        whole = at("whole.vob");
        test::writeBytes(whole, std::string(set.bytes.begin(), set.bytes.end()));
        form->Vobfile.setText(set.files[0].string());
        form->SubStream.setText("0x80 [English]");
        form->SecSubStream.setText("0x81 [Latvian, Lettish]");
    }

    test::VobSet set;
    std::string whole;
};

int peakOf(const Pcm& pcm) {
    int peak = 0;
    for (const int16_t v : pcm.samples)
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    return peak;
}

TEST_F(Ac3RipTest, AzidPathJoinsEveryVobsPieceAndDecodesBothStreams) {
    ASSERT_GE(set.files.size(), 3U);
    form->arip.setTextSilent("Azid");
    form->twostreams.setChecked(true);
    launch();
    EXPECT_FALSE(RipAborted);
    EXPECT_EQ(shown(), Lines{});

    // The joined streams are the sub-streams byte for byte; the pieces went into them.
    const auto& first = set.audio[0].elementary;
    const auto& second = set.audio[1].elementary;
    EXPECT_EQ(test::readBytes(folder1 + "audio.ac3"), std::string(first.begin(), first.end()));
    EXPECT_EQ(test::readBytes(folder2 + "audio.ac3"), std::string(second.begin(), second.end()));
    EXPECT_FALSE(fs::exists(folder1 + "audio1.ac3"));

    // Stream 1: a stereo stream decodes as FFmpeg decodes it.
    const Pcm one = readWav(wav1);
    EXPECT_LE(test::largestDifference(one.samples, test::ffmpegDecode(whole, 0x80, {}).samples), 1);
    // Stream 2: five channels down-mixed (with the LFE) at the largest gain that does not clip.
    const Pcm two = readWav(wav2);
    EXPECT_EQ(two.rate, 48000);
    EXPECT_GE(peakOf(two), 32700);
    const Pcm reference = test::ffmpegDecode(whole, 0x81, kStereoDownmix);
    const test::Fit fit =
        test::fitScale(two.samples, std::vector<double>(reference.samples.begin(), reference.samples.end()));
    EXPECT_GT(fit.factor, 1.5);
    EXPECT_LT(fit.residual, 0.05 * test::rms(two.samples)); // what little the LFE channel lets through
}

TEST_F(Ac3RipTest, Ac3DecPathDecodesTheWholeTitle) {
    form->arip.setTextSilent("AC3Dec");
    form->RipAll.setChecked(true);
    form->SubStream.setText("0x81 [Latvian, Lettish]");
    launch();
    EXPECT_FALSE(RipAborted);
    EXPECT_EQ(shown(), Lines{});
    const Pcm at48 = readWav(wav1);
    EXPECT_EQ(at48.rate, 48000);
    EXPECT_LE(test::largestDifference(at48.samples, test::ffmpegDecode(whole, 0x81, kStereoDownmix).samples),
              1);

    form->Samplerate.setText("44.1");
    launch();
    EXPECT_FALSE(RipAborted);
    const Pcm at441 = readWav(wav1);
    EXPECT_EQ(at441.rate, 44100);
    EXPECT_NEAR(static_cast<double>(at441.frames()) / 44100, static_cast<double>(at48.frames()) / 48000,
                0.01);
}

// "Play 2" on the AC3Dec path plays the second stream to its end (no sound card here); a VOB that is
// not there is reported by the player in its own box.
TEST_F(Ac3RipTest, PlayButtonPlaysTheStreamThroughTheDecoder) {
    const std::string log = at("player boxes.log");
    setenv("KESTROVA_SOUND_DEVICE", "none", 1);
    setenv("KESTROVA_UI_LOG", log.c_str(), 1);
    form->arip.setTextSilent("AC3Dec");
    form->Audio2playClick();
    EXPECT_EQ(ExtCommand, ext() + "ac3dec.exe \"" + set.files[0].string() + "\" -substream 0x81 -pcm -out");
    EXPECT_FALSE(fs::exists(log));

    form->Vobfile.setTextSilent(at("gone/VTS_01_1.VOB"));
    form->PreAudClick();
    unsetenv("KESTROVA_UI_LOG");
    unsetenv("KESTROVA_SOUND_DEVICE");
    EXPECT_NE(test::readBytes(log).find("error\tAC3 player\t"), std::string::npos);
    EXPECT_EQ(shown(), Lines{});
}

} // namespace
} // namespace kes
