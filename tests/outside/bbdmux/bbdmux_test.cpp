// bbdmux.exe run from a program folder on generated VOB sets: the pieces of consecutive VOB files
// joined end to end are the whole AC3 stream (as the generator wrote it and as FFmpeg's demultiplexer
// reads it) when the sound starts with the picture, and begin at the picture and keep the title's time
// when it does not or data was lost; damaged inputs fail with a message and no output.
#include "tests/outside/dvd_audio/ac3_test_support.h"
#include "tests/support/sync_title.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vobgen.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kes::test {
namespace {

namespace fs = std::filesystem;

class BbdmuxTest : public ::testing::Test {
protected:
    void SetUp() override {
        installTools(folder, {"bbdmux.exe"});
        VobSpec spec;
        spec.seconds = 3.0;
        spec.audio = {VobAudioStream{}, VobAudioStream{}};
        spec.audio[1].id = 0x81;
        spec.audio[1].bitRate = 448000;
        spec.audio[1].channels = 6;
        spec.packsPerFile = 45;
        set = writeVobSet(data.path(), spec);
    }
    std::string at(const std::string& name) const { return data.file(name); }
    ToolRun bbdmux(const std::vector<std::string>& args) { return runTool(folder, "bbdmux.exe", args); }
    std::string piece(int i) const { return at("audio" + std::to_string(i) + ".ac3"); }

    ProgramFolder folder;
    TempDir data{"kes-bbdmux"};
    VobSet set;
};

TEST_F(BbdmuxTest, PiecesOfConsecutiveVobsJoinToTheWholeStream) {
    ASSERT_GE(set.files.size(), 3U);
    std::string joined;
    std::vector<size_t> ends;
    for (size_t i = 0; i < set.files.size(); ++i) {
        const int n = static_cast<int>(i + 1);
        const ToolRun run =
            bbdmux({set.files[i].string(), "0xbd", piece(n), "0x81", "[Latvian,", "Lettish]"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        joined += readBytes(piece(n));
        ends.push_back(joined.size());
    }
    const auto& whole = set.audio[1].elementary;
    EXPECT_EQ(joined, std::string(whole.begin(), whole.end()));

    // FFmpeg reads the same stream from the files as one.
    writeBytes(at("whole.vob"), std::string(set.bytes.begin(), set.bytes.end()));
    const auto demuxed = ffmpegDemux(at("whole.vob"), 0x81);
    EXPECT_EQ(joined, std::string(demuxed.begin(), demuxed.end()));

    // Every piece holds whole frames: a frame that runs on into the next file goes with the piece it
    // begins in.
    const auto& units = set.audio[1].units;
    for (const size_t end : ends)
        EXPECT_TRUE(end == whole.size() || std::any_of(units.begin(), units.end(),
                                                       [&](const VobUnit& u) { return u.offset == end; }))
            << end;
}

TEST_F(BbdmuxTest, FirstStreamWithoutNameAndACutFile) {
    const ToolRun run = bbdmux({set.files[0].string(), "0xbd", piece(1), "0x80"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string first = readBytes(piece(1));
    const auto& whole = set.audio[0].elementary;
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, std::string(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(first.size())));

    // A file cut in the middle of a pack gives what its whole packets hold.
    const std::string bytes = readBytes(set.files[0]);
    writeBytes(at("cut.vob"), bytes.substr(0, bytes.size() - kVobPackSize / 2));
    const ToolRun cut = bbdmux({at("cut.vob"), "0xbd", piece(9), "0x80"});
    ASSERT_EQ(cut.status, 0) << cut.err;
    const std::string part = readBytes(piece(9));
    EXPECT_LE(part.size(), first.size());
    EXPECT_EQ(part, first.substr(0, part.size()));
}

TEST_F(BbdmuxTest, BadInputsFailWithAMessageAndLeaveTheTargetAlone) {
    writeBytes(at("noise.vob"), std::string(100000, '\x47'));
    writeBytes(piece(1), "kept");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{at("missing.vob"), "0xbd", piece(1), "0x80"}, 1, "missing.vob cannot be read"},
        {{at("noise.vob"), "0xbd", piece(1), "0x80"}, 1, "No MPEG program stream"},
        {{set.files[0].string(), "0xbd", piece(1), "0x83", "[English]"},
         1,
         "holds no AC3 sub-stream 0x83 (it holds 0x80, 0x81)"},
        {{set.files[0].string(), "0xbd", at("no folder/a.ac3"), "0x80"}, 1, "Cannot write the file"},
        {{set.files[0].string(), "0xc0", piece(1), "0x80"}, 2, "Only private stream 0xbd"},
        {{set.files[0].string(), "0xbd", piece(1)}, 2, "usage"},
        {{set.files[0].string(), "0xbd", piece(1), "0x80", "extra"}, 2, "Unexpected argument extra"},
        {{set.files[0].string(), "0xbd", piece(1), "0x90"}, 2, "not one of 0x80 to 0x87"},
    };
    for (const Case& c : cases) {
        const ToolRun run = bbdmux(c.args);
        EXPECT_EQ(run.status, c.status) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.rfind("bbdmux: ", 0), 0U) << run.err;
        EXPECT_EQ(readBytes(piece(1)), "kept") << c.message;
    }
    // Nothing but the files the test made: no temporary file stays behind.
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(data.path()))
        ++entries;
    EXPECT_EQ(entries, set.files.size() + 3); // vob.lst, noise.vob, audio1.ac3
}

} // namespace
} // namespace kes::test

namespace kes::test {
namespace {

// The pieces of every VOB file of a title, joined in order and decoded by azid.exe, give a WAV that
// begins at the title's first picture with every beep at its mark (to a millisecond), whether the
// sound starts before or after the picture and across lost data.
class TimedPieceTest : public ::testing::Test {
protected:
    void SetUp() override { installTools(folder, {"bbdmux.exe", "azid.exe"}); }

    Pcm ripThroughPieces(const MarkedTitle& title) {
        std::string joined;
        for (size_t i = 0; i < title.set.files.size(); ++i) {
            const std::string piece = data.file("audio" + std::to_string(i + 1) + ".ac3");
            const ToolRun run =
                runTool(folder, "bbdmux.exe", {title.set.files[i].string(), "0xbd", piece, "0x80"});
            EXPECT_EQ(run.status, 0) << run.err;
            joined += readBytes(piece);
        }
        writeBytes(data.file("audio.ac3"), joined);
        const ToolRun run = runTool(
            folder, "azid.exe", {"-c", "normal", "-L", "-3dB", data.file("audio.ac3"), data.file("a.wav")});
        EXPECT_EQ(run.status, 0) << run.err;
        // Any other AC3 decoder reads the joined stream too.
        EXPECT_FALSE(ffmpegDecode(data.file("audio.ac3"), -1, {}).samples.empty());
        return readWav(data.file("a.wav"));
    }

    static void expectMarks(const Pcm& wav, const std::vector<double>& marks) {
        const auto starts = toneStarts(wav);
        ASSERT_EQ(starts.size(), marks.size()) << ::testing::PrintToString(starts);
        for (size_t i = 0; i < starts.size(); ++i)
            EXPECT_NEAR(starts[i], marks[i], 0.001) << "mark " << i;
    }

    ProgramFolder folder;
    TempDir data{"kes-bbdmux-timed"};
};

TEST_F(TimedPieceTest, SoundBeforeOrAfterThePictureStartsWithIt) {
    for (const int64_t startPts : {-45000, -3600, 0, 3600, 45000, 3000}) {
        SCOPED_TRACE(startPts);
        const MarkedTitle title = writeMarkedTitle(data.path() / std::to_string(startPts), startPts);
        const Pcm wav = ripThroughPieces(title);
        expectMarks(wav, title.marks);
        // The WAV runs from the first picture to the end of the sound.
        EXPECT_NEAR(static_cast<double>(wav.frames()) / wav.rate, 3.0 + startPts / 90000.0, 0.033);
    }
}

TEST_F(TimedPieceTest, LostPacketsBecomeSilenceAndLaterMarksKeepTheirTime) {
    MarkedTitle title = writeMarkedTitle(data.path() / "lost", 0);
    // The beep at 1.2 s lost in zeros from 0.9 to 1.8 s, across a boundary of two files.
    const auto packs = static_cast<int64_t>(title.set.packs);
    zeroStretch(title.set, packs * 2048 * 3 / 10, packs * 2048 * 3 / 10);
    const Pcm wav = ripThroughPieces(title);
    expectMarks(wav, {0.3, 2.1, 2.7});
    EXPECT_NEAR(static_cast<double>(wav.frames()) / wav.rate, 3.0, 0.033);
}

} // namespace
} // namespace kes::test
