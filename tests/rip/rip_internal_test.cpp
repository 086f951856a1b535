// A rip of the audio and the subtitles through the built-in extractor: the title's first stream at
// 44.1 kHz, normalised and compressed to MP3, and two subtitle languages extracted and packed.
#include "tests/rip/av_probe.h"
#include "tests/rip/rip_road.h"

#include "kes/form1_unit.h"
#include "tests/rip/rip_checks.h"

namespace kes::test {
namespace {

namespace fs = std::filesystem;

constexpr double Mp3Frame = 1152.0 / 44100;

class InternalRoadTest : public RipRoadTest {
protected:
    void SetUp() override {
        fillMissingHelpers();
        makeTitle();
        out = at("out/");
        start();
    }
    std::string out;
};

TEST_F(InternalRoadTest, AudioAt441AndSubtitlesOfTwoLanguages) {
    saveProfile("Internal", "internal.pfl", [&](TForm1& f) {
        f.RipAudio.setChecked(true);
        f.arip.setText("Internal");
        f.Samplerate.setText("44.1");
        f.normal.setChecked(true);
        f.compress.setChecked(true);
        f.mp3wma.setText("MP3");
        f.Mode.setText("Stereo");
        f.Bitrate.setText("128");
        f.SubStream.setText(f.SubStream.items().at(0));
        f.ifofile.setText(title.ifoPath.string());
        for (int i = 0; i < f.IFOlngList.itemCount(); ++i)
            f.IFOlngList.setSelected(i, true);
        f.SpeedButton5Click();
        f.destsub.setText(out + "final.sub");
    });
    loadProfile("Internal");
    EXPECT_EQ(form->arip.text(), "Internal");
    EXPECT_EQ(form->selectedlng.items(), (Lines{"English", "Francais"}));
    const std::string base = out + "Internal";
    EXPECT_EQ(form->destsub.text(), base + ".sub");
    launch();
    ASSERT_FALSE(RipAborted) << ::testing::PrintToString(shown());
    EXPECT_EQ(shown(), Lines{});
    ASSERT_EQ(reports().size(), 1u);
    const std::string report = reports()[0];

    // The compressed stream: MP3 at 44.1 kHz, as long as the title but for the encoder's delay and
    // its last frame's padding, which a WAV file does not record; the beeps where the title has them.
    const std::string mp3Path = out + "work/audio.mp3.wav";
    const ProbedFile mp3 = probeMedia(mp3Path);
    ASSERT_TRUE(mp3.opened) << mp3.error;
    ASSERT_EQ(mp3.streams.size(), 1u);
    EXPECT_EQ(mp3.format, "wav");
    EXPECT_EQ(mp3.streams[0].codec, "mp3");
    EXPECT_EQ(mp3.streams[0].sampleRate, 44100);
    EXPECT_EQ(mp3.streams[0].channels, 2);
    EXPECT_NEAR(mp3.streams[0].seconds, title.spec.seconds, VideoFrame + Mp3Frame);
    EXPECT_NEAR(reportSeconds(report, "Compressed audio length"), mp3.streams[0].seconds, 0.01);
    expectBeeps(beepStarts(mp3Path), title.spec.beeps, VideoFrame);

    // The decoded WAV: 44.1 kHz in its header, normalised in place, the same beeps.
    const ProbedFile wav = probeMedia(out + "work/audio.wav");
    ASSERT_EQ(wav.streams.size(), 1u);
    EXPECT_EQ(wav.streams[0].codec, "pcm_s16le");
    EXPECT_EQ(wav.streams[0].sampleRate, 44100);
    EXPECT_NEAR(wav.streams[0].seconds, title.spec.seconds, VideoFrame);
    EXPECT_NEAR(reportSeconds(report, "WAV length before compression"), wav.streams[0].seconds, 0.01);
    expectBeeps(beepStarts(out + "work/audio.wav"), title.spec.beeps, VideoFrame);
    EXPECT_NE(report.find("1CD-PAL-MP3/44.1/128"), std::string::npos) << report;

    // Both subtitle languages in the pair, each subtitle at its time; the archive holds the ".sub".
    expectSubtitlePair(base, title);

    // What the rip leaves: its list beside the VOB files, the work files, the subtitles, the log.
    EXPECT_EQ(filesUnder(title.folder),
              (Lines{"VTS_01_0.IFO", "VTS_01_1.VOB", "VTS_01_2.VOB", "VTS_01_3.VOB", "vob.lst"}));
    EXPECT_EQ(filesUnder(out), (Lines{"Internal.idx", "Internal.rar", "Internal.sub", "work/audio.mp3.wav",
                                      "work/audio.wav"}));
    expectOneLog(folder.path(), report);
}

} // namespace
} // namespace kes::test
