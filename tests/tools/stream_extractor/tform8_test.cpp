// The stream extractor window in this process, on a generated VOB set with two AC3 streams, one MPEG
// audio stream and one LPCM stream: the searches and their labels, extraction of each kind, "Fix" on
// the extracted PCM, play, Stop, the main window's hooks and the boxes.

#include "tools/stream_extractor/tform8.h"

#include "tests/support/lavf_media.h"
#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vobgen.h"

#include "platform/ui/dialog_script.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace tools::stream_extractor {
namespace {

using kes::test::readBytes;
using kes::test::TempDir;
using kes::test::VobAudioKind;
using platform::ui::testing::DialogScript;
using platform::ui::testing::ShownBox;

constexpr auto kRunTimeout = std::chrono::seconds(60);
constexpr size_t kHeaderSize = 44;
constexpr double kFirstAc3Hz = 440.0;
constexpr double kSecondAc3Hz = 1000.0;
constexpr double kMpegHz = 750.0;
constexpr double kLpcmHz = 2500.0;
constexpr size_t kLpcmStream = 3;

const std::vector<std::string> kFilterFiles = {"_Quillon.ax",        "_Mpeg2Parser.ax", "Mpeg2splt.ax",
                                               "XmdAudioDecode.dll", "AsmAc3.dll",      "AsmFloatFull.dll",
                                               "_wavdest.ax"};

// The set is made once per test program; only "vob.lst" beside it is ever rewritten.
const kes::test::VobSet& generatedSet() {
    static TempDir dir("kes-extractor-set");
    static const kes::test::VobSet set = [] {
        kes::test::VobSpec spec;
        spec.seconds = 1.0;
        spec.packsPerFile = 50;
        spec.audio = {
            {VobAudioKind::Ac3, 0x80, 2, 48000, 16, 192000, kFirstAc3Hz},
            {VobAudioKind::Mpeg, 0xC0, 2, 48000, 16, 192000, kMpegHz},
            {VobAudioKind::Ac3, 0x81, 2, 48000, 16, 192000, kSecondAc3Hz},
            {VobAudioKind::Lpcm, 0xA0, 2, 48000, 16, 0, kLpcmHz},
        };
        return kes::test::writeVobSet(dir.path(), spec);
    }();
    return set;
}

std::string firstVob() {
    return generatedSet().files.front().string();
}

std::string listBeside() {
    return (generatedSet().files.front().parent_path() / "vob.lst").string();
}

// A program folder with the filter files, and the hooks of a main window that records what it is
// asked to do.
class StreamExtractorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KESTROVA_SOUND_DEVICE", "none", 1);
        for (const auto& name : kFilterFiles)
            folder.copyFromBuild("extern/" + name);
    }
    void TearDown() override { unsetenv("KESTROVA_SOUND_DEVICE"); }

    MainWindowLink link(const std::string& vob = {}) {
        MainWindowLink result;
        result.programFolder = folder.path().string() + "/";
        result.vobFile = [vob] { return vob; };
        result.minimize = [this] { ++minimised; };
        result.restore = [this] { ++restored; };
        return result;
    }

    static bool waitForEnd(TForm8& window) {
        const auto until = std::chrono::steady_clock::now() + kRunTimeout;
        while (window.extracting()) {
            if (std::chrono::steady_clock::now() > until)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        return true;
    }

    static bool logged(const TForm8& window, const std::string& line) {
        const auto lines = window.DebugWin.lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    // Extracts the stream with the label into the file, and waits for the end.
    void extract(TForm8& window, const std::string& label, const std::string& destination) {
        DestFNSet(window, destination);
        const int row = window.pinlist.indexOf(label);
        ASSERT_GE(row, 0) << label;
        window.pinlist.setItemIndex(row);
        ASSERT_EQ(window.AC3Choose.text(), label);
        window.Button3.click();
        ASSERT_TRUE(window.extracting()) << window.DebugWin.text();
        ASSERT_TRUE(waitForEnd(window));
        EXPECT_TRUE(logged(window, "Process Completed !")) << window.DebugWin.text();
        EXPECT_FALSE(window.graph().GraphBuilder);
    }

    static void DestFNSet(TForm8& window, const std::string& destination) {
        window.DestFN.setText(destination);
    }

    kes::test::ProgramFolder folder;
    TempDir out{"kes-extractor-out"};
    int minimised = 0;
    int restored = 0;
};

struct Wav {
    int channels = 0;
    int rate = 0;
    std::vector<int16_t> samples;
};

Wav readCanonicalWav(const std::string& bytes) {
    Wav wav;
    if (bytes.size() < kHeaderSize || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(36, 4, "data") != 0)
        return wav;
    wav.channels = static_cast<uint8_t>(bytes[22]);
    wav.rate = static_cast<uint8_t>(bytes[24]) | static_cast<uint8_t>(bytes[25]) << 8 |
               static_cast<uint8_t>(bytes[26]) << 16;
    wav.samples.resize((bytes.size() - kHeaderSize) / 2);
    std::memcpy(wav.samples.data(), bytes.data() + kHeaderSize, wav.samples.size() * 2);
    return wav;
}

// A WAV the window wrote, read here and by FFmpeg: both see the same 16-bit samples.
Wav readChecked(const std::filesystem::path& path) {
    const Wav wav = readCanonicalWav(readBytes(path));
    const kes::test::LavfProbe probe = kes::test::probeLavf(path.string(), true);
    EXPECT_EQ(probe.format, "wav") << path;
    if (probe.streams.size() != 1) {
        ADD_FAILURE() << path << ": FFmpeg finds " << probe.streams.size() << " streams";
        return wav;
    }
    const kes::test::LavfStream& stream = probe.streams[0];
    EXPECT_EQ(stream.codec, "pcm_s16le") << path;
    EXPECT_EQ(stream.channels, wav.channels) << path;
    EXPECT_EQ(stream.sampleRate, wav.rate) << path;
    EXPECT_EQ(stream.pcm.size(), wav.samples.size()) << path;
    for (size_t i = 0; i < stream.pcm.size() && i < wav.samples.size(); ++i)
        if (std::lround(stream.pcm[i] * 32768.0) != wav.samples[i]) {
            ADD_FAILURE() << path << ": sample " << i << " differs";
            break;
        }
    return wav;
}

// The first channel's frequency from its upward crossings of a level well above the noise.
double toneHz(const Wav& wav) {
    constexpr int kLevel = 1000;
    if (wav.channels < 1 || wav.rate <= 0)
        return 0;
    const auto channels = static_cast<size_t>(wav.channels);
    size_t first = 0, last = 0;
    int crossings = 0;
    bool armed = false;
    for (size_t i = 0; i < wav.samples.size() / channels; ++i) {
        const int sample = wav.samples[i * channels];
        if (sample < -kLevel) {
            armed = true;
        } else if (armed && sample > kLevel) {
            armed = false;
            last = i;
            if (crossings++ == 0)
                first = i;
        }
    }
    return crossings < 2
               ? 0
               : (crossings - 1) * static_cast<double>(wav.rate) / static_cast<double>(last - first);
}

TEST_F(StreamExtractorWindow, OpeningWithAFirstVobWritesTheListAndFindsTheAc3Streams) {
    DialogScript script;
    {
        TForm8 window(link(firstVob()));
        EXPECT_EQ(Form8, &window);
        EXPECT_EQ(window.SourceFN.text(), listBeside());
        const auto list = readBytes(listBeside());
        EXPECT_EQ(list.substr(0, firstVob().size() + 2), firstVob() + "\r\n");
        EXPECT_TRUE(window.Method1.checked());
        EXPECT_EQ(window.pinlist.items(), (std::vector<std::string>{"0x80", "0x81"}));
        EXPECT_EQ(window.nbstreams.caption(), "2");
        EXPECT_TRUE(window.AC3Choose.text().empty());
        EXPECT_TRUE(window.Button3.enabled());
        EXPECT_EQ(window.DebugWin.line(0), "DebugWin");
        EXPECT_EQ(window.DebugWin.line(1), "-----------------");
        EXPECT_TRUE(logged(window, "Multi MP2 source filter creation OK"));
        EXPECT_EQ(minimised, 1);
        EXPECT_EQ(restored, 0);

        window.Method2.click();
        EXPECT_EQ(window.pinlist.items(), (std::vector<std::string>{"0xB0"}));
        window.Method3.click();
        EXPECT_EQ(window.pinlist.items(), (std::vector<std::string>{"0xA0"}));
        EXPECT_EQ(window.nbstreams.caption(), "1");
        EXPECT_TRUE(window.Button3.enabled());

        window.Button4.click();
        EXPECT_EQ(restored, 1);
    }
    // Destroying a closed window does not restore the main window a second time.
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(Form8, nullptr);
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(StreamExtractorWindow, UnwritableListStopsThereAndTheVobIsNoList) {
    DialogScript script;
    std::filesystem::remove(listBeside());
    std::filesystem::create_directory(listBeside()); // as a read-only disc refuses the list
    {
        TForm8 window(link(firstVob()));
        EXPECT_EQ(window.SourceFN.text(), firstVob());
        EXPECT_TRUE(window.pinlist.items().empty());
        EXPECT_FALSE(logged(window, "Multi MP2 source filter creation OK")); // no graph was built
    }
    std::filesystem::remove(listBeside());
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"Cannot write " + listBeside() + " !"}));
}

TEST_F(StreamExtractorWindow, ChoosersStartInTheProgramsWorkFolders) {
    std::filesystem::create_directories(folder.path() / "VOBS");
    std::filesystem::create_directories(folder.path() / "Wtemp");
    DialogScript script;
    TForm8 window(link());
    window.Button1.click();
    window.Button2.click();
    ASSERT_EQ(script.shown().size(), 2u);
    EXPECT_EQ(script.shown()[0].text, folder.path().string() + "/VOBS/");
    EXPECT_EQ(script.shown()[1].text, folder.path().string() + "/Wtemp/");
}

TEST_F(StreamExtractorWindow, NoSourceOrADamagedOneFindsNothingAndKeepsExtractOff) {
    DialogScript script;
    TForm8 window(link((out.path() / "missing.vob").string()));
    EXPECT_TRUE(window.SourceFN.text().empty());
    EXPECT_FALSE(window.Button3.enabled());
    EXPECT_EQ(minimised, 1);

    // A "VOB" of noise: its list is written, the search finds no stream.
    std::string noise(64 * 1024, '\0');
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 2654435761u) >> 13);
    kes::test::writeBytes(out.path() / "VTS_09_1.VOB", noise);
    window.SourceFN.setText((out.path() / "VTS_09_1.VOB").string());
    EXPECT_EQ(window.SourceFN.text(), out.file("vob.lst"));
    EXPECT_EQ(window.nbstreams.caption(), "0");
    EXPECT_TRUE(window.pinlist.items().empty());
    EXPECT_FALSE(window.Button3.enabled());
    EXPECT_TRUE(script.shown().empty());
    window.close();
    // Closing restores the main window.
    EXPECT_EQ(restored, 1);
}

TEST_F(StreamExtractorWindow, Ac3AndMpegStreamsAreDecodedIntoWavFiles) {
    DialogScript script;
    TForm8 window(link(firstVob()));
    extract(window, "0x81", out.file("second.wav"));
    const Wav second = readChecked(out.file("second.wav"));
    EXPECT_EQ(second.channels, 2);
    EXPECT_EQ(second.rate, 48000);
    EXPECT_NEAR(toneHz(second), kSecondAc3Hz, 5.0);

    extract(window, "0x80", out.file("first.wav"));
    EXPECT_NEAR(toneHz(readChecked(out.file("first.wav"))), kFirstAc3Hz, 5.0);

    window.Method2.click();
    extract(window, "0xB0", out.file("mpeg.wav"));
    EXPECT_NEAR(toneHz(readChecked(out.file("mpeg.wav"))), kMpegHz, 5.0);
    EXPECT_TRUE(script.shown().empty());
}

TEST_F(StreamExtractorWindow, PcmIsWrittenAsItIsOnTheDiscAndFixTurnsItIntoSamples) {
    DialogScript script;
    TForm8 window(link(firstVob()));
    window.Method3.click();
    const std::string destination = out.file("pcm.wav");
    extract(window, "0xA0", destination);
    const std::string extracted = readBytes(destination);
    ASSERT_GT(extracted.size(), kHeaderSize);
    EXPECT_EQ(extracted[20], 1);
    EXPECT_EQ(extracted[32], 4);
    const auto& disc = generatedSet().audio[kLpcmStream].elementary;
    EXPECT_EQ(extracted.substr(kHeaderSize), std::string(disc.begin(), disc.end()));

    window.Button5.click();
    const Wav fixed = readChecked(destination);
    EXPECT_EQ(fixed.samples, generatedSet().audio[kLpcmStream].pcm);
    EXPECT_EQ(window.pb.position(), window.pb.max());
    // A click on the group swaps again: the file is back as extracted.
    window.PlayBox.click();
    EXPECT_EQ(readBytes(destination), extracted);
    EXPECT_EQ(script.texts("information"), (std::vector<std::string>{"Job finished", "Job finished"}));
}

// 24-bit LPCM, here from FFmpeg's muxer: its samples come in the disc's own groups, which "Search PCM"
// turns into 24-bit PCM that FFmpeg reads as the very samples it decodes from the VOB; "Fix", made
// for 16-bit samples, leaves that file alone with a message.
TEST_F(StreamExtractorWindow, TwentyFourBitPcmIsWrittenAsPcmAndFixLeavesItAlone) {
    const std::string vob = out.file("VTS_01_1.VOB");
    std::string error;
    ASSERT_TRUE(kes::test::writeLavfLpcmVob(vob, 1.0, 48000, 2, 24, &error)) << error;
    const kes::test::LavfProbe disc = kes::test::probeLavf(vob, true);
    ASSERT_NE(disc.first("audio"), nullptr);
    DialogScript script;
    TForm8 window(link(vob));
    window.Method3.click();
    const std::string destination = out.file("pcm24.wav");
    extract(window, "0xA0", destination);
    const kes::test::LavfProbe probe = kes::test::probeLavf(destination, true);
    ASSERT_EQ(probe.streams.size(), 1u);
    const kes::test::LavfStream& pcm = probe.streams[0];
    EXPECT_EQ(pcm.codec, "pcm_s24le");
    EXPECT_EQ(pcm.channels, 2);
    EXPECT_EQ(pcm.sampleRate, 48000);
    EXPECT_TRUE(probe.warnings.empty());
    const std::vector<double>& expected = disc.first("audio")->pcm;
    ASSERT_NEAR(static_cast<double>(pcm.pcm.size()), static_cast<double>(expected.size()), 8.0);
    for (size_t i = 0; i < std::min(pcm.pcm.size(), expected.size()); ++i)
        ASSERT_EQ(pcm.pcm[i], expected[i]) << "sample " << i;

    const std::string written = readBytes(destination);
    window.Button5.click();
    EXPECT_EQ(readBytes(destination), written);
    EXPECT_EQ(script.texts("error"),
              std::vector<std::string>{"pcm24.wav does not hold 16-bit samples: only those are swapped"});
}

TEST_F(StreamExtractorWindow, MissingInputsAreReportedInBoxes) {
    DialogScript script;
    TForm8 window(link(firstVob()));
    window.Button3.click();
    window.DestFN.setText(out.file("x.wav"));
    window.Button3.click();
    window.AC3Choose.setText("0x8");
    window.Button3.click();
    window.AC3Choose.setText("0x80");
    window.SourceFN.setText(out.file("gone.lst"));
    window.Button3.click();
    window.DestFN.setText({});
    window.Button5.click();
    window.PlayBox.click();
    window.Button6.click();
    EXPECT_EQ(
        script.texts("error"),
        (std::vector<std::string>{"Please choose a destination file !", "Please choose a stream to extract !",
                                  "Please choose a stream to extract !", "Source file not found !",
                                  "Please choose a destination file !", "Please choose a WAV file !",
                                  "Please choose a WAV file !"}));
    EXPECT_FALSE(window.extracting());
    EXPECT_FALSE(std::filesystem::exists(out.file("x.wav")));
}

TEST_F(StreamExtractorWindow, RefusedFixFilesNameTheFile) {
    DialogScript script;
    TForm8 window(link());
    std::string floats =
        "RIFF" + std::string(16, '\0') + std::string("\x03", 1) + std::string(15, '\0') + "data";
    floats += std::string(8, '\x11');
    kes::test::writeBytes(out.path() / "float.wav", floats);
    kes::test::writeBytes(out.path() / "late.wav", std::string(120, 'x') + "data");
    window.DestFN.setText(out.file("float.wav"));
    window.Button5.click();
    window.DestFN.setText(out.file("late.wav"));
    window.Button5.click();
    EXPECT_EQ(script.texts("error"), (std::vector<std::string>{"float.wav is not a valid PCM WAV file",
                                                               "Invalid header in late.wav"}));
    EXPECT_EQ(readBytes(out.path() / "float.wav"), floats);
}

TEST_F(StreamExtractorWindow, AStreamBeyondTheSearchIsRefusedAndNothingIsWritten) {
    DialogScript script;
    TForm8 window(link(firstVob()));
    window.DestFN.setText(out.file("none.wav"));
    window.AC3Choose.setText("0x85");
    window.Button3.click();
    EXPECT_FALSE(window.extracting());
    EXPECT_EQ(script.texts("plain"), (std::vector<std::string>{"Audio Stream does not exist"}));
    EXPECT_TRUE(window.AC3Choose.text().empty());
    EXPECT_TRUE(logged(window, "Filters creation failed !"));
    EXPECT_FALSE(window.graph().GraphBuilder);
}

TEST_F(StreamExtractorWindow, StopBreaksAnExtractionAndPlayTogglesTheButtons) {
    DialogScript script;
    TForm8 window(link(firstVob()));
    window.DestFN.setText(out.file("stopped.wav"));
    window.AC3Choose.setText("0x80");
    window.Button3.click();
    ASSERT_TRUE(window.extracting());
    window.Stop.click();
    EXPECT_FALSE(window.extracting());
    EXPECT_FALSE(window.Timer1.enabled());
    EXPECT_TRUE(logged(window, "Break !"));
    EXPECT_FALSE(logged(window, "Process Completed !"));
    EXPECT_FALSE(window.graph().GraphBuilder);

    extract(window, "0x80", out.file("play.wav"));
    window.Button6.click();
    EXPECT_EQ(window.Button6.caption(), "Stop");
    EXPECT_FALSE(window.Button5.enabled());
    EXPECT_TRUE(window.graph().GraphBuilder);
    window.Button6.click();
    EXPECT_EQ(window.Button6.caption(), "Play");
    EXPECT_TRUE(window.Button5.enabled());
    EXPECT_FALSE(window.graph().GraphBuilder);

    // A file that is no WAV cannot be played: the button stays as it was.
    kes::test::writeBytes(out.path() / "junk.wav", std::string(100, 'j'));
    window.DestFN.setText(out.file("junk.wav"));
    window.Button6.click();
    EXPECT_EQ(window.Button6.caption(), "Play");
    EXPECT_TRUE(window.Button5.enabled());
    EXPECT_TRUE(script.shown().empty());
}

} // namespace
} // namespace tools::stream_extractor
