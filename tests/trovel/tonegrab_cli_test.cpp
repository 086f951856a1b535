// Tonegrab run as its caller runs it: the built program copied into a temporary program folder, five
// parameters, results only in files and in its exit status.

#include "tests/trovel/tonegrab_run.h"

#include "tests/support/sync_title.h"
#include "trovel/exit_status.h"

#include "outside/mpeg2avi/first_picture.h"
#include "outside/mpeg2avi/vob_input.h"
#include "platform/dshow/filters/ps_parser.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kes::test {
namespace {

namespace fs = std::filesystem;

constexpr double kToneTolerance = 0.03; // relative

class TonegrabCli : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove(generatedSetFolder() / "vob.lst");
        fs::remove(generatedSetFolder() / "VOB.LST");
    }
    std::string vob() const { return firstVob().string(); }
    fs::path snFnd() const { return folder.externDir() / "sn.fnd"; }
    std::string wav(const std::string& name = "out.wav") const { return folder.file(name).string(); }

    static void expectTone(const WavInfo& info, double hz) {
        ASSERT_TRUE(info.valid);
        EXPECT_NEAR(toneFrequency(info), hz, hz * kToneTolerance);
    }

    TonegrabFolder folder;
};

TEST_F(TonegrabCli, FourOrSixParametersOrABadStreamDigitWriteNothing) {
    for (const auto& parameters : std::vector<std::vector<std::string>>{{vob(), "X", "X", "X"},
                                                                        {vob(), "X", "X", "X", "X", "X"},
                                                                        {vob(), wav(), "a", "48", "X"},
                                                                        {vob(), wav(), "12", "48", "X"}}) {
        const RunResult result = folder.run(parameters);
        EXPECT_EQ(result.exitCode, trovel::kExitUsage);
        EXPECT_TRUE(result.boxes.empty());
    }
    EXPECT_FALSE(fs::exists(snFnd()));
    EXPECT_FALSE(fs::exists(wav()));
    EXPECT_FALSE(fs::exists(generatedSetFolder() / "vob.lst"));
}

TEST_F(TonegrabCli, FindModeCountsTheAudioStreamsIntoSnFnd) {
    const RunResult result = folder.run({vob(), "X", "X", "X", "X"});
    EXPECT_EQ(result.exitCode, trovel::kExitDone);
    EXPECT_TRUE(result.boxes.empty());
    EXPECT_EQ(readBytes(snFnd()), std::string(1, '\3'));
    // The VOB was turned into the list beside it, naming every part.
    const std::string list = readBytes(generatedSetFolder() / "vob.lst");
    EXPECT_EQ(list.find(vob() + "\r\n"), 0u);
    EXPECT_NE(list.find("VTS_01_2.VOB\r\n"), std::string::npos);
}

TEST_F(TonegrabCli, ExtractsTheSecondStream) {
    const RunResult result = folder.run({vob(), wav(), "1", "48", "X"});
    EXPECT_EQ(result.exitCode, trovel::kExitDone);
    EXPECT_TRUE(result.boxes.empty());
    const WavInfo info = readWav(wav());
    EXPECT_EQ(info.sampleRate, 48000);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.bitsPerSample, 16);
    expectTone(info, kSecondAc3Hz);
    EXPECT_FALSE(fs::exists(snFnd()));
}

TEST_F(TonegrabCli, FlipReversesTheStreamOrder) {
    EXPECT_EQ(folder.run({vob(), wav("first.wav"), "0", "48", "1"}).exitCode, trovel::kExitDone);
    expectTone(readWav(wav("first.wav")), kLpcmHz);
    EXPECT_EQ(folder.run({vob(), wav("last.wav"), "2", "48", "1"}).exitCode, trovel::kExitDone);
    expectTone(readWav(wav("last.wav")), kFirstAc3Hz);
}

TEST_F(TonegrabCli, RateText441GivesA44100HzWav) {
    const RunResult result = folder.run({vob(), wav(), "0", "44.1", "X"});
    EXPECT_EQ(result.exitCode, trovel::kExitDone);
    const WavInfo info = readWav(wav());
    EXPECT_EQ(info.sampleRate, 44100);
    expectTone(info, kFirstAc3Hz);
}

TEST_F(TonegrabCli, MissingVobFindsNothingAndExtractsNothing) {
    const std::string missing = folder.file("VTS_09_1.VOB").string();
    RunResult result = folder.run({missing, "X", "X", "X", "X"});
    EXPECT_EQ(result.exitCode, trovel::kExitDone);
    EXPECT_TRUE(result.boxes.empty());
    EXPECT_EQ(readBytes(snFnd()), std::string(1, '\0'));

    result = folder.run({missing, wav(), "0", "48", "X"});
    EXPECT_EQ(result.exitCode, trovel::kExitFailed);
    EXPECT_TRUE(result.boxes.empty());
    EXPECT_FALSE(fs::exists(wav()));
}

TEST_F(TonegrabCli, StreamIndexBeyondOrAtTheCountFallsBackToTheFirstStream) {
    for (const char* digit : {"5", "3"}) {
        const std::string out = wav(std::string("stream") + digit + ".wav");
        const RunResult result = folder.run({vob(), out, digit, "48", "X"});
        EXPECT_EQ(result.exitCode, trovel::kExitDone) << digit;
        ASSERT_EQ(result.boxes.size(), 1u) << digit;
        EXPECT_EQ(result.boxes[0].kind, "plain");
        EXPECT_EQ(result.boxes[0].text, "Audio Stream does not exist");
        expectTone(readWav(out), kFirstAc3Hz);
    }
}

TEST_F(TonegrabCli, FailedCountWriteShowsItsBoxAndKeepsTheWindowOpen) {
    fs::create_directory(snFnd());
    const RunResult result = folder.runFor({vob(), "X", "X", "X", "X"}, 1500);
    EXPECT_TRUE(result.stillOpen);
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes[0].kind, "error");
    EXPECT_EQ(result.boxes[0].text.rfind("I/O error ", 0), 0u) << result.boxes[0].text;
    EXPECT_TRUE(fs::is_directory(snFnd()));
}

TEST_F(TonegrabCli, UnwritableListEndsTheProgramWithoutReadingTheVobAsAList) {
    // A folder stands where the list would go, as a read-only disc refuses it.
    fs::create_directory(generatedSetFolder() / "vob.lst");
    const RunResult result = folder.run({vob(), "X", "X", "X", "X"});
    fs::remove(generatedSetFolder() / "vob.lst");
    EXPECT_EQ(result.exitCode, trovel::kExitFailed);
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes[0].text, "Cannot write " + (generatedSetFolder() / "vob.lst").string() + " !");
}

TEST_F(TonegrabCli, MissingVobOfTheListIsReportedBeforeTheProgramEnds) {
    const std::string list = folder.file("with-gap.lst").string();
    kes::test::writeBytes(list, vob() + "\r\n" + folder.file("gone.VOB").string() + "\r\n");
    const RunResult result = folder.run({list, "X", "X", "X", "X"});
    ASSERT_FALSE(result.boxes.empty());
    EXPECT_EQ(result.boxes[0].kind, "warning");
    EXPECT_EQ(result.boxes[0].caption, "MultipleFileInputer::open");
    EXPECT_EQ(result.boxes[0].text, "Failed to open a file in the list.");
}

TEST_F(TonegrabCli, MissingVobOfTheListIsNotReportedAsAMissingStream) {
    const std::string list = folder.file("with-gap.lst").string();
    kes::test::writeBytes(list, vob() + "\r\n" + folder.file("gone.VOB").string() + "\r\n");
    const RunResult result = folder.run({list, wav(), "1", "48", "X"});
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes[0].text, "Failed to open a file in the list.");
    EXPECT_EQ(result.exitCode, trovel::kExitFailed);
    EXPECT_FALSE(fs::exists(wav()));
}

// The program's own folder is the folder of the path it was run by: a folder of links to the files
// works on its own, and the count lands there.
TEST_F(TonegrabCli, OwnFolderIsWhereItWasRunFromWithoutFollowingLinks) {
    TempDir linked("kes-tonegrab-links");
    for (const auto& name : kTonegrabFiles)
        fs::create_symlink(folder.externDir() / name, linked.path() / name);
    const RunResult result = runProgram(linked.path() / "Tonegrab.exe", {vob(), "X", "X", "X", "X"});
    EXPECT_EQ(result.exitCode, trovel::kExitDone);
    EXPECT_EQ(readBytes(linked.path() / "sn.fnd"), std::string(1, '\3'));
    EXPECT_FALSE(fs::exists(snFnd()));
}

TEST_F(TonegrabCli, RenderModePlaysToTheEndAndWritesNothing) {
    const RunResult result = folder.run({vob(), "X", "1", "48", "X"});
    EXPECT_EQ(result.exitCode, trovel::kExitDone);
    EXPECT_TRUE(result.boxes.empty());
    EXPECT_FALSE(fs::exists(snFnd()));
}

} // namespace
} // namespace kes::test

namespace kes::test {
namespace {

// The WAV of the built-in path begins at the title's first picture: sound before it is cut, silence
// fills up to a later start, and lost data becomes silence, so every beep lies at its mark.
TEST(TonegrabTiming, TheWavBeginsAtTheFirstPictureAndKeepsItsTimeAcrossLostData) {
    TonegrabFolder folder;
    TempDir data("kes-tonegrab-timing");
    struct Case {
        int64_t startPts;
        bool damaged;
    };
    for (const Case c : {Case{-45000, false}, Case{3600, false}, Case{0, true}}) {
        SCOPED_TRACE(c.startPts);
        MarkedTitle title = writeMarkedTitle(data.path() / std::to_string(c.startPts), c.startPts);
        std::vector<double> marks = title.marks;
        if (c.damaged) {
            const auto packs = static_cast<int64_t>(title.set.packs);
            zeroStretch(title.set, packs * 2048 * 3 / 10, packs * 2048 * 3 / 10); // 0.9 to 1.8 s
            marks = {0.3, 2.1, 2.7};
        }
        fs::remove(title.set.list);
        const std::string wav = data.file(std::to_string(c.startPts) + ".wav");
        ASSERT_EQ(folder.run({title.set.files[0].string(), wav, "0", "48", "X"}).exitCode, trovel::kExitDone);
        const WavInfo info = readWav(wav);
        ASSERT_TRUE(info.valid);
        const auto starts = toneStarts(info.samples, info.channels, info.sampleRate);
        ASSERT_EQ(starts.size(), marks.size()) << ::testing::PrintToString(starts);
        for (size_t i = 0; i < starts.size(); ++i)
            EXPECT_NEAR(starts[i], marks[i], 0.001) << "mark " << i;
        const double seconds = static_cast<double>(info.samples.size()) / info.channels / info.sampleRate;
        EXPECT_NEAR(seconds, 3.0 + static_cast<double>(c.startPts) / 90000, 0.033);
    }
}

// The converter's first picture of a set (90 kHz), and the parser's time 0 there.
struct SetStart {
    int64_t firstPicture = 0;
    int64_t parserOrigin = 0;
};

SetStart startOfSet(const fs::path& list) {
    std::string error;
    auto input = mpeg2avi::VobInput::open(list.string(), error);
    EXPECT_TRUE(input) << error;
    if (!input)
        return {};
    const auto first = mpeg2avi::outputStartPts(*input, error);
    EXPECT_TRUE(first) << error;
    platform::dshow::filters::ProgramStreamParser parser(*input);
    EXPECT_TRUE(parser.open());
    return {first.value_or(0), platform::dshow::filters::streamOrigin(parser.outputs())};
}

// A set that begins inside a GOP: its first pictures refer to pictures that are not in it and are
// never shown, so the movie begins at the first picture the converter writes, later than the parser's
// time 0, and the WAV must begin there too to keep every beep at its flash.
TEST(TonegrabTiming, ASetCutInsideAGopBeginsAtTheFirstPictureShown) {
    TonegrabFolder folder;
    TempDir data("kes-tonegrab-cut");
    SyncTitleSpec spec;
    spec.vobFiles = 1;
    const SyncTitle title = writeSyncTitle(data.path(), spec);
    const int64_t whole = startOfSet(title.set.list).firstPicture;
    cutStretch(title.set, 0, packAtTime(title.set, title.vob, 0.1) * 2048);
    const SetStart cut = startOfSet(title.set.list);
    ASSERT_GT(cut.firstPicture - cut.parserOrigin, 1800) << "the cut must fall inside a GOP";

    const std::string wav = data.file("cut.wav");
    ASSERT_EQ(folder.run({title.set.files[0].string(), wav, "0", "48", "X"}).exitCode, trovel::kExitDone);
    const WavInfo info = readWav(wav);
    ASSERT_TRUE(info.valid);
    const double shift = static_cast<double>(cut.firstPicture - whole) / 90000;
    std::vector<double> expected;
    for (const double mark : title.soundMarks())
        if (mark + 1e-6 >= shift)
            expected.push_back(mark - shift);
    ASSERT_FALSE(expected.empty());
    const auto starts = toneStarts(info.samples, info.channels, info.sampleRate);
    ASSERT_EQ(starts.size(), expected.size()) << ::testing::PrintToString(starts);
    for (size_t i = 0; i < starts.size(); ++i)
        EXPECT_NEAR(starts[i], expected[i], 0.001) << "mark " << i;
}

} // namespace
} // namespace kes::test
