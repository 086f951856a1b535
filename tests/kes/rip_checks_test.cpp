// The checks before a rip's work, with scripted answers to their boxes: settings they normalise,
// the messages of failed checks in single and multi-rip mode, and the existing video AVI.
#include "rip_form_fixture.h"

#include "kes/rip_record.h"

#include "platform/core/paths.h"

#include <gtest/gtest.h>

namespace kes {
namespace {

namespace fs = std::filesystem;
using platform::ui::testing::ShownBox;
using test::readBytes;

// A canonical 44-byte WAV header with the given rate (and no samples).
std::string wavHeader(uint32_t rate) {
    auto le32 = [](uint32_t v) {
        return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF),
                           static_cast<char>(v >> 16 & 0xFF), static_cast<char>(v >> 24 & 0xFF)};
    };
    std::string fmt =
        std::string("\x01\x00\x02\x00", 4) + le32(rate) + le32(rate * 4) + std::string("\x04\x00\x10\x00", 4);
    return "RIFF" + le32(36) + "WAVEfmt " + le32(16) + fmt + "data" + le32(0);
}

class RipChecksTest : public test::RipFormTest {
protected:
    // The audio steps after passing checks run quietly: the decoder is a fake that writes the WAV
    // (its last argument), and the MP3 encoder is there.
    RipChecksTest() {
        folder.installFake("ac3dec.exe", "kes_fake_tool");
        std::string control = "writelast ";
        for (const char c : wavHeader(48000)) {
            static constexpr char Hex[] = "0123456789ABCDEF";
            const auto b = static_cast<unsigned char>(c);
            control += std::string("\\x") + Hex[b >> 4] + Hex[b & 0xF];
        }
        test::writeBytes(folder.externDir() / "ac3dec.exe.fake", control + "\n");
        folder.copyFromBuild("extern/LAME_ENC.DLL");
        form->arip.setText("AC3Dec");
        form->SubStream.setText("0x80");
        // So does the video step: its converters are fakes that write their output beside the tests'
        // video AVI (which is no AVI file); the automation helpers and the subtitle programs write
        // nothing.
        for (const char* program : {"mpeg2avipx3.exe", "m2apx3g.exe", "m2apx3go.exe", "mpeg2aviSVE.exe"}) {
            folder.installFake(program, "kes_fake_tool");
            const bool numbered = std::string(program).starts_with("m2a");
            test::writeBytes(folder.externDir() / (std::string(program) + ".fake"),
                             "write " + at(numbered ? "movie_1.avi" : "movie.avi") + " AVI\n");
        }
        for (const char* program : {"DivxAuto.exe", "delayer.exe", "rundll32.exe", "winrar.exe"})
            folder.installFake(program, "kes_fake_tool");
    }
    // Launches a rip whose checks are expected to pass: the mux step then runs, and its muxer stops on
    // the tests' dummy files (which are no AVI files) with its own message, left out of shown().
    void ripToTheMux() {
        RipRecord = TRipRecord{};
        rip();
    }
    // Launches a rip after removing the video an earlier rip of the test converted, whose name would
    // otherwise ask the existing-AVI question.
    void rip() {
        if (form->RipVid.checked())
            fs::remove(form->AVIFile.text());
        form->Launchrip();
    }
    bool muxRan() const { return RipRecord.MergeStart > 0; }
    // Boxes shown, as "kind: text", without the report that ends a rip.
    std::vector<std::string> shown() const {
        std::vector<std::string> all;
        for (const ShownBox& box : script.shown()) {
            if (box.caption != "Kestrova LOG" && box.text != "Cannot open video stream !")
                all.push_back(box.kind + ": " + box.text);
        }
        return all;
    }
    using Shown = std::vector<std::string>;
};

TEST_F(RipChecksTest, PassingChecksShowNothing) {
    RipAborted = true; // left from an earlier rip
    form->Launchrip();
    EXPECT_FALSE(RipAborted);
    EXPECT_EQ(shown(), Shown{});
}

TEST_F(RipChecksTest, AviExtensionsAreAdded) {
    form->AVIFile.setText(at("movie"));
    form->FinalFile.setText(at("Final.AVI"));
    form->Launchrip();
    EXPECT_EQ(form->AVIFile.text(), at("movie.avi"));
    EXPECT_EQ(form->FinalFile.text(), at("Final.AVI"));
    form->FinalFile.setText(at("final.avi.bak"));
    form->Launchrip();
    EXPECT_EQ(form->FinalFile.text(), at("final.avi.bak.avi"));
    EXPECT_EQ(form->AVIFile.text(), at("movie.avi"));
}

TEST_F(RipChecksTest, SizesGoDownToMultiplesOfEight) {
    form->XSize.setText("718");
    form->YSize.setText("0720"); // the value does not change: the text stays
    form->XCrop.setText("13");
    form->YCrop.setText("16");
    form->Launchrip();
    EXPECT_EQ(form->XSize.text(), "712");
    EXPECT_EQ(form->YSize.text(), "0720");
    EXPECT_EQ(form->XCrop.text(), "8");
    EXPECT_EQ(form->YCrop.text(), "16");
    EXPECT_FALSE(RipAborted);
}

TEST_F(RipChecksTest, SizeThatIsNoIntegerFailsTheCheck) {
    form->YCrop.setTextSilent("2x0"); // its own handler would complain first
    form->Range.setChecked(true);
    form->Range1.setText("bad");
    form->Launchrip();
    EXPECT_TRUE(RipAborted);
    // Every later check still runs.
    EXPECT_EQ(shown(), (Shown{"error: '2x0' is not a valid integer value", "error: <47> - <2>"}));

    // A multi-rip ends this rip there, before the AVI is renamed.
    script.clearShown();
    const std::string avi = make("movie.avi", "old movie");
    form->AVIFile.setText(avi);
    form->RipVid.setChecked(true);
    form->Vobfile.setText(make("VTS_01_1.VOB"));
    {
        const TForm1::Unattended unattended(*form); // as during a multi-rip
        form->Launchrip();
        EXPECT_EQ(unattended.said(), Shown{"'2x0' is not a valid integer value"});
    }
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(), Shown{});
    EXPECT_EQ(readBytes(avi), "old movie");
}

TEST_F(RipChecksTest, MissingHelperAbortsSilently) {
    fs::remove(folder.externDir() / "mpeg2v12.exe");
    form->Launchrip();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(), Shown{});
}

TEST_F(RipChecksTest, DualOutputPutsDivX4First) {
    form->movielength.setText("0"); // no bit-rate suggestion overwrites the rates
    form->dual.setChecked(true);
    form->Codec.setText("Low Motion");
    form->pass2.setText("DivX 4.x");
    form->DivFR.setText("653");
    form->DualBR.setText("1500");
    form->Launchrip();
    EXPECT_EQ(form->Codec.text(), "DivX 4.x");
    EXPECT_EQ(form->pass2.text(), "Low Motion");
    EXPECT_EQ(form->DivFR.text(), "1500");
    EXPECT_EQ(form->DualBR.text(), "653");

    // Nothing changes places when DivX 4 is already first, or without the dual output.
    form->Launchrip();
    EXPECT_EQ(form->Codec.text(), "DivX 4.x");
    form->dual.setChecked(false);
    form->Codec.setText("Fast Motion");
    form->pass2.setText("DivX 4.x");
    form->Launchrip();
    EXPECT_EQ(form->Codec.text(), "Fast Motion");
}

TEST_F(RipChecksTest, SubtitlesNeedAnIfoFileAndALanguage) {
    form->extractsub.setChecked(true);
    form->ifofile.setText("NONE");
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{"error: <57>"});
    EXPECT_TRUE(RipAborted);

    script.clearShown();
    form->ifofile.setTextSilent(make("VTS_01_0.IFO")); // no IFO to read: only the check counts here
    form->selectedlng.clearItems();
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{"error: <58>"});

    script.clearShown();
    form->selectedlng.addItem("English");
    // The extractor and the archiver leave their files, so that the subtitle step has nothing to say.
    const std::string base = platform::core::changeFileExt(form->destsub.text(), "");
    test::writeBytes(folder.externDir() / "rundll32.exe.fake",
                     "write " + base + ".sub s\nwrite " + base + ".idx i\n");
    test::writeBytes(folder.externDir() / "winrar.exe.fake", "write " + base + ".rar r\n");
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{});
    EXPECT_FALSE(RipAborted);
}

TEST_F(RipChecksTest, TimeRanges) {
    form->Range.setChecked(true);
    form->Range1.setText("00:02:00");
    form->Range2.setText("00:02:00"); // equal is allowed
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{});

    form->Range2.setText("00:01:59");
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{"error: <47> - <2>"});
    EXPECT_TRUE(RipAborted);

    // The audio range counts only while its box is enabled, and is not tested for order.
    script.clearShown();
    form->Range.setChecked(false);
    form->AudioRange.setChecked(true);
    form->AudioRange.setEnabled(true);
    form->ARange1.setText("00:05:00");
    form->ARange2.setText("00:01:00");
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{});
    form->ARange2.setText("1:0:00");
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{"error: <48> - <2>"});
    script.clearShown();
    form->AudioRange.setEnabled(false);
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{});
}

TEST_F(RipChecksTest, GainAbove150Asks) {
    form->normal.setChecked(true);
    form->WavFileEdit.setText(make("a.wav", wavHeader(48000)));
    form->GainTrack.setPosition(150);
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{});

    form->GainTrack.setPosition(151);
    script.answerYes();
    form->Launchrip();
    const std::string question = "warning: <24>" + form->Gain.caption() + "\r\n<25>";
    EXPECT_EQ(shown(), Shown{question});
    EXPECT_FALSE(RipAborted);

    script.clearShown();
    script.answerNo();
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{question});
    EXPECT_TRUE(RipAborted);
}

TEST_F(RipChecksTest, ExistingAviDeletedOnYes) {
    const std::string avi = make("movie.avi", "old movie");
    form->AVIFile.setText(avi);
    form->RipVid.setChecked(true);
    form->Vobfile.setText(make("VTS_01_1.VOB"));
    script.answerYes();
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{"question: " + avi + "<22>\r\n<23>"});
    EXPECT_EQ(readBytes(avi), "AVI"); // the old movie went; the converter's new one took its name
    EXPECT_FALSE(fs::exists(at("old.avi")));
}

TEST_F(RipChecksTest, ExistingAviRenamedToOldOnNo) {
    const std::string avi = make("movie.avi", "old movie");
    make("OLD.AVI", "older movie");
    form->AVIFile.setText(avi);
    form->RipVid.setChecked(true);
    form->Vobfile.setText(make("VTS_01_1.VOB"));
    script.answerNo();
    form->Launchrip();
    EXPECT_EQ(shown(),
              (Shown{"question: " + avi + "<22>\r\n<23>", "plain: " + avi + "<26>" + at("old.avi")}));
    EXPECT_EQ(readBytes(avi), "AVI"); // the converter's new movie
    EXPECT_FALSE(fs::exists(at("OLD.AVI")));
    EXPECT_EQ(readBytes(at("old.avi")), "old movie");
    EXPECT_FALSE(RipAborted);
}

TEST_F(RipChecksTest, ExistingAviKeptWhenAnotherCheckFails) {
    const std::string avi = make("movie.avi", "old movie");
    form->AVIFile.setText(avi);
    form->RipVid.setChecked(true);
    form->Vobfile.setText(at("VTS_01_1.VOB")); // missing: check 11 fails after the question
    script.answerYes();
    form->Launchrip();
    EXPECT_EQ(shown(), (Shown{"question: " + avi + "<22>\r\n<23>", "error: <20>"}));
    EXPECT_EQ(readBytes(avi), "old movie");

    script.clearShown();
    script.answerNo();
    form->Launchrip();
    EXPECT_EQ(readBytes(avi), "old movie");
    EXPECT_FALSE(fs::exists(at("old.avi")));
    EXPECT_EQ(shown().size(), 2u); // no rename notice
}

TEST_F(RipChecksTest, MissingFirstVobGivesMessage20Twice) {
    form->Vobfile.setText(at("VTS_01_1.VOB"));
    form->RipAudio.setChecked(true);
    RipRecord.RipStart = 1;
    RipRecord.RipEnd = 2;
    form->LaunchClick();
    EXPECT_EQ(shown(), (Shown{"error: <20>", "error: <20>"}));
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(RipRecord.RipStart, 0);
    EXPECT_EQ(RipRecord.RipEnd, 0);

    // Without video or audio to rip, only the list complains.
    script.clearShown();
    form->RipAudio.setChecked(false);
    form->LaunchClick();
    EXPECT_EQ(shown(), Shown{"error: <20>"});
}

TEST_F(RipChecksTest, WavToTreatMustExist) {
    form->WavFileEdit.setText(at("a.wav"));
    form->compress.setChecked(true);
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{"error: <27>"});
    EXPECT_TRUE(RipAborted);

    // Ripping the audio makes the file.
    script.clearShown();
    form->RipAudio.setChecked(true);
    // Silently: a new first VOB would list its streams anew and clear the chosen one.
    form->Vobfile.setTextSilent(make("VTS_01_1.VOB"));
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{});
}

TEST_F(RipChecksTest, SampleRateOfTheWavToCompress) {
    form->compress.setChecked(true);
    form->Samplerate.setText("48");
    form->WavFileEdit.setText(make("a.wav", wavHeader(48000)));
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{});

    const std::string question = "warning: <28>44100 Hz.\r\n<29>48000 Hz.\r\n<30>\r\n<31>\r\n<32>";
    form->WavFileEdit.setText(make("b.wav", wavHeader(44100)));
    script.answerYes();
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{question});
    EXPECT_FALSE(RipAborted);
    script.clearShown();
    form->Samplerate.setText("44.1");
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{});

    // A chunk before "fmt " is walked over.
    std::string listFirst = wavHeader(48000);
    listFirst.insert(12, std::string("LIST\x04\x00\x00\x00INFO", 12));
    form->WavFileEdit.setText(make("c.wav", listFirst));
    script.answerNo();
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{"warning: <28>48000 Hz.\r\n<29>44100 Hz.\r\n<30>\r\n<31>\r\n<32>"});
    EXPECT_TRUE(RipAborted);

    // A header that cannot be read counts as 0 Hz.
    script.clearShown();
    form->WavFileEdit.setText(make("short.wav", wavHeader(44100).substr(0, 27)));
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{"warning: <28>0 Hz.\r\n<29>44100 Hz.\r\n<30>\r\n<31>\r\n<32>"});
}

TEST_F(RipChecksTest, MergeNeedsItsInputs) {
    form->Merge.setChecked(true);
    form->twostreams.setChecked(true);
    form->AVIFile.setText(at("movie.avi"));
    form->WavFileEdit.setText(at("a.wav"));
    form->compaudiofile.setText(at("a.mp3"));
    form->Wav2.setText(at("b.wav"));
    form->compressedSS2.setText(at("b.mp3"));
    form->Launchrip();
    EXPECT_EQ(shown(), (Shown{"error: <35>", "error: <36>", "error: <37>"}));
    EXPECT_TRUE(RipAborted);

    script.clearShown();
    make("movie.avi");
    make("a.mp3");
    make("b.wav");
    ripToTheMux();
    EXPECT_EQ(shown(), Shown{});
    EXPECT_TRUE(muxRan());
}

TEST_F(RipChecksTest, LogoClipForThePictureSize) {
    form->Merge.setChecked(true);
    form->Split.setChecked(true);
    form->sih.setChecked(true);
    form->RipVid.setChecked(true);
    form->RipAudio.setChecked(true);
    form->Crop.setChecked(true);
    form->Vexlor.setChecked(true);
    form->XCrop.setText("640");
    form->YCrop.setText("272");
    form->Vobfile.setText(make("VTS_01_1.VOB"));
    form->AVIFile.setText(at("movie.avi"));
    ripToTheMux();
    EXPECT_EQ(shown(), Shown{"error: <33>"});
    EXPECT_TRUE(muxRan()); // the muxer works on without the clip

    script.clearShown();
    test::writeBytes(folder.path() / "Vexlor" / "Vexlor640x272.avi", "clip");
    rip();
    EXPECT_EQ(shown(), Shown{});
}

TEST_F(RipChecksTest, SplitSizeUpTo800) {
    form->Merge.setChecked(true);
    form->Split.setChecked(true);
    form->Saft.setChecked(true);
    form->RipVid.setChecked(true);
    form->RipAudio.setChecked(true);
    form->Vobfile.setText(make("VTS_01_1.VOB"));
    form->AVIFile.setText(at("movie.avi"));
    for (const char* size : {"800", "1", "-5"}) {
        form->splitsize.setText(size);
        rip();
        EXPECT_EQ(shown(), Shown{}) << size;
    }
    for (const char* size : {"801", "0"}) {
        script.clearShown();
        form->splitsize.setText(size);
        ripToTheMux();
        EXPECT_EQ(shown(), Shown{"error: <34>" + std::string(size) + " MB"});
        EXPECT_TRUE(muxRan()) << size; // the rip goes on
    }
    script.clearShown();
    form->splitsize.setText("7OO");
    rip();
    EXPECT_EQ(shown(), Shown{"error: '7OO' is not a valid integer value"});
    EXPECT_TRUE(RipAborted);

    // Splitting in half reads no size.
    script.clearShown();
    form->sih.setChecked(true);
    rip();
    EXPECT_EQ(shown(), Shown{});
}

TEST_F(RipChecksTest, MultiRipShowsOnlyTheRenameNotice) {
    const std::string avi = make("movie.avi", "old movie");
    const TForm1::Unattended unattended(*form); // as during a multi-rip
    form->AVIFile.setText(avi);
    form->RipVid.setChecked(true);
    form->Vobfile.setText(make("VTS_01_1.VOB"));
    form->normal.setChecked(true);
    form->GainTrack.setPosition(200);
    form->compress.setChecked(true);
    form->Samplerate.setText("48");
    form->WavFileEdit.setText(make("a.wav", wavHeader(44100)));
    form->Merge.setChecked(true);
    form->Split.setChecked(true);
    form->Saft.setChecked(true);
    form->splitsize.setText("900");
    form->RipAudio.setChecked(false);
    form->compaudiofile.setText(at("a.mp3"));
    form->Launchrip();
    EXPECT_EQ(shown(), Shown{"plain: " + avi + "<26>" + at("old.avi")});
    EXPECT_EQ(readBytes(at("old.avi")), "old movie");
    EXPECT_TRUE(muxRan());
}

TEST_F(RipChecksTest, MultiRipEndsAtAFailedCheck) {
    const TForm1::Unattended unattended(*form); // as during a multi-rip
    const std::string avi = make("movie.avi", "old movie");
    form->AVIFile.setText(avi);
    form->RipVid.setChecked(true);
    form->Vobfile.setText(make("VTS_01_1.VOB"));
    for (int failing = 0; failing < 4; ++failing) {
        form->Range.setChecked(failing == 0);
        form->Range1.setText("00:09:00");
        form->Range2.setText("00:01:00");
        form->extractsub.setChecked(failing == 1);
        form->ifofile.setText("NONE");
        form->Merge.setChecked(failing == 2);
        form->Split.setChecked(failing == 2);
        form->Saft.setChecked(true);
        form->splitsize.setText("x");
        form->compress.setChecked(failing == 3);
        form->WavFileEdit.setText(at("missing.wav"));
        form->Launchrip();
        EXPECT_TRUE(RipAborted) << failing;
        EXPECT_EQ(shown(), Shown{}) << failing;
        EXPECT_EQ(readBytes(avi), "old movie") << failing;
    }
    // What would have been said goes into the list's log: one message per check that ended a rip.
    EXPECT_EQ(unattended.said(), (Shown{"<47> - <2>", "<57>", "'x' is not a valid integer value", "<27>"}));
}

// A choice the converter cannot make (here WMA mono at 16 kHz and 16 kbit/s, which no preset and no
// encoder gives) would fail only after the whole decode: the checks stop the rip before any work, and
// in multi-rip mode without a box.
TEST_F(RipChecksTest, AnAudioChoiceThatCannotBeMadeStopsTheRip) {
    form->compress.setChecked(true);
    form->RipAudio.setChecked(true);
    form->Vobfile.setTextSilent(make("VTS_01_1.VOB"));
    form->mp3wma.setTextSilent("WMA");
    form->Mode.setTextSilent("Mono");
    form->Samplerate.setItems({"16"});
    form->Samplerate.setTextSilent("16");
    form->Bitrate.setItems({"16"});
    form->Bitrate.setTextSilent("16");
    RipRecord = TRipRecord{};
    form->Launchrip();
    EXPECT_TRUE(RipAborted);
    EXPECT_EQ(shown(),
              Shown{"error: The audio format WMA Mono 16 kHz 16 kbit/s cannot be made. Please choose another "
                    "one on the audio page."});
    EXPECT_FALSE(muxRan());

    // A multi-rip shows nothing: the message goes into its log.
    script.clearShown();
    {
        const TForm1::Unattended unattended(*form);
        form->Launchrip();
        EXPECT_EQ(unattended.said().size(), 1u);
    }
    EXPECT_EQ(shown(), Shown{});
    EXPECT_FALSE(muxRan());

    // The page's own choices pass.
    script.clearShown();
    form->mp3wma.setText("MP3");
    form->mp3wma.setText("WMA");
    form->Mode.setText("Mono");
    ASSERT_EQ(form->Samplerate.text(), "32");
    form->Launchrip();
    EXPECT_FALSE(RipAborted);
    EXPECT_EQ(shown(), Shown{});
}

} // namespace
} // namespace kes
