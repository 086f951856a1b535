// Tonegrab run as its caller runs it: the built program copied into a temporary program folder, five
// parameters, results only in files and in its exit status.

#include "tests/trovel/tonegrab_run.h"

#include "trovel/exit_status.h"

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
