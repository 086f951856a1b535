// "rundll32.exe vobsub.dll,Configure vsp.ini" on a generated title: the pair read back by FFmpeg
// (times, counts, positions and bitmaps as generated) and by the index adjuster (languages, default
// language, the cut of a split movie), and the damaged inputs that must fail cleanly.
#include "ffmpeg_vobsub.h"
#include "test_title.h"

#include "tests/outside/rar/run_tool.h"
#include "tools/vobsub_adjuster/idx_index.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kes::test {
namespace {

namespace fs = std::filesystem;
namespace adjuster = tools::vobsub_adjuster;

class VobSubExtractTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.copyFromBuild("extern/rundll32.exe");
        folder.copyFromBuild("extern/vobsub.dll");
        dvd = data.path() / "VIDEO_TS";
        fs::create_directories(dvd);
        title = writeTestTitle(dvd);
        destination = data.file("movie");
    }

    ToolRun extractWith(const std::string& ini) {
        writeBytes(folder.externDir() / "vsp.ini", ini);
        return runTool({"./rundll32.exe", "vobsub.dll,Configure", "vsp.ini"}, folder.externDir());
    }
    ToolRun extract(std::vector<int> streams) {
        return extractWith(vspIni(title.ifoPath.string(), destination, streams));
    }
    std::vector<std::string> outputs() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(data.path()))
            if (entry.is_regular_file())
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    ProgramFolder folder;
    TempDir data{"kes-vobsub"};
    fs::path dvd;
    TestTitle title;
    std::string destination;
};

// The generated subtitles of a stream in the generator's order.
const VobSubpictureData& generated(const TestTitle& title, uint8_t id) {
    for (const auto& s : title.set.subpictures)
        if (s.stream.id == id)
            return s;
    throw std::runtime_error("no such stream");
}

TEST_F(VobSubExtractTest, GeneratedTitleDecodesWithFfmpeg) {
    // The generator's own output, read by FFmpeg straight from the first VOB: a check of the test data.
    std::string error;
    const auto streams = readVobWithFfmpeg(title.set.files[0].string(), &error);
    ASSERT_EQ(streams.size(), 3u) << error;
    for (const auto& s : streams) {
        const VobSubpictureData& g = generated(title, static_cast<uint8_t>(s.id));
        ASSERT_FALSE(s.subtitles.empty()) << s.id;
        EXPECT_EQ(s.subtitles[0].indexes, g.bitmaps[0]) << s.id;
        EXPECT_EQ(s.subtitles[0].x, g.stream.subtitles[0].x);
    }
}

TEST_F(VobSubExtractTest, TwoLanguagesReadBackByFfmpeg) {
    const ToolRun run = extract({0, 2});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(outputs(), (std::vector<std::string>{"movie.idx", "movie.sub"}));
    EXPECT_EQ(fs::file_size(destination + ".sub") % 2048, 0u);

    std::string error;
    const auto streams = readWithFfmpeg(destination + ".idx", &error);
    ASSERT_EQ(streams.size(), 2u) << error;
    const struct {
        uint8_t id;
        const char* language;
    } expected[] = {{0x20, "en"}, {0x22, "de"}};
    for (size_t i = 0; i < 2; ++i) {
        const FfmpegSubtitleStream& s = streams[i];
        const VobSubpictureData& g = generated(title, expected[i].id);
        EXPECT_EQ(s.id, expected[i].id - 0x20);
        EXPECT_EQ(s.language, expected[i].language);
        EXPECT_EQ(s.width, 720);
        EXPECT_EQ(s.height, 576);
        ASSERT_EQ(s.subtitles.size(), g.stream.subtitles.size()) << s.language;
        for (size_t k = 0; k < s.subtitles.size(); ++k) {
            const VobSubtitle& want = g.stream.subtitles[k];
            const DecodedSubtitle& got = s.subtitles[k];
            EXPECT_EQ(got.startMs, std::llround(want.start * 1000)) << s.language << k;
            EXPECT_NEAR(static_cast<double>(got.durationMs), want.duration * 1000, 12) << s.language << k;
            EXPECT_EQ(got.x, want.x);
            EXPECT_EQ(got.y, want.y);
            ASSERT_EQ(got.width, want.width);
            ASSERT_EQ(got.height, want.height);
            EXPECT_EQ(got.indexes, g.bitmaps[k]) << s.language << k;
            // The colours come from the index's palette: entry 1 of the title is F0F0F0, entry 3 E04010
            // (back through the IFO's YCrCb, so within a step or two).
            ASSERT_EQ(got.colours.size(), 4u);
            const auto near = [](uint32_t colour, uint32_t rgb) {
                for (int shift : {0, 8, 16})
                    if (std::abs(static_cast<int>((colour >> shift) & 0xFF) -
                                 static_cast<int>((rgb >> shift) & 0xFF)) > 3)
                        return false;
                return true;
            };
            EXPECT_TRUE(near(got.colours[1], 0xF0F0F0)) << std::hex << got.colours[1];
            EXPECT_TRUE(near(got.colours[3], 0xE04010)) << std::hex << got.colours[3];
        }
    }
}

TEST_F(VobSubExtractTest, IndexIsWhatTheAdjusterNeeds) {
    ASSERT_EQ(extract({2, 0}).status, 0);
    adjuster::VobSubIndex index;
    ASSERT_EQ(index.load(destination + ".idx"), adjuster::IdxLoadStatus::Ok);
    // The first chosen language is the one in use.
    const int current = index.organize();
    ASSERT_EQ(index.languages().size(), 2u);
    EXPECT_EQ(index.languages()[0].name, "German");
    EXPECT_EQ(index.languages()[0].streamIndex, 2);
    EXPECT_EQ(index.languages()[1].name, "English");
    EXPECT_EQ(current, 0);
    for (const adjuster::IdxLanguage& language : index.languages()) {
        EXPECT_NE(index.line(language.firstTimestampLine - 1).find("Vob/Cell"), std::string::npos);
        EXPECT_EQ(index.line(language.firstLine + 1).rfind("id: ", 0), 0u);
    }
    EXPECT_EQ(index.languages()[1].startTime, "00:00:00:500");
    // English crosses into the second cell: a Vob/Cell line names it before its first subtitle there.
    const std::vector<std::string>& lines = index.lines();
    const auto third = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
        return l.rfind("timestamp: 00:00:03:500", 0) == 0;
    });
    ASSERT_NE(third, lines.end());
    EXPECT_EQ(third[-1].rfind("# Vob/Cell ID: 1, 2", 0), 0u) << third[-1];

    // The cut of a split movie at 3 s keeps what each language shows from there on, moved by -3 s:
    // German's later subtitle, English's two later ones.
    const adjuster::CutResult cut = index.cut(1, 3.0);
    ASSERT_EQ(cut.status, adjuster::CutStatus::Ok);
    std::vector<std::string> kept;
    for (const std::string& l : cut.lines)
        if (l.rfind("timestamp:", 0) == 0)
            kept.push_back(l.substr(11, 12));
    EXPECT_EQ(kept,
              (std::vector<std::string>{"00:00:01:500", "00:00:00:500", "00:00:02:000"}));
}

TEST_F(VobSubExtractTest, ExistingPairIsReplacedWhole) {
    writeBytes(destination + ".idx", "old index");
    writeBytes(destination + ".sub", "old sub");
    ASSERT_EQ(extract({1}).status, 0);
    std::string error;
    const auto streams = readWithFfmpeg(destination + ".idx", &error);
    ASSERT_EQ(streams.size(), 1u) << error;
    EXPECT_EQ(streams[0].language, "fr");
    EXPECT_EQ(streams[0].subtitles.size(), 1u);
    EXPECT_EQ(outputs(), (std::vector<std::string>{"movie.idx", "movie.sub"}));
}

TEST_F(VobSubExtractTest, BadInputFailsWithAReasonAndWritesNothing) {
    const std::string ifo = title.ifoPath.string();
    const std::string ifoBytes = readBytes(title.ifoPath);
    const struct {
        std::string name;
        std::string ini;
        std::string says;
    } cases[] = {
        {"empty control file", "", "3 lines"},
        {"no streams", ifo + "\r\n" + destination + "\r\n\r\nBLIND\r\n", "no subpicture stream"},
        {"words for streams", ifo + "\r\n" + destination + "\r\nen de\r\n", "line 3"},
        {"stream beyond the IFO", vspIni(ifo, destination, {0, 3}), "stream 3 is not in the IFO"},
        {"unknown line", ifo + "\r\n" + destination + "\r\n0 \r\nFAST\r\n", "unknown line 4"},
        {"missing IFO", vspIni(data.file("none.IFO"), destination, {0}), "cannot open the IFO file"},
        {"binary control file", std::string("\0\1\2", 3), "binary"},
        {"unwritable destination", vspIni(ifo, data.file("no folder/movie"), {0}), "cannot write"},
    };
    for (const auto& c : cases) {
        const ToolRun run = extractWith(c.ini);
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.name << ": " << run.err;
        EXPECT_TRUE(outputs().empty()) << c.name;
    }
    const ToolRun noFile =
        runTool({"./rundll32.exe", "vobsub.dll,Configure", "missing.ini"}, folder.externDir());
    EXPECT_EQ(noFile.status, 1);
    EXPECT_NE(noFile.err.find("cannot open the control file"), std::string::npos) << noFile.err;

    // Damaged IFO files: cut short, not a title set, a chain table outside the file.
    const struct {
        std::string name;
        std::string bytes;
        std::string says;
    } ifos[] = {
        {"short", ifoBytes.substr(0, 0x300), "beyond the end"},
        {"foreign", "NOTADVD" + ifoBytes.substr(7), "not a title set IFO"},
        {"table", ifoBytes.substr(0, 0xCC) + std::string("\x7F\xFF\xFF\xFF", 4) + ifoBytes.substr(0xD0),
         "beyond the end"},
        {"count", ifoBytes.substr(0, 0x254) + std::string("\x00\x40", 2) + ifoBytes.substr(0x256),
         "announces 64"},
    };
    for (const auto& c : ifos) {
        writeBytes(title.ifoPath, c.bytes);
        const ToolRun run = extract({0});
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.name << ": " << run.err;
        EXPECT_TRUE(outputs().empty()) << c.name;
    }
    writeBytes(title.ifoPath, ifoBytes);
}

TEST_F(VobSubExtractTest, MissingOrDamagedVobsFailOrAreSkipped) {
    writeBytes(destination + ".idx", "kept index");
    // Garbage in place of the second VOB: nothing is written, the old index stays.
    const std::string second = readBytes(title.set.files[1]);
    writeBytes(title.set.files[1], std::string(second.size(), 'x'));
    ToolRun run = extract({0});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is not a VOB file"), std::string::npos) << run.err;
    EXPECT_EQ(readBytes(destination + ".idx"), "kept index");
    EXPECT_EQ(outputs(), (std::vector<std::string>{"movie.idx"}));

    // A few damaged packs are skipped with a warning; what stands around them is extracted.
    std::string damaged = second;
    for (size_t at = 2048 * 3; at < 2048 * 5; ++at)
        damaged[at] = static_cast<char>(at * 7);
    writeBytes(title.set.files[1], damaged.substr(0, damaged.size() - 100));
    run = extract({0});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("damaged packs"), std::string::npos) << run.err;

    // No first VOB: no title.
    fs::remove(title.set.files[0]);
    run = extract({0});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no VOB file"), std::string::npos) << run.err;
}

// A title whose second cell comes from another recording: its time stamps start afresh, and the
// subtitle times still count from the start of the title through the cells' place in the chain.
// The IFO also numbers its streams apart from their order: its first language is stream 0x22.
TEST_F(VobSubExtractTest, TimesFollowTheCellsAcrossATimeStampJump) {
    for (const auto& file : title.set.files)
        fs::remove(file);
    VobSpec first;
    first.seconds = 3.0;
    first.navSeconds = 0.5;
    first.cellSeconds = {3.0};
    first.subpictures = {{0x22, {{0.8, 1.0, 100, 400, 160, 32, false}}}};
    VobSpec second = first;
    second.firstPts = 5000000;       // far from where the first cell ends
    second.cellSeconds = {0.0, 3.0}; // all of it is cell 2
    second.subpictures = {{0x22, {{1.25, 1.0, 100, 400, 160, 32, false}}}};
    writeVobSet(dvd, first);
    fs::create_directories(dvd / "second");
    const VobSet later = writeVobSet(dvd / "second", second);
    fs::rename(later.files[0], dvd / "VTS_01_2.VOB");
    IfoSpec ifo = testIfoSpec();
    ifo.subpictureNumbers = {2, 1, 0};
    writeIfo(dvd, ifo);

    const ToolRun run = extract({0});
    ASSERT_EQ(run.status, 0) << run.err;
    std::string error;
    const auto streams = readWithFfmpeg(destination + ".idx", &error);
    ASSERT_EQ(streams.size(), 1u) << error;
    EXPECT_EQ(streams[0].id, 2);
    EXPECT_EQ(streams[0].language, "en");
    ASSERT_EQ(streams[0].subtitles.size(), 2u);
    EXPECT_EQ(streams[0].subtitles[0].startMs, 800);
    EXPECT_EQ(streams[0].subtitles[1].startMs, 4250);

    // A chain that does not list the second cell: it follows on from where the first one ended.
    ifo.cells.resize(1);
    writeIfo(dvd, ifo);
    ASSERT_EQ(extract({0}).status, 0);
    const auto following = readWithFfmpeg(destination + ".idx", &error);
    ASSERT_EQ(following.size(), 1u) << error;
    ASSERT_EQ(following[0].subtitles.size(), 2u);
    EXPECT_EQ(following[0].subtitles[1].startMs, 4250);
}

TEST_F(VobSubExtractTest, RundllSaysWhatItCannotCall) {
    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"./rundll32.exe"}, "usage"},
        {{"./rundll32.exe", "vobsub.dll"}, "library,entry"},
        {{"./rundll32.exe", "missing.dll,Configure", "vsp.ini"}, "cannot find missing.dll"},
        {{"./rundll32.exe", "vobsub.dll,Other", "vsp.ini"}, "has no entry Other"},
        {{"./rundll32.exe", "vsp.ini,Configure"}, "cannot load"},
    };
    writeBytes(folder.externDir() / "vsp.ini", "not a library");
    for (const auto& c : cases) {
        const ToolRun run = runTool(c.args, folder.externDir());
        EXPECT_NE(run.status, 0) << c.says;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
    // A library of the system folder is found there; names are found without regard to case.
    fs::rename(folder.externDir() / "vobsub.dll", folder.path() / "system" / "VOBSUB.DLL");
    const ToolRun fromSystem = extract({0});
    EXPECT_EQ(fromSystem.status, 0) << fromSystem.err;
}

} // namespace
} // namespace kes::test
