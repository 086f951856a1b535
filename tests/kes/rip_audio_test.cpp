// The audio steps of a rip, run through "Launch rip !" with fakes of the outside decoders: the command
// lines of the three decoding paths, the join of the AC3 pieces, the 44.1 kHz relabelling, the tools'
// stop flags, the deletion of the WAV files and the step record.
#include "rip_audio_support.h"

#include "tests/support/lavf_media.h"

#include "tools/amplifier/tform3.h"
#include "tools/audio_converter/tform2.h"

#include "platform/ui/timer.h"

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::wavBytes;
using test::writeBytes;

class RipAudioTest : public test::RipAudioFixture {};

// ---- AC3Dec path ----

TEST_F(RipAudioTest, Ac3DecDecodesEachStream) {
    form->arip.setTextSilent("AC3Dec");
    fake("ac3dec.exe", "writelast RIFF\n");
    launch();
    EXPECT_FALSE(RipAborted);
    EXPECT_EQ(runs("ac3dec.exe"), Lines{run("ac3dec.exe", {vob1, "-allvob", "-substream", "0x80",
                                                           "-overwrite", "-pcmwav", wav1})});
    EXPECT_EQ(ExtCommand, ext() + "ac3dec.exe \"" + vob1 +
                              "\" -allvob -substream 0x80 -overwrite -pcmwav \"" + wav1 + "\"");

    clearLogs();
    form->twostreams.setChecked(true);
    form->Samplerate.setText("44.1");
    form->RipAll.setChecked(false);
    launch();
    EXPECT_EQ(
        runs("ac3dec.exe"),
        (Lines{run("ac3dec.exe", {vob1, "-substream", "0x80", "-overwrite", "-44100", "-pcmwav", wav1}),
               run("ac3dec.exe", {vob1, "-substream", "0x81", "-overwrite", "-44100", "-pcmwav", wav2})}));
    EXPECT_EQ(ExtCommand, ext() + "ac3dec.exe \"" + vob1 +
                              "\" -substream 0x81 -overwrite -44100  -pcmwav \"" + wav2 + "\"");
    EXPECT_EQ(shown(), Lines{});
}

TEST_F(RipAudioTest, RipWhoseListCannotBeWrittenDoesNotRun) {
    form->arip.setTextSilent("AC3Dec");
    fake("ac3dec.exe");
    // An old list stands where the new one cannot be put (as on read-only media, the old title's).
    const std::string list = at("my dvd/vob.lst");
    fs::create_directories(list);
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_TRUE(runs("ac3dec.exe").empty());
    // The list's failure is the only box: no checks ran and no report followed.
    EXPECT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(shown(), Lines{"error: Can't write " + list + " !"});
}

TEST_F(RipAudioTest, StepRecordHoldsTimesAndFreeSpacePerStream) {
    form->arip.setTextSilent("AC3Dec");
    form->twostreams.setChecked(true);
    fake("ac3dec.exe", "sleep 20\nwritelast RIFF\n");
    launch();
    const TRipRecord& r = RipRecord;
    EXPECT_GT(r.AudioStart, 0);
    EXPECT_GT(r.AudioEnd, r.AudioStart);
    EXPECT_EQ(r.RipStart, r.AudioStart);
    EXPECT_EQ(r.RipEnd, r.AudioEnd);
    // Each text names the volume of the stream's WAV.
    auto volume = [](const std::string& text) { return text.substr(0, text.find(" => ")); };
    for (FreeSlot slot : {FreeSlot::Audio1, FreeSlot::Audio2}) {
        EXPECT_EQ(volume(RipRecord.freeBefore(slot)), volume(DriveFreeText(wav1)));
        EXPECT_EQ(volume(RipRecord.freeAfter(slot)), volume(DriveFreeText(wav1)));
        EXPECT_NE(RipRecord.freeAfter(slot).find(" => "), std::string::npos);
    }
    EXPECT_TRUE(RipRecord.freeBefore(FreeSlot::Norm1).empty());
}

TEST_F(RipAudioTest, ProgramThatCannotStartEndsTheRip) {
    form->arip.setTextSilent("AC3Dec"); // no ac3dec.exe in extern/
    form->normal.setChecked(true);
    form->WavFileEdit.setText(make("my wavs/one.wav", wavBytes(48000, 1000)));
    launch();
    EXPECT_TRUE(RipAborted);
    ASSERT_EQ(shown().size(), 1U);
    EXPECT_EQ(shown()[0], "error: Can't start the program :\r\n" + ExtCommand);
    EXPECT_EQ(RipRecord.NormStart, 0); // normalisation did not run
}

// ---- Azid path ----

TEST_F(RipAudioTest, AzidOneVobJoinsOnePiece) {
    fs::remove(vob2);
    form->arip.setTextSilent("Azid");
    form->DelWav.setChecked(true);
    fake("bbdmux.exe", "writearg 3 AC3-ONE\n");
    fake("azid.exe", "writearg 6 RIFF\n");
    launch();
    EXPECT_FALSE(RipAborted);
    EXPECT_EQ(runs("bbdmux.exe"), Lines{run("bbdmux.exe", {vob1, "0xbd", folder1 + "audio1.ac3", "0x80"})});
    EXPECT_EQ(runs("azid.exe"),
              Lines{run("azid.exe", {"-c", "normal", "-L", "-3dB", folder1 + "audio.ac3", wav1})});
    EXPECT_EQ(ExtCommand, ext() + "azid.exe -c normal -L -3dB \"" + folder1 + "audio.ac3\" \"" + wav1 + "\"");
    // The piece went into the join; the joined stream goes with "Delete Wav/AC3" once the WAV is there.
    EXPECT_FALSE(fs::exists(folder1 + "audio1.ac3"));
    EXPECT_FALSE(fs::exists(folder1 + "audio.ac3"));
    EXPECT_EQ(readBytes(wav1), "RIFF");
    EXPECT_EQ(shown(), Lines{});
}

TEST_F(RipAudioTest, AzidTwoStreamsDemultiplexEveryVobIntoTheirOwnFolders) {
    form->arip.setTextSilent("Azid");
    form->twostreams.setChecked(true);
    fake("bbdmux.exe", "writearg 3 AC3\n");
    fake("azid.exe", "writelast RIFF\n");
    launch();
    EXPECT_FALSE(RipAborted);
    EXPECT_EQ(runs("bbdmux.exe"), (Lines{run("bbdmux.exe", {vob1, "0xbd", folder1 + "audio1.ac3", "0x80"}),
                                         run("bbdmux.exe", {vob2, "0xbd", folder1 + "audio2.ac3", "0x80"}),
                                         run("bbdmux.exe", {vob1, "0xbd", folder2 + "audio1.ac3", "0x81"}),
                                         run("bbdmux.exe", {vob2, "0xbd", folder2 + "audio2.ac3", "0x81"})}));
    EXPECT_EQ(
        runs("azid.exe"),
        (Lines{run("azid.exe", {"-c", "normal", "-L", "-3dB", folder1 + "audio.ac3", wav1}),
               run("azid.exe", {"-c", "normal", "-g", "max", "-L", "-3dB", folder2 + "audio.ac3", wav2})}));
    EXPECT_EQ(ExtCommand,
              ext() + "azid.exe -c normal -g max -L -3dB \"" + folder2 + "audio.ac3\" \"" + wav2 + "\"");
    EXPECT_EQ(readBytes(folder1 + "audio.ac3"), "AC3AC3");
    EXPECT_EQ(readBytes(folder2 + "audio.ac3"), "AC3AC3");
}

TEST_F(RipAudioTest, PieceNotWrittenEndsTheRipNamingIt) {
    form->arip.setTextSilent("Azid");
    form->twostreams.setChecked(true);
    form->normal.setChecked(true);
    fake("bbdmux.exe"); // writes nothing
    fake("azid.exe");
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(),
              Lines{"error: The program bbdmux.exe ended without writing " + folder1 + "audio1.ac3 !"});
    EXPECT_EQ(runs("bbdmux.exe").size(), 1U); // neither the second VOB nor stream 2 is started
    EXPECT_EQ(runs("azid.exe"), Lines{});
    EXPECT_EQ(RipRecord.NormStart, 0);

    // A multi-rip shows nothing and keeps the message for its log.
    clearLogs();
    script.clearShown();
    {
        const TForm1::Unattended unattended(*form);
        launch();
        EXPECT_EQ(unattended.said(),
                  Lines{"The program bbdmux.exe ended without writing " + folder1 + "audio1.ac3 !"});
    }
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(), Lines{});
}

// ---- Built-in path ----

TEST_F(RipAudioTest, BuiltInPathQuotesPathsAndRelabels44100) {
    form->arip.setTextSilent("Internal");
    form->Samplerate.setText("44.1");
    form->flip.setChecked(true);
    form->SubStream.setText("0x82");
    const std::string decoded = wavBytes(48000, 4000);
    fake("Tonegrab.exe", "writearg 2 " + test::escapeForFake(decoded) + "\n");
    launch();
    EXPECT_FALSE(RipAborted);
    // Five parameters, although both paths hold blanks.
    EXPECT_EQ(runs("Tonegrab.exe"), Lines{run("Tonegrab.exe", {vob1, wav1, "2", "44.1", "1"})});
    EXPECT_EQ(ExtCommand, ext() + "Tonegrab.exe \"" + vob1 + "\" \"" + wav1 + "\" 2 44.1 1 ");
    std::string expected = decoded;
    expected.replace(24, 8, test::le32(44100) + test::le32(176400));
    EXPECT_EQ(readBytes(wav1), expected);
    const test::LavfProbe probe = test::probeLavf(wav1);
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_EQ(probe.streams[0].sampleRate, 44100);
    EXPECT_EQ(probe.streams[0].samples, 4000);
}

TEST_F(RipAudioTest, BuiltInPathAt48LeavesTheHeaderAlone) {
    form->arip.setTextSilent("Internal");
    form->twostreams.setChecked(true);
    form->SecSubStream.setText("0x83");
    const std::string decoded = wavBytes(48000, 400);
    fake("Tonegrab.exe", "writearg 2 " + test::escapeForFake(decoded) + "\n");
    launch();
    EXPECT_FALSE(RipAborted);
    EXPECT_EQ(runs("Tonegrab.exe"), (Lines{run("Tonegrab.exe", {vob1, wav1, "0", "48", "X"}),
                                           run("Tonegrab.exe", {vob1, wav2, "3", "48", "X"})}));
    EXPECT_EQ(readBytes(wav1), decoded);
    EXPECT_EQ(readBytes(wav2), decoded);
}

TEST_F(RipAudioTest, BuiltInPathRefusesToRelabelAnUnusualHeader) {
    form->arip.setTextSilent("Internal");
    form->Samplerate.setText("44.1");
    const std::string odd = "RIFF\\x10\\x00\\x00\\x00WAVELIST" + std::string(40, 'z');
    fake("Tonegrab.exe", "writearg 2 " + odd + "\n");
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(), Lines{"error: " + wav1 +
                             " is not a plain WAV file : its sample rate can't be set to 44100 Hz !"});
    EXPECT_EQ(readBytes(wav1).substr(12, 4), "LIST");
}

// ---- A decoder that fails ----

// An earlier rip left its WAV under the name the decoder writes. Whichever path decodes, a decoder
// that fails, writes nothing or is ended ends the rip there, naming itself and the file: the earlier
// WAV is never normalised, compressed or reported as this title's audio, and it is back in place.
TEST_F(RipAudioTest, FailingDecoderNeverPassesAnEarlierWavOff) {
    const std::string earlier = wavBytes(48000, 480);
    form->normal.setChecked(true);
    form->compress.setChecked(true);
    folder.copyFromBuild("extern/LAME_ENC.DLL");
    struct Case {
        const char* method;
        const char* program;
        std::string control;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"AC3Dec", "ac3dec.exe", "exit 1\n",
         "The program ac3dec.exe failed (exit status 1) : " + wav1 + " can't be used !"},
        {"Azid", "azid.exe", "", "The program azid.exe ended without writing " + wav1 + " !"},
        {"Internal", "Tonegrab.exe", "writearg 2 RIFF\nexit 3\n",
         "The program Tonegrab.exe failed (exit status 3) : " + wav1 + " can't be used !"},
    };
    fake("bbdmux.exe", "writearg 3 AC3\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        writeBytes(wav1, earlier);
        script.clearShown();
        RipRecord = TRipRecord{};
        form->arip.setTextSilent(c.method);
        fake(c.program, c.control);
        launch();
        EXPECT_TRUE(RipAborted);
        EXPECT_EQ(runs(c.program).size(), 1u);
        EXPECT_EQ(shown(), Lines{"error: " + c.message});
        EXPECT_EQ(RipRecord.NormStart, 0);
        EXPECT_EQ(RipRecord.CompStart, 0);
        EXPECT_EQ(script.shown().size(), 1u); // no report either
        EXPECT_EQ(readBytes(wav1), earlier);
        EXPECT_FALSE(fs::exists(wav1 + ".previous"));
    }

    // A decoder that succeeds replaces the earlier WAV, which leaves nothing behind.
    fake("ac3dec.exe", "writelast " + test::escapeForFake(wavBytes(48000, 4800)) + "\n");
    form->arip.setTextSilent("AC3Dec");
    form->DelWav.setChecked(false);
    launch();
    EXPECT_FALSE(RipAborted) << ::testing::PrintToString(shown());
    EXPECT_EQ(readBytes(wav1).size(), wavBytes(48000, 4800).size());
    EXPECT_FALSE(fs::exists(wav1 + ".previous"));
}

// ---- Normalisation and compression ----

// Steps that work on WAV files already there: normalisation into another file, MP3 compression and
// "Delete Wav/AC3", for two streams.
class RipToolsTest : public test::RipAudioFixture {
protected:
    void SetUp() override {
        test::RipAudioFixture::SetUp();
        folder.copyFromBuild("extern/LAME_ENC.DLL");
        form->RipAudio.setChecked(false);
        form->compress.setChecked(true);
        form->twostreams.setChecked(true);
        form->DelWav.setChecked(true);
        form->GainTrack.setPosition(60);
        form->Samplerate.setText("48");
        form->mp3wma.setText("MP3");
        form->Mode.setText("Stereo");
        form->Bitrate.setText("128");
        make("my wavs/one.wav", wavBytes(48000, 48000 * 5));
        make("second/two.wav", wavBytes(48000, 48000 * 5));
        form->compaudiofile.setText(at("out/one.mp3.wav"));
        form->compressedSS2.setText(at("out/two.mp3.wav"));
        fs::create_directories(at("out"));
    }
    // Presses Stop in the tool window working on a file, once its job runs.
    void stopWhileWorkingOn(const std::string& source) {
        stopper.setInterval(0);
        stopper.onTimer = [this, source] {
            using tools::amplifier::Form3;
            using tools::audio_converter::Form2;
            if (Form3 && Form3->Edit1.text() == source && !Form3->TB.enabled()) {
                Form3->StopClick();
                ++stops;
            }
            if (Form2 && Form2->Edit1.text() == source && Form2->Timer1.enabled()) {
                Form2->STOPClick();
                ++stops;
            }
        };
        stopper.setEnabled(true);
    }
    platform::ui::Timer stopper{0};
    int stops = 0;
};

TEST_F(RipToolsTest, NormalisedStreamsAreCompressedAndDeletedAfterSuccess) {
    form->normal.setChecked(true);
    form->Norm2Other.setChecked(true);
    launch();
    EXPECT_FALSE(RipAborted);
    EXPECT_EQ(shown(), Lines{});
    // Stream 2's copy sits beside its own WAV; all WAV files went once their conversion succeeded.
    for (const std::string& gone : {wav1, wav2, folder1 + "Normalized.wav", folder2 + "Normalized2.wav"})
        EXPECT_FALSE(fs::exists(gone)) << gone;
    for (const std::string& out : {at("out/one.mp3.wav"), at("out/two.mp3.wav")}) {
        ASSERT_TRUE(fs::exists(out)) << out;
        EXPECT_EQ(readBytes(out).substr(20, 2), std::string("\x55\x00", 2)); // MPEG layer-3 format
        const test::LavfProbe probe = test::probeLavf(out);
        ASSERT_EQ(probe.streams.size(), 1u) << out;
        EXPECT_EQ(probe.streams[0].codec, "mp3") << out;
        EXPECT_NEAR(probe.streams[0].seconds, 5.0, 0.1) << out;
    }
    const TRipRecord& r = RipRecord;
    EXPECT_EQ(r.CompSource1, 5.0);
    EXPECT_EQ(r.CompSource2, 5.0);
    EXPECT_NEAR(r.CompTarget1, 5.0, 0.1);
    EXPECT_NEAR(r.CompTarget1 * 100, std::round(r.CompTarget1 * 100), 1e-6); // in hundredths
    EXPECT_NEAR(r.CompByteRate1, 16000, 500);
    EXPECT_GT(r.CompByteRate2, 0);
    EXPECT_GT(r.NormStart, 0);
    EXPECT_GE(r.NormEnd, r.NormStart);
    EXPECT_GE(r.CompStart, r.NormEnd);
    EXPECT_EQ(r.RipStart, r.NormStart);
    EXPECT_EQ(r.RipEnd, r.CompEnd);
    for (FreeSlot slot : {FreeSlot::Norm1, FreeSlot::Norm2, FreeSlot::Comp1, FreeSlot::Comp2})
        EXPECT_FALSE(RipRecord.freeAfter(slot).empty());
}

// The highest sample of a 16-bit WAV file, as FFmpeg reads it.
int peakOf(const std::string& path) {
    const test::LavfProbe probe = test::probeLavf(path, true);
    int peak = 0;
    if (probe.streams.size() != 1 || probe.streams[0].codec != "pcm_s16le")
        return peak;
    for (const double v : probe.streams[0].pcm)
        peak = std::max(peak, static_cast<int>(std::lround(std::abs(v) * 32768.0)));
    return peak;
}

TEST_F(RipToolsTest, TheGainOfThePageReachesTheAmplifier) {
    form->compress.setChecked(false);
    form->twostreams.setChecked(false);
    form->DelWav.setChecked(false);
    form->normal.setChecked(true);
    form->Norm2Other.setChecked(true);
    const std::string normalised = folder1 + "Normalized.wav";
    form->GainTrack.setPosition(20);
    launch();
    ASSERT_FALSE(RipAborted);
    const int low = peakOf(normalised);
    fs::remove(normalised);
    form->GainTrack.setPosition(80); // 6 dB more: twice the amplitude
    launch();
    ASSERT_FALSE(RipAborted);
    const int high = peakOf(normalised);
    ASSERT_GT(low, 0);
    EXPECT_NEAR(static_cast<double>(high) / low, 2.0, 0.1);
}

TEST_F(RipToolsTest, TheAudioRangeReachesTheConverter) {
    form->twostreams.setChecked(false);
    form->DelWav.setChecked(false);
    ASSERT_TRUE(form->AudioRange.enabled());
    form->AudioRange.setChecked(true);
    form->ARange1.setText("00:00:01");
    form->ARange2.setText("00:00:03");
    launch();
    ASSERT_FALSE(RipAborted);
    EXPECT_NEAR(RipRecord.CompSource1, 5.0, 0.1);
    EXPECT_LT(RipRecord.CompTarget1, 3.5); // two or three seconds of the five
    EXPECT_GT(RipRecord.CompTarget1, 1.5);
    const test::LavfProbe probe = test::probeLavf(at("out/one.mp3.wav"));
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_GT(probe.streams[0].seconds, 1.5);
    EXPECT_LT(probe.streams[0].seconds, 3.5);
}

TEST_F(RipToolsTest, FailedConversionDeletesNothingOfItsStream) {
    form->normal.setChecked(true);
    form->Norm2Other.setChecked(true);
    form->compressedSS2.setText(at("no such folder/two.mp3.wav"));
    launch();
    // Stream 1 converted and its WAV files went; stream 2's stay, and its failure ends the rip.
    EXPECT_TRUE(RipAborted);
    EXPECT_FALSE(fs::exists(wav1));
    EXPECT_TRUE(fs::exists(wav2));
    EXPECT_TRUE(fs::exists(folder2 + "Normalized2.wav"));
    EXPECT_EQ(shown().size(), 1U); // the converter's own error box
}

TEST_F(RipToolsTest, FailedFirstConversionKeepsBothStreams) {
    form->compaudiofile.setText(at("no such folder/one.mp3.wav"));
    launch();
    EXPECT_TRUE(RipAborted);
    EXPECT_TRUE(fs::exists(wav1));
    EXPECT_TRUE(fs::exists(wav2));
    EXPECT_FALSE(fs::exists(at("out/two.mp3.wav"))); // stream 2 is not converted
}

TEST_F(RipToolsTest, StopDuringSecondNormalisationEndsTheRip) {
    form->normal.setChecked(true);
    stopWhileWorkingOn(wav2);
    launch();
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(), Lines{});
    EXPECT_EQ(RipRecord.CompStart, 0); // no compression, no deletion
    EXPECT_TRUE(fs::exists(wav1));
    EXPECT_TRUE(fs::exists(wav2));
}

TEST_F(RipToolsTest, StopDuringSecondCompressionEndsTheRip) {
    stopWhileWorkingOn(wav2);
    launch();
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(), Lines{});
    EXPECT_FALSE(fs::exists(wav1)); // stream 1 was done
    EXPECT_TRUE(fs::exists(wav2));
}

} // namespace
} // namespace kes
