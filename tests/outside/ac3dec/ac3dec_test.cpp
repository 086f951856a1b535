// ac3dec.exe run from a program folder on a generated VOB set of four files: the decoded WAV against
// FFmpeg's decode of the same stream, one VOB or the whole title, 44.1 kHz, keeping or replacing an
// existing WAV, playing without a sound card, and damaged inputs.
#include "tests/outside/dvd_audio/ac3_test_support.h"
#include "tests/support/sync_title.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vobgen.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kes::test {
namespace {

namespace fs = std::filesystem;

constexpr double kSeconds = 3.0;
const std::map<std::string, std::string> kStereoDownmix = {{"downmix", "stereo"}};

class Ac3DecTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        data = new TempDir("kes-ac3dec");
        VobSpec spec;
        spec.seconds = kSeconds;
        spec.audio = {VobAudioStream{}, VobAudioStream{}};
        spec.audio[1].id = 0x81;
        spec.audio[1].channels = 6;
        spec.audio[1].bitRate = 448000;
        spec.audio[1].toneHz = 300;
        spec.packsPerFile = 45;
        set = new VobSet(writeVobSet(data->path(), spec));
        writeBytes(data->path() / "whole.vob", std::string(set->bytes.begin(), set->bytes.end()));
    }
    static void TearDownTestSuite() {
        delete set;
        delete data;
    }
    void SetUp() override { installTools(folder, {"ac3dec.exe"}); }

    std::string at(const std::string& name) const { return out.file(name); }
    std::string vob(size_t i = 0) const { return set->files[i].string(); }
    ToolRun ac3dec(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {}) {
        return runTool(folder, "ac3dec.exe", args, env);
    }

    static TempDir* data;
    static VobSet* set;
    ProgramFolder folder;
    TempDir out{"kes-ac3dec-out"};
};

TempDir* Ac3DecTest::data = nullptr;
VobSet* Ac3DecTest::set = nullptr;

// The frequency of a tone from its zero crossings between 0.5 s and 2.5 s.
double toneHz(const std::vector<int16_t>& samples, int rate) {
    int count = 0;
    const auto from = static_cast<size_t>(rate / 2), to = static_cast<size_t>(rate * 5 / 2);
    for (size_t i = from + 1; i < to && i < samples.size(); ++i)
        count += (samples[i - 1] < 0) != (samples[i] < 0);
    return count / 2.0 / 2.0;
}

TEST_F(Ac3DecTest, WholeTitleDecodesAsFfmpegDoes) {
    ASSERT_GE(set->files.size(), 3U);
    for (const auto& [stream, name] : std::vector<std::pair<int, std::vector<std::string>>>{
             {0x80, {"[English]"}}, {0x81, {"[Latvian,", "Lettish]"}}}) {
        std::vector<std::string> args = {vob(), "-allvob", "-substream", stream == 0x80 ? "0x80" : "0x81"};
        args.insert(args.end(), name.begin(), name.end());
        args.insert(args.end(), {"-overwrite", "-pcmwav", at("a.wav")});
        const ToolRun run = ac3dec(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const Pcm ours = readWav(at("a.wav"));
        const Pcm reference = ffmpegDecode(data->path() / "whole.vob", stream, kStereoDownmix);
        EXPECT_EQ(ours.rate, 48000);
        EXPECT_EQ(ours.channels, 2);
        EXPECT_EQ(ours.frames(), reference.frames()) << std::hex << stream;
        EXPECT_LE(largestDifference(ours.samples, reference.samples), 1) << std::hex << stream;
        EXPECT_GT(rms(ours.samples), 1000);
    }
}

TEST_F(Ac3DecTest, WithoutAllVobOnlyTheNamedFile) {
    const ToolRun run =
        ac3dec({vob(), "-substream", "0x80", "[English]", "-overwrite", "-pcmwav", at("one.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    const Pcm ours = readWav(at("one.wav"));
    const Pcm whole = ffmpegDecode(data->path() / "whole.vob", 0x80, kStereoDownmix);
    ASSERT_GT(ours.frames(), 1536U * 4);
    EXPECT_LT(ours.frames(), whole.frames() / 2);
    // The first frames are those of the whole stream.
    const size_t n = 1536 * 2 * 2;
    EXPECT_LE(largestDifference({ours.samples.begin(), ours.samples.begin() + n},
                                {whole.samples.begin(), whole.samples.begin() + n}),
              1);
}

TEST_F(Ac3DecTest, ResamplesTo44100) {
    const ToolRun run =
        ac3dec({vob(), "-allvob", "-substream", "0x80", "-overwrite", "-44100", "-pcmwav", at("b.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    const Pcm ours = readWav(at("b.wav"));
    EXPECT_EQ(ours.rate, 44100);
    const Pcm at48 = ffmpegDecode(data->path() / "whole.vob", 0x80, kStereoDownmix);
    const double seconds48 = static_cast<double>(at48.frames()) / 48000;
    EXPECT_NEAR(static_cast<double>(ours.frames()) / 44100, seconds48, 0.01);
    // The same tones (440 and 550 Hz) at the same level.
    for (int c = 0; c < 2; ++c) {
        EXPECT_NEAR(toneHz(ours.channel(c), 44100), c == 0 ? 440 : 550, 1) << c;
        EXPECT_NEAR(rms(ours.channel(c)) / rms(at48.channel(c)), 1.0, 0.02) << c;
    }
}

TEST_F(Ac3DecTest, AnExistingWavIsKeptUnlessOverwriteIsGiven) {
    writeBytes(at("c.wav"), "old");
    ToolRun run = ac3dec({vob(), "-substream", "0x80", "-pcmwav", at("c.wav")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("exists and is kept"), std::string::npos) << run.err;
    EXPECT_EQ(readBytes(at("c.wav")), "old");
    run = ac3dec({vob(), "-substream", "0x80", "-overwrite", "-pcmwav", at("c.wav")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readWav(at("c.wav")).rate, 48000);
}

TEST_F(Ac3DecTest, PlaysWithoutASoundCardToTheEnd) {
    const std::string log = at("boxes.log");
    const std::map<std::string, std::string> env = {
        {"KESTROVA_SOUND_DEVICE", "none"}, {"QT_QPA_PLATFORM", "offscreen"}, {"KESTROVA_UI_LOG", log}};
    ToolRun run = ac3dec({vob(), "-substream", "0x81", "-pcm", "-out"}, env);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(fs::exists(log));

    // A player that cannot play says why in a box as well.
    run = ac3dec({at("missing.vob"), "-substream", "0x80", "-pcm", "-out"}, env);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("missing.vob cannot be read"), std::string::npos) << run.err;
    EXPECT_NE(readBytes(log).find("error\tAC3 player\t"), std::string::npos);
}

TEST_F(Ac3DecTest, DamagedInputsFailWithAMessageAndWriteNothing) {
    writeBytes(at("noise.vob"), std::string(300000, '\x33'));
    writeBytes(at("kept.wav"), "kept");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{at("missing.vob"), "-substream", "0x80", "-overwrite", "-pcmwav", at("kept.wav")},
         1,
         "cannot be read"},
        {{at("noise.vob"), "-substream", "0x80", "-overwrite", "-pcmwav", at("kept.wav")},
         1,
         "No MPEG program stream"},
        {{vob(), "-allvob", "-substream", "0x85", "[English]", "-overwrite", "-pcmwav", at("kept.wav")},
         1,
         "holds no AC3 sub-stream 0x85"},
        {{vob(), "-substream", "0x80", "-overwrite", "-pcmwav", at("nowhere/x.wav")},
         1,
         "Cannot write the file"},
        {{vob(), "-substream", "0x80", "-overwrite"}, 2, "Nothing to do"},
        {{vob(), "-substream", "0x88", "-pcmwav", at("kept.wav")}, 2, "not one of 0x80 to 0x87"},
    };
    for (const Case& c : cases) {
        const ToolRun run = ac3dec(c.args);
        EXPECT_EQ(run.status, c.status) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(readBytes(at("kept.wav")), "kept") << c.message;
    }
}

TEST_F(Ac3DecTest, DamagedBytesInsideAVobArePassedOver) {
    std::string bytes = readBytes(vob());
    for (size_t i = 20 * kVobPackSize; i < 22 * kVobPackSize + 100; ++i)
        bytes[i] = static_cast<char>(i * 7);
    writeBytes(at("damaged.vob"), bytes);
    const ToolRun run = ac3dec({at("damaged.vob"), "-substream", "0x80", "-pcmwav", at("d.wav")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("warning: damaged bytes"), std::string::npos) << run.err;
    EXPECT_GT(readWav(at("d.wav")).frames(), 1536U * 4);
}

} // namespace
} // namespace kes::test

namespace kes::test {
namespace {

// The WAV begins at the title's first picture: sound before it is cut, silence fills up to a later
// start, and lost packets become silence, so that every beep lies at its mark to a millisecond.
TEST(Ac3DecTimingTest, TheWavBeginsAtTheFirstPictureAndKeepsItsTimeAcrossLostData) {
    ProgramFolder folder;
    installTools(folder, {"ac3dec.exe"});
    TempDir data("kes-ac3dec-timing");
    for (const int64_t startPts : {-45000, -3600, 3600, 45000}) {
        SCOPED_TRACE(startPts);
        const MarkedTitle title = writeMarkedTitle(data.path() / std::to_string(startPts), startPts);
        const std::string wav = data.file(std::to_string(startPts) + ".wav");
        const ToolRun run =
            runTool(folder, "ac3dec.exe",
                    {title.set.files[0].string(), "-allvob", "-substream", "0x80", "-pcmwav", wav});
        ASSERT_EQ(run.status, 0) << run.err;
        const Pcm pcm = readWav(wav);
        const auto starts = toneStarts(pcm);
        ASSERT_EQ(starts.size(), title.marks.size()) << ::testing::PrintToString(starts);
        for (size_t i = 0; i < starts.size(); ++i)
            EXPECT_NEAR(starts[i], title.marks[i], 0.001) << "mark " << i;
        EXPECT_NEAR(static_cast<double>(pcm.frames()) / pcm.rate, 3.0 + startPts / 90000.0, 0.033);
    }

    MarkedTitle lost = writeMarkedTitle(data.path() / "lost", 0);
    const auto packs = static_cast<int64_t>(lost.set.packs);
    zeroStretch(lost.set, packs * 2048 * 3 / 10, packs * 2048 * 3 / 10);
    const ToolRun run = runTool(
        folder, "ac3dec.exe",
        {lost.set.files[0].string(), "-allvob", "-substream", "0x80", "-pcmwav", data.file("lost.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("filled with silence"), std::string::npos) << run.err;
    const Pcm pcm = readWav(data.file("lost.wav"));
    const auto starts = toneStarts(pcm);
    ASSERT_EQ(starts.size(), 3u) << ::testing::PrintToString(starts);
    EXPECT_NEAR(starts[0], 0.3, 0.001);
    EXPECT_NEAR(starts[1], 2.1, 0.001);
    EXPECT_NEAR(starts[2], 2.7, 0.001);
    EXPECT_NEAR(static_cast<double>(pcm.frames()) / pcm.rate, 3.0, 0.033);
}

} // namespace
} // namespace kes::test
