// The built converter run with the rip's lines on generated VOB sets; what it writes is read back
// with FFmpeg's libavformat and compared with the generated pictures.

#include "tests/outside/mpeg2avi/avi_probe.h"
#include "tests/outside/mpeg2avi/converter_run.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vobgen_video.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kes::test {
namespace {

namespace fs = std::filesystem;

struct Set {
    TempDir dir{"kes-vob"};
    VobSet vob;
    std::string list() const { return vob.list.string(); }
};

std::unique_ptr<Set> makeSet(const VobVideoSpec& video, double seconds, size_t packsPerFile = 0) {
    auto set = std::make_unique<Set>();
    VobSpec spec;
    spec.seconds = seconds;
    spec.videoMaker = mpeg2Video(video);
    spec.audio = {VobAudioStream{}};
    spec.packsPerFile = packsPerFile;
    set->vob = writeVobSet(set->dir.path(), spec);
    return set;
}

VobVideoSpec pal() {
    return {};
}

VobVideoSpec ntsc(VideoScan scan) {
    VobVideoSpec spec;
    spec.standard = VideoStandard::Ntsc;
    spec.scan = scan;
    return spec;
}

class Converter : public ::testing::Test {
protected:
    ConverterFolder folder;
    std::string out() const { return folder.outputDir().string(); }
    // A run whose codec dialog is answered as the rip's automation would.
    ConverterFolder::Result convert(const std::string& program, const std::vector<std::string>& items) const {
        return folder.run(program, items, {divx4Answer(1500, 250)});
    }
    fs::path movie(const std::string& name = "movie.avi") const { return folder.outputDir() / name; }
};

TEST_F(Converter, PalSetAtItsOwnSizeAndRate) {
    const auto set = makeSet(pal(), 2.0, 40); // over several VOB files
    ASSERT_GT(set->vob.files.size(), 1u);
    const auto result =
        convert("mpeg2avipx3.exe", {"-b", set->list(), "-a", "-f2", "-q0", "-r0", "-o8", out()});
    ASSERT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(folder.movies(), std::vector<std::string>{"movie.avi"});
    const AviFacts facts = probeAvi(movie());
    ASSERT_TRUE(facts.opened);
    EXPECT_EQ(facts.fourcc, "DIVX");
    EXPECT_EQ(facts.width, 720);
    EXPECT_EQ(facts.height, 576);
    EXPECT_EQ(facts.rateNum * 1, facts.rateDen * 25);
    EXPECT_EQ(facts.packets, 50);
    EXPECT_EQ(facts.headerFrames, 50u);
    ASSERT_FALSE(facts.keyFrames.empty());
    EXPECT_EQ(facts.keyFrames.front(), 0);
    // The pictures are the source's, in order.
    const auto pictures = decodeAvi(movie());
    ASSERT_EQ(pictures.size(), 50u);
    for (int n : {0, 17, 49})
        EXPECT_GT(lumaPsnr(sourceFrame(pal(), n), pictures[n]), 26.0) << "frame " << n;
}

TEST_F(Converter, EveryColourFormatKeepsThePicture) {
    const auto set = makeSet(pal(), 0.4);
    for (const char* item : {"-o7", "-o8", "-o9"}) {
        const auto result = convert("m2apx3g.exe", {"-b", set->list(), "-a", "-f2", item, "-r6", out()});
        ASSERT_EQ(result.status, 0) << item << ": " << result.errors;
        const auto pictures = decodeAvi(movie("movie_1.avi"));
        ASSERT_EQ(pictures.size(), 10u) << item;
        const TestPicture source = sourceFrame(pal(), 5);
        EXPECT_GT(lumaPsnr(source, pictures[5]), 26.0) << item;
        // The colour planes too: a swapped U and V would show here.
        TestPicture chroma = source, back = pictures[5];
        chroma.y = source.v;
        back.y = pictures[5].v;
        chroma.width = back.width = source.width / 2;
        EXPECT_GT(lumaPsnr(chroma, back), 26.0) << item;
    }
}

TEST_F(Converter, ResizeCropAndHalfResolution) {
    const auto set = makeSet(pal(), 0.4);
    auto result = convert("mpeg2avipx3.exe", {"-b", set->list(), "-a", "-f2", "-1", "512", "208", "-3X",
                                              "512", "-3Y", "272", "-o8", out()});
    ASSERT_EQ(result.status, 0) << result.errors;
    AviFacts facts = probeAvi(movie());
    EXPECT_EQ(facts.width, 512);
    EXPECT_EQ(facts.height, 208);
    // The crop is the middle of the resized picture.
    const TestPicture full = sourceFrame(pal(), 3);
    const auto pictures = decodeAvi(movie());
    ASSERT_EQ(pictures.size(), 10u);
    EXPECT_EQ(pictures[3].width, 512);

    result = convert("mpeg2avipx3.exe", {"-b", set->list(), "-a", "-f2", "-2", "-q1", "-r2", out()});
    ASSERT_EQ(result.status, 0) << result.errors;
    facts = probeAvi(movie());
    EXPECT_EQ(facts.width, 360);
    EXPECT_EQ(facts.height, 288);
}

TEST_F(Converter, NtscRatesAndInverseTelecine) {
    const auto video = makeSet(ntsc(VideoScan::Interlaced), 1.0);
    auto result = convert("mpeg2avipx3.exe", {"-b", video->list(), "-a", "-f6", "-r5", "-df", out()});
    ASSERT_EQ(result.status, 0) << result.errors;
    AviFacts facts = probeAvi(movie());
    EXPECT_EQ(facts.height, 480);
    EXPECT_EQ(facts.rateNum * 1001, facts.rateDen * 30000);
    EXPECT_EQ(facts.packets, 30);

    result = convert("mpeg2avipx3.exe", {"-b", video->list(), "-a", "-f4", "-r7", out()});
    ASSERT_EQ(result.status, 0) << result.errors;
    facts = probeAvi(movie());
    EXPECT_EQ(facts.rateNum, 30 * facts.rateDen);
    EXPECT_EQ(facts.packets, 30); // 30 frames of 1001/30000 s last a little over 30 frames at 30 a second

    // Film in NTSC fields: back to its own frames.
    const auto film = makeSet(ntsc(VideoScan::Telecined), 1.5);
    result = convert("mpeg2avipx3.exe", {"-b", film->list(), "-a", "-f5", "-s2", "-r4", out()});
    ASSERT_EQ(result.status, 0) << result.errors;
    facts = probeAvi(movie());
    EXPECT_EQ(facts.rateNum * 1001, facts.rateDen * 24000);
    EXPECT_EQ(facts.packets, 36); // 45 coded frames, 4 of every 5 kept
    const auto pictures = decodeAvi(movie());
    ASSERT_EQ(pictures.size(), 36u);
    // Matched fields give whole film frames back, without combing.
    for (int f : {6, 21})
        EXPECT_GT(lumaPsnr(filmFrame(ntsc(VideoScan::Telecined), f), pictures[f]), 26.0)
            << "film frame " << f;

    result = convert("mpeg2avipx3.exe", {"-b", film->list(), "-a", "-f3", out()});
    ASSERT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(probeAvi(movie()).rateNum, 24 * probeAvi(movie()).rateDen);
}

TEST_F(Converter, FrameRangeAndDeinterlacing) {
    VobVideoSpec interlaced = pal();
    interlaced.scan = VideoScan::Interlaced;
    const auto set = makeSet(interlaced, 2.0);
    // Source frame 15 as one moment: what a deinterlacer should make of its two fields.
    const TestPicture moment = testPictureAt(720, 576, 15 / 25.0);
    auto result =
        convert("mpeg2aviSVE.exe", {"-b", set->list(), "-a", "-#", "10", "30", "-f2", "-df", out()});
    ASSERT_EQ(result.status, 0) << result.errors;
    auto pictures = decodeAvi(movie());
    ASSERT_EQ(pictures.size(), 20u);
    EXPECT_EQ(probeAvi(movie()).headerFrames, 20u);
    const double deinterlaced = lumaPsnr(moment, pictures[5]);

    result = convert("mpeg2avipx3.exe", {"-b", set->list(), "-a", "-#", "10", "30", "-f2", out()});
    ASSERT_EQ(result.status, 0) << result.errors;
    pictures = decodeAvi(movie());
    ASSERT_EQ(pictures.size(), 20u);
    EXPECT_GT(deinterlaced, lumaPsnr(moment, pictures[5]) + 1.0);
}

TEST_F(Converter, BadLinesAndMissingFilesWriteNothing) {
    const auto set = makeSet(pal(), 0.2);
    struct Case {
        std::vector<std::string> items;
        std::string says;
    };
    const fs::path missingList = folder.folder().path() / "none.lst";
    std::ofstream(folder.folder().path() / "gone.lst")
        << (folder.folder().path() / "VTS_01_1.VOB").string() << "\r\n";
    const std::vector<Case> cases = {
        {{"-b", set->list(), "-a", "-z", out()}, "Unknown item"},
        {{"-b", set->list(), "-a", "-3X", "64O", out()}, "64O"},
        {{"-b", set->list(), "-a"}, "output folder"},
        {{"-b", missingList.string(), "-a", out()}, "cannot be found"},
        {{"-b", (folder.folder().path() / "gone.lst").string(), "-a", out()}, "VTS_01_1.VOB"},
        {{"-b", set->list(), "-a", (folder.folder().path() / "nowhere").string()}, "output folder"},
    };
    for (const Case& c : cases) {
        const auto result = convert("mpeg2avipx3.exe", c.items);
        EXPECT_NE(result.status, 0);
        EXPECT_NE(result.errors.find(c.says), std::string::npos) << result.errors;
        EXPECT_TRUE(folder.movies().empty());
    }
}

TEST_F(Converter, DamagedAndTruncatedSetsConvertAsFarAsTheyDecode) {
    const auto set = makeSet(pal(), 2.0);
    const fs::path vob = set->vob.files.front();
    std::vector<uint8_t> bytes = set->vob.bytes;
    // Garbage over a run of packs in the middle, then the set cut short.
    for (size_t i = bytes.size() / 3; i < bytes.size() / 3 + 40000; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7919);
    bytes.resize(bytes.size() * 3 / 4 + 1234);
    std::ofstream(vob, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const auto result = convert("mpeg2avipx3.exe", {"-b", set->list(), "-a", "-f2", out()});
    ASSERT_EQ(result.status, 0) << result.errors;
    const AviFacts facts = probeAvi(movie());
    EXPECT_GT(facts.packets, 20);
    EXPECT_LT(facts.packets, 50);
    EXPECT_EQ(facts.headerFrames, facts.packets);

    // Nothing but noise: no picture, no file.
    std::vector<uint8_t> noise(200000);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
    std::ofstream(vob, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(noise.data()), static_cast<std::streamsize>(noise.size()));
    fs::remove(movie());
    const auto bad = convert("mpeg2avipx3.exe", {"-b", set->list(), "-a", "-f2", out()});
    EXPECT_NE(bad.status, 0);
    EXPECT_FALSE(bad.errors.empty());
    EXPECT_TRUE(folder.movies().empty());
}

} // namespace
} // namespace kes::test
