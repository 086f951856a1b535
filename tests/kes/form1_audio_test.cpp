// The audio page on a main window: the streams listed from the IFO file or counted by the extractor
// (a fake that writes "sn.fnd", and once the real one on a generated VOB set), playing a stream, the
// compression choices chained through the change handlers, and the options that enable one another.
#include "rip_form_fixture.h"

#include "tests/support/vobgen.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::writeBytes;
using Lines = std::vector<std::string>;

constexpr uint8_t Ac3WithLanguage = 0x04;
constexpr uint8_t DtsWithLanguage = 0xC4;
constexpr uint8_t Ac3WithoutLanguage = 0x00;

// An IFO head: audio records of (byte 0, code, mode), then zero subpicture streams.
std::string ifoWithAudio(const std::vector<std::tuple<uint8_t, std::string, uint8_t>>& streams,
                         size_t size = 0x400) {
    std::string bytes(size, '\0');
    bytes[0x203] = static_cast<char>(streams.size());
    for (size_t i = 0; i < streams.size() && 0x204 + 8 * i + 6 <= size; ++i) {
        const auto& [attributes, code, mode] = streams[i];
        bytes[0x204 + 8 * i] = static_cast<char>(attributes);
        bytes.replace(0x204 + 8 * i + 2, 2, code);
        bytes[0x204 + 8 * i + 4] = static_cast<char>(mode);
    }
    return bytes;
}

class AudioPageTest : public test::RipFormTest {
protected:
    AudioPageTest() {
        vob = make("dvd/VTS_01_1.VOB", "vob");
        folder.installFake("Tonegrab.exe", "kes_fake_tool");
        folder.installFake("ac3dec.exe", "kes_fake_tool");
    }

    // The count the fake extractor writes when it runs; without this it writes none.
    void countWritten(const std::string& bytes) {
        writeBytes(folder.externDir() / "Tonegrab.exe.fake", "write sn.fnd " + bytes + "\n");
    }
    // The argument lists of a fake's runs.
    Lines runs(const std::string& program) const {
        const fs::path log = folder.externDir() / (program + ".log");
        Lines lines;
        if (!fs::exists(log))
            return lines;
        const std::string text = readBytes(log);
        size_t start = 0;
        for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
            const std::string line = text.substr(start, end - start);
            // "[cwd] [program] [arg]...": keep the arguments.
            const size_t argsStart = line.find("] [", line.find("] [") + 1);
            lines.push_back(argsStart == std::string::npos ? std::string() : line.substr(argsStart + 2));
            start = end + 1;
        }
        return lines;
    }
    std::string vobArg() const { return "[" + vob + "]"; }

    std::string vob;
};

TEST_F(AudioPageTest, DecoderProgramsListTheIfoStreamsWithTheirAttributes) {
    writeBytes(at("dvd/VTS_01_0.IFO"), ifoWithAudio({{Ac3WithLanguage, "en", 1},
                                                     {Ac3WithLanguage, "en", 3},
                                                     {DtsWithLanguage, "fr", 1},
                                                     {Ac3WithoutLanguage, "de", 0}}));
    form->arip.setText("AC3Dec");
    form->Vobfile.setText(vob);

    const Lines items = {"0x80 [English]", "0x81 [English2]", "0x82 [Francais]", "0x83 [????]"};
    EXPECT_EQ(form->SubStream.items(), items);
    EXPECT_EQ(form->SecSubStream.items(), items);
    EXPECT_EQ(form->SubStream.text(), "0x80 [English]");
    EXPECT_EQ(form->SecSubStream.text(), "0x80 [English]");
    EXPECT_EQ(form->ifofile.text(), at("dvd/VTS_01_0.IFO"));
    EXPECT_EQ(form->destsub.text(),
              form->FinalFile.text().substr(0, form->FinalFile.text().size() - 4) + ".sub");
    const Lines info = form->audioinfo.lines();
    ASSERT_EQ(info.size(), 6U + 6U + 6U + 5U);
    EXPECT_EQ(Lines(info.begin() + 6, info.begin() + 12),
              (Lines{"Stream 0x81", "---------------------", "Coding : AC3 ", "Language : English",
                     "Mode : director's comments", " "}));
    EXPECT_EQ(info[14], "Coding : DTS ");
    EXPECT_EQ(info[21], "Language : unknown");
    EXPECT_TRUE(runs("Tonegrab.exe").empty());
    EXPECT_FALSE(form->flip.enabled());

    // A new first VOB starts over.
    form->Vobfile.setText(at("dvd/none.VOB"));
    EXPECT_TRUE(form->SubStream.items().empty());
    EXPECT_EQ(form->SubStream.text(), "");
    EXPECT_TRUE(form->audioinfo.lines().empty());
    EXPECT_EQ(form->ifofile.text(), "NONE");
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(AudioPageTest, DamagedIfoKeepsTheStreamsReadAndSaysSo) {
    // Three streams announced; the file ends inside the second record.
    std::string damaged = ifoWithAudio({{Ac3WithLanguage, "en", 1}});
    damaged[0x203] = 3;
    writeBytes(at("dvd/VTS_01_0.IFO"), damaged.substr(0, 0x204 + 8 + 3));
    form->Vobfile.setText(vob);
    EXPECT_EQ(form->SubStream.items(), Lines{"0x80 [English]"});
    EXPECT_EQ(form->SecSubStream.text(), "0x80 [English]");
    // The subtitle page reads the same file first; the damage is told once.
    const std::string ifo = at("dvd/VTS_01_0.IFO");
    EXPECT_EQ(script.texts("error"), (Lines{"Can't read the subtitle languages of " + ifo + " !"}));
}

TEST_F(AudioPageTest, DamagedIfoAfterAGoodTitleKeepsNothingOfIt) {
    writeBytes(at("dvd/VTS_01_0.IFO"), ifoWithAudio({{Ac3WithLanguage, "en", 1}}));
    form->Vobfile.setText(vob);
    ASSERT_EQ(form->SubStream.items(), Lines{"0x80 [English]"});
    form->IFOlngList.addItem("English");
    form->selectedlng.addItem("English");

    // The next title's IFO points its chain table past its end: its title cannot be read.
    std::string damaged = ifoWithAudio({{Ac3WithLanguage, "fr", 1}});
    damaged[0xCF] = 9;
    const std::string other = make("dvd2/VTS_02_1.VOB", "vob");
    const std::string ifo = make("dvd2/VTS_02_0.IFO", damaged);
    form->Vobfile.setText(other);
    EXPECT_EQ(form->ifofile.text(), ifo);
    EXPECT_EQ(form->SubStream.items(), Lines{"0x80 [Francais]"});
    EXPECT_EQ(form->SecSubStream.items(), Lines{"0x80 [Francais]"});
    EXPECT_TRUE(form->IFOlngList.items().empty());
    EXPECT_TRUE(form->selectedlng.items().empty());
    EXPECT_EQ(script.texts("error"), Lines{"Can't read the title information of " + ifo + " !"});

    // A profile of that title is read to its end.
    const std::string profile =
        make("damaged.pfl", "[Options]\r\nProfileTitle=T\r\nvobpath=" + other + "\r\nWavPath=/w/a.wav\r\n");
    form->Vobfile.setText(vob);
    form->ReadProFile(profile);
    form->CopyFromProfile();
    EXPECT_EQ(form->Vobfile.text(), other);
    EXPECT_EQ(form->WavFileEdit.text(), "/w/a.wav");
}

TEST_F(AudioPageTest, InternalMethodCountsTheStreamsWithTheExtractor) {
    // An IFO is there, but the built-in path lists what the extractor counts.
    writeBytes(at("dvd/VTS_01_0.IFO"), ifoWithAudio({{Ac3WithLanguage, "en", 1}}));
    countWritten("\\x03");
    form->Vobfile.setText(vob);
    EXPECT_EQ(form->SubStream.items(), Lines{"0x80 [English]"});
    form->arip.setText("Internal");
    EXPECT_EQ(form->SubStream.items(), (Lines{"0x80", "0x81", "0x82"}));
    EXPECT_EQ(form->SecSubStream.items(), (Lines{"0x80", "0x81", "0x82"}));
    EXPECT_EQ(form->SubStream.text(), "0x80");
    EXPECT_EQ(form->SecSubStream.text(), "0x80");
    EXPECT_TRUE(form->flip.enabled());
    // One count: it found streams, so the method's own count did not run.
    EXPECT_EQ(runs("Tonegrab.exe"), (Lines{vobArg() + " [X] [X] [X] [X]"}));
    EXPECT_TRUE(form->audioinfo.lines().empty());
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(AudioPageTest, CountThatWritesNothingListsNothingEvenWithAnOldCount) {
    writeBytes(folder.externDir() / "sn.fnd", "\x05");
    form->Vobfile.setText(vob);
    form->flip.setChecked(true);
    form->arip.setText("Internal");
    // The new VOB's count, then the method's count with the stream order: neither left a count.
    EXPECT_EQ(runs("Tonegrab.exe"), (Lines{vobArg() + " [X] [X] [X] [X]", vobArg() + " [X] [X] [X] [X]",
                                           vobArg() + " [X] [X] [X] [1]"}));
    EXPECT_TRUE(form->SubStream.items().empty());
    EXPECT_EQ(form->SubStream.text(), "");
    EXPECT_TRUE(form->flip.enabled());

    form->arip.setText("Azid");
    EXPECT_FALSE(form->flip.enabled());
}

TEST_F(AudioPageTest, CountIsCutToEightStreamsAndMissingVobRunsNothing) {
    countWritten("\\xFF");
    form->Vobfile.setText(vob);
    EXPECT_EQ(form->SubStream.itemCount(), 8);
    EXPECT_EQ(form->SubStream.item(7), "0x87");
    form->Vobfile.setText(at("dvd/VTS_01_"));
    form->arip.setText("Internal");
    EXPECT_EQ(runs("Tonegrab.exe").size(), 1U);
    EXPECT_TRUE(form->SubStream.items().empty());
}

TEST_F(AudioPageTest, PlayButtonsStartThePlayerOfTheMethod) {
    form->arip.setText("Internal");
    form->Vobfile.setText(vob);
    form->Samplerate.setText("44.1");
    form->SubStream.setText("0x81");
    form->SecSubStream.setText("0x83 [Deutsch]");
    form->PreAud.click();
    form->flip.setChecked(true);
    form->Audio2Play.setEnabled(true);
    form->Audio2playClick();
    const Lines tonegrab = runs("Tonegrab.exe");
    ASSERT_GE(tonegrab.size(), 2U);
    EXPECT_EQ(tonegrab[tonegrab.size() - 2], vobArg() + " [X] [1] [44.1] [X]");
    EXPECT_EQ(tonegrab.back(), vobArg() + " [X] [3] [44.1] [1]");

    form->arip.setText("AC3Dec");
    form->SubStream.setText("0x82");
    form->PreAudClick();
    EXPECT_EQ(runs("ac3dec.exe"), Lines{vobArg() + " [-substream] [0x82] [-pcm] [-out]"});

    // No stream digit: nothing starts.
    const size_t before = runs("ac3dec.exe").size();
    for (const char* text : {"", "0x8", "abcd"}) {
        form->SubStream.setText(text);
        form->PreAudClick();
    }
    EXPECT_EQ(runs("ac3dec.exe").size(), before);
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(AudioPageTest, CodecModeAndRateFollowTheCompressionTable) {
    form->mp3wma.setText("WMA");
    EXPECT_EQ(form->Samplerate.text(), "44.1");
    EXPECT_EQ(form->Mode.text(), "Stereo");
    EXPECT_EQ(form->Bitrate.text(), "64");
    EXPECT_EQ(form->Samplerate.items(), (Lines{"44.1", "32", "22.05"}));
    EXPECT_EQ(form->Bitrate.items(), Lines{"64"});

    form->Mode.setText("Mono");
    EXPECT_EQ(form->Samplerate.text(), "32");
    EXPECT_EQ(form->Bitrate.text(), "32");
    // WMA under 24 kbit/s cannot be encoded: mono has 32 kHz and 32 kbit/s only.
    EXPECT_EQ(form->Samplerate.items(), Lines{"32"});
    EXPECT_EQ(form->Bitrate.items(), Lines{"32"});

    form->Mode.setText("Stereo");
    form->Samplerate.setText("22.05");
    EXPECT_EQ(form->Bitrate.text(), "32");
    EXPECT_EQ(form->Bitrate.items(), Lines{"32"});

    // Back to MP3 from a rate that MP3 does not offer.
    form->mp3wma.setText("MP3");
    EXPECT_EQ(form->Samplerate.text(), "44.1");
    EXPECT_EQ(form->Mode.text(), "Stereo");
    EXPECT_EQ(form->Bitrate.text(), "128");
    EXPECT_EQ(form->Samplerate.items(), (Lines{"48", "44.1"}));
    EXPECT_EQ(form->Bitrate.items(), (Lines{"96", "112", "128", "160", "192"}));

    form->Mode.setText("Mono");
    EXPECT_EQ(form->Samplerate.text(), "44.1");
    EXPECT_EQ(form->Bitrate.text(), "64");
    form->Samplerate.setText("48");
    EXPECT_EQ(form->Bitrate.items(), (Lines{"64", "56", "48"}));

    // From MP3 mono to WMA: the codec's own defaults, not the mono fallback.
    form->mp3wma.setText("WMA");
    EXPECT_EQ(form->Samplerate.text(), "44.1");
    EXPECT_EQ(form->Mode.text(), "Stereo");
    EXPECT_EQ(form->Bitrate.text(), "64");
}

TEST_F(AudioPageTest, GainLabelFollowsTheTrack) {
    form->GainTrack.setPosition(10);
    EXPECT_EQ(form->Gain.caption(), "  1.0 db");
    form->GainTrack.setPosition(100);
    EXPECT_EQ(form->Gain.caption(), " 10.0 db");
}

TEST_F(AudioPageTest, OptionsEnableTheirDependants) {
    TForm1& f = *form;
    f.Merge.setChecked(true);
    f.Autosynch.setChecked(true);
    f.Split.setChecked(true);
    for (ui::Control* c : std::initializer_list<ui::Control*>{&f.Autosynch, &f.Split, &f.Vexlor, &f.sih,
                                                              &f.Saft, &f.splitsize})
        EXPECT_TRUE(c->enabled());
    f.Merge.setChecked(false);
    EXPECT_FALSE(f.Autosynch.checked());
    for (ui::Control* c : std::initializer_list<ui::Control*>{&f.Autosynch, &f.Split, &f.Vexlor, &f.sih,
                                                              &f.Saft, &f.splitsize})
        EXPECT_FALSE(c->enabled());
    f.Merge.setChecked(true);
    EXPECT_TRUE(f.Split.enabled());
    EXPECT_TRUE(f.Vexlor.enabled()); // Split is still ticked
    f.Split.setChecked(false);
    EXPECT_FALSE(f.Vexlor.enabled());

    f.twostreams.setChecked(true);
    for (ui::Control* c : std::initializer_list<ui::Control*>{
             &f.Label11, &f.Wav2, &f.Label14, &f.SecSubStream, &f.Audio2Play, &f.chooseaviss2, &f.Label20,
             &f.compressedSS2, &f.AviSS2, &f.ss2path})
        EXPECT_TRUE(c->enabled());
    f.twostreams.setChecked(false);
    EXPECT_FALSE(f.SecSubStream.enabled());
    EXPECT_FALSE(f.Wav2.enabled());

    f.RipAudio.setChecked(false);
    EXPECT_FALSE(f.arip.enabled());
    f.RipAudio.setChecked(true);
    EXPECT_TRUE(f.arip.enabled());
    f.normal.setChecked(true);
    EXPECT_TRUE(f.GainTrack.enabled());
    f.normal.setChecked(false);
    EXPECT_FALSE(f.Gain.enabled());
    f.compress.setChecked(true);
    f.AudioRange.setChecked(true);
    EXPECT_TRUE(f.ARange2.enabled());
    f.compress.setChecked(false);
    EXPECT_FALSE(f.AudioRange.enabled());
    EXPECT_FALSE(f.DelWav.enabled());
    f.AudioRange.setChecked(false);
    EXPECT_FALSE(f.ARange1.enabled());
}

TEST_F(AudioPageTest, SplitSizeAndKeys) {
    for (const auto& [typed, kept] : std::vector<std::pair<std::string, std::string>>{
             {"", "0"}, {"000", "0"}, {"700", "700"}, {"6 5", "6 5"}}) {
        form->splitsize.setText(typed);
        EXPECT_EQ(form->splitsize.text(), kept) << typed;
    }
    const auto filtered = [](const std::function<void(char&)>& filter, char key) {
        filter(key);
        return key;
    };
    EXPECT_EQ(filtered(form->splitsize.onKeyPress, ' '), ' ');
    EXPECT_EQ(filtered(form->splitsize.onKeyPress, 'a'), 0);
    EXPECT_EQ(filtered(form->splitsize.onKeyPress, '\b'), '\b');
    EXPECT_EQ(filtered(form->ARange1.onKeyPress, ':'), ':');
    EXPECT_EQ(filtered(form->ARange2.onKeyPress, 'x'), 0);
    EXPECT_EQ(filtered(form->arip.onKeyPress, 'A'), 0);
}

// The built extractor counts the two AC3 streams of a generated VOB run.
TEST_F(AudioPageTest, RealExtractorCountsTheStreamsOfAGeneratedTitle) {
    if (!fs::exists(test::builtProgramDir() / "extern" / "Tonegrab.exe"))
        GTEST_SKIP() << "the build has no extern/Tonegrab.exe";
    for (const char* file : {"Tonegrab.exe", "_Quillon.ax", "_Mpeg2Parser.ax", "Mpeg2splt.ax",
                             "XmdAudioDecode.dll", "_wavdest.ax", "AsmAc3.dll", "AsmFloatFull.dll"})
        folder.copyFromBuild(std::string("extern/") + file);
    test::VobSpec spec;
    spec.seconds = 0.5;
    spec.audio = {test::VobAudioStream{}, test::VobAudioStream{}};
    spec.audio[1].id = 0x81;
    fs::create_directories(at("title with blanks"));
    const test::VobSet set = test::writeVobSet(at("title with blanks"), spec);
    ASSERT_FALSE(set.files.empty());
    form->arip.setText("Internal");
    form->Vobfile.setText(set.files[0].string());
    EXPECT_EQ(readBytes(folder.externDir() / "sn.fnd"), std::string(1, '\2'));
    EXPECT_EQ(form->SubStream.items(), (Lines{"0x80", "0x81"}));
    EXPECT_EQ(form->SubStream.text(), "0x80");
}

} // namespace
} // namespace kes
