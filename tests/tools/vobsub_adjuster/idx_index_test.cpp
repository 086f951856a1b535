#include "tools/vobsub_adjuster/idx_index.h"

#include "tests/support/lavf_media.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

using namespace tools::vobsub_adjuster;
using kes::test::readBytes;
using kes::test::TempDir;
using kes::test::writeBytes;

namespace {

// Two languages; the default (langidx) is the second one, French.
const std::vector<std::string> TwoLanguages = {
    "# VobSub index file, v7 (do not modify this line!)", // 1
    "size: 720x576",                                      // 2
    "langidx: 1",                                         // 3
    "",                                                   // 4
    "# English",                                          // 5
    "id: en, index: 0",                                   // 6
    "# Vob/Cell ID: 1, 1 (PTS: 0)",                       // 7
    "timestamp: 00:00:05:000, filepos: 000000000",        // 8
    "timestamp: 00:50:00:000, filepos: 000001000",        // 9
    "",                                                   // 10
    "# French",                                           // 11
    "id: fr, index: 1",                                   // 12
    "# Vob/Cell ID: 1, 1 (PTS: 0)",                       // 13
    "timestamp: 00:01:00:000, filepos: 000002000",        // 14
    "# Vob/Cell ID: 2, 1 (PTS: 2800000)",                 // 15
    "timestamp: 00:49:00:000, filepos: 000003000",        // 16
    "# Vob/Cell ID: 3, 1 (PTS: 3000000)",                 // 17
    "timestamp: 00:55:00:500, filepos: 000004000",        // 18
    "timestamp: 01:23:20:000, filepos: 000005000",        // 19
};

std::string crlf(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const auto& line : lines)
        bytes += line + "\r\n";
    return bytes;
}

} // namespace

TEST(VobSubIndex, LanguagesAndDefault) {
    VobSubIndex index;
    index.setLines(TwoLanguages);
    const auto& langs = index.languages();
    ASSERT_EQ(langs.size(), 2u);
    EXPECT_EQ(langs[0].name, "English");
    EXPECT_EQ(langs[0].streamIndex, 0);
    EXPECT_EQ(langs[0].firstLine, 5);
    EXPECT_EQ(langs[0].lastLine, 10);
    EXPECT_EQ(langs[0].startTime, "00:00:05:000");
    EXPECT_EQ(langs[0].firstTimestampLine, 8);
    EXPECT_EQ(langs[1].name, "French");
    EXPECT_EQ(langs[1].firstLine, 11);
    EXPECT_EQ(langs[1].lastLine, 19);
    EXPECT_EQ(langs[1].firstTimestampSeconds, 60);
    EXPECT_EQ(index.langidxLine(), 3);
    EXPECT_EQ(index.organize(), 1);

    index.setDefaultLanguage(0);
    EXPECT_EQ(index.line(3), "langidx: 0");
    EXPECT_EQ(index.organize(), 0);
}

TEST(VobSubIndex, ShiftTouchesOnlyOneLanguage) {
    VobSubIndex index;
    index.setLines(TwoLanguages);
    index.shift(1, -30); // a new start of 00:00:30 for a first subtitle at 00:01:00
    EXPECT_EQ(index.line(8), TwoLanguages[7]);
    EXPECT_EQ(index.line(14), "timestamp: 00:00:30:000, filepos: 000002000");
    EXPECT_EQ(index.line(19), "timestamp: 01:22:50:000, filepos: 000005000");
    index.shift(0, -6);
    EXPECT_EQ(index.line(8), "timestamp: 00:00:00:000, filepos: 000000000");

    index.setLines(TwoLanguages);
    index.scale(1, 23.976 / 25);
    EXPECT_EQ(index.line(14), "timestamp: 00:00:57:542, filepos: 000002000");
    EXPECT_EQ(index.line(9), TwoLanguages[8]);
}

TEST(VobSubIndex, SavesByteExactWithCrLf) {
    TempDir dir;
    const std::string path = dir.file("movie.IDX");
    writeBytes(path, crlf(TwoLanguages));
    VobSubIndex index;
    ASSERT_EQ(index.load(path), IdxLoadStatus::Ok);
    EXPECT_EQ(index.lines(), TwoLanguages);
    index.shift(1, 1.005);
    const std::string adjusted = adjustedIndexPath(path);
    EXPECT_EQ(adjusted, dir.file("movie_adjust.IDX"));
    ASSERT_TRUE(index.save(adjusted));
    auto expected = TwoLanguages;
    expected[13] = "timestamp: 00:01:01:005, filepos: 000002000";
    expected[15] = "timestamp: 00:49:01:005, filepos: 000003000";
    expected[17] = "timestamp: 00:55:01:505, filepos: 000004000";
    expected[18] = "timestamp: 01:23:21:005, filepos: 000005000";
    EXPECT_EQ(readBytes(adjusted), crlf(expected));
    EXPECT_EQ(readBytes(path), crlf(TwoLanguages));
}

// Every language of the second part holds its subtitles from the cut on, moved back by the cut time,
// after the last cell comment before the cut; the chosen language only decides whether the cut is made.
TEST(VobSubIndex, CutForThePart2) {
    VobSubIndex index;
    index.setLines(TwoLanguages);
    const CutResult result = index.cut(1, 3000); // part 1 lasts 50 minutes
    ASSERT_EQ(result.status, CutStatus::Ok);
    const std::vector<std::string> expected = {
        TwoLanguages[0],
        TwoLanguages[1],
        TwoLanguages[2],
        TwoLanguages[3],
        TwoLanguages[4],
        TwoLanguages[5],
        TwoLanguages[6],
        "timestamp: 00:00:00:000, filepos: 000001000", // exactly at the cut
        TwoLanguages[9],
        TwoLanguages[10],
        TwoLanguages[11],
        "# Vob/Cell ID: 3, 1 (PTS: 3000000)", // the last cell comment before the cut
        "timestamp: 00:05:00:500, filepos: 000004000",
        "timestamp: 00:33:20:000, filepos: 000005000",
    };
    EXPECT_EQ(result.lines, expected);
}

TEST(VobSubIndex, CutOfAFirstLanguageCutsTheOthersToo) {
    VobSubIndex index;
    index.setLines(TwoLanguages);
    const CutResult result = index.cut(0, 10);
    ASSERT_EQ(result.status, CutStatus::Ok);
    std::vector<std::string> expected(TwoLanguages.begin(), TwoLanguages.begin() + 7);
    expected.push_back("timestamp: 00:49:50:000, filepos: 000001000");
    expected.insert(expected.end(), TwoLanguages.begin() + 9, TwoLanguages.begin() + 13);
    expected.insert(expected.end(), {"timestamp: 00:00:50:000, filepos: 000002000", TwoLanguages[14],
                                     "timestamp: 00:48:50:000, filepos: 000003000", TwoLanguages[16],
                                     "timestamp: 00:54:50:500, filepos: 000004000",
                                     "timestamp: 01:23:10:000, filepos: 000005000"});
    EXPECT_EQ(result.lines, expected);

    // A language with nothing after the cut keeps its block without a subtitle.
    const CutResult late = index.cut(1, 3200);
    ASSERT_EQ(late.status, CutStatus::Ok);
    expected.assign(TwoLanguages.begin(), TwoLanguages.begin() + 6);
    expected.insert(expected.end(), {TwoLanguages[9], TwoLanguages[10], TwoLanguages[11], TwoLanguages[16],
                                     "timestamp: 00:01:40:500, filepos: 000004000",
                                     "timestamp: 00:30:00:000, filepos: 000005000"});
    EXPECT_EQ(late.lines, expected);
}

// Other programs write no "Vob/Cell" comments and no comment naming the language: the "id:" line is
// followed by the timestamps at once. The part-2 index keeps its "id:" lines all the same.
TEST(VobSubIndex, CutWithoutCellCommentsKeepsTheIdLine) {
    VobSubIndex index;
    index.setLines({"langidx: 0", "# English", "id: en, index: 0", "timestamp: 00:00:01:000, filepos: 0",
                    "timestamp: 00:00:09:000, filepos: 1"});
    const CutResult result = index.cut(0, 5);
    ASSERT_EQ(result.status, CutStatus::Ok);
    EXPECT_EQ(result.lines, (std::vector<std::string>{"langidx: 0", "# English", "id: en, index: 0", "",
                                                      "timestamp: 00:00:04:000, filepos: 1"}));

    index.setLines({"# VobSub index file, v7 (do not modify this line!)", "langidx: 1", "",
                    "id: en, index: 0", "timestamp: 00:00:01:000, filepos: 000000000",
                    "timestamp: 00:00:09:000, filepos: 000000800", "", "id: de, index: 1",
                    "timestamp: 00:00:02:000, filepos: 000001000",
                    "timestamp: 00:00:08:000, filepos: 000001800"});
    ASSERT_EQ(index.languages().size(), 2u);
    EXPECT_EQ(index.languages()[0].name, "en");
    EXPECT_EQ(index.languages()[1].name, "de");
    EXPECT_EQ(index.languages()[0].lastLine, 7);
    EXPECT_EQ(index.languages()[1].firstLine, 8);
    const CutResult second = index.cut(1, 5);
    ASSERT_EQ(second.status, CutStatus::Ok);
    EXPECT_EQ(second.lines, (std::vector<std::string>{
                                "# VobSub index file, v7 (do not modify this line!)", "langidx: 1", "",
                                "id: en, index: 0", "", "timestamp: 00:00:04:000, filepos: 000000800", "",
                                "id: de, index: 1", "", "timestamp: 00:00:03:000, filepos: 000001800"}));
}

// FFmpeg's reading of the part-2 indexes of both layouts (the pictures file may be empty for that).
TEST(VobSubIndex, Part2IndexesAreReadByAnotherProgram) {
    TempDir dir;
    const std::vector<std::string> otherLayout = {"# VobSub index file, v7 (do not modify this line!)",
                                                  "size: 720x576",
                                                  "langidx: 0",
                                                  "",
                                                  "id: en, index: 0",
                                                  "timestamp: 00:00:01:000, filepos: 000000000",
                                                  "timestamp: 00:00:09:000, filepos: 000000800"};
    for (const auto& lines : {TwoLanguages, otherLayout}) {
        VobSubIndex index;
        index.setLines(lines);
        const int language = static_cast<int>(index.languages().size()) - 1;
        const CutResult result = index.cut(language, 5);
        ASSERT_EQ(result.status, CutStatus::Ok);
        index.setLines(result.lines);
        ASSERT_TRUE(index.save(dir.file("movie2.idx")));
        writeBytes(dir.file("movie2.sub"), "");
        const kes::test::LavfProbe probe = kes::test::probeLavf(dir.file("movie2.idx"));
        EXPECT_TRUE(probe.opened);
        EXPECT_EQ(probe.streams.size(), index.languages().size());
    }
}

// The language chosen first may end before the cut while another goes on: part 2 still gets its index,
// with that other language's subtitles.
TEST(VobSubIndex, CutMadeWhenOnlyAnotherLanguageGoesOn) {
    VobSubIndex index;
    index.setLines(TwoLanguages);
    const CutResult result = index.cut(0, 3200); // English ends at 50 minutes
    ASSERT_EQ(result.status, CutStatus::Ok);
    std::vector<std::string> expected(TwoLanguages.begin(), TwoLanguages.begin() + 6);
    expected.insert(expected.end(), {TwoLanguages[9], TwoLanguages[10], TwoLanguages[11], TwoLanguages[16],
                                     "timestamp: 00:01:40:500, filepos: 000004000",
                                     "timestamp: 00:30:00:000, filepos: 000005000"});
    EXPECT_EQ(result.lines, expected);
}

TEST(VobSubIndex, CutThatKeepsNothingIsRefused) {
    VobSubIndex index;
    index.setLines(TwoLanguages);
    EXPECT_EQ(index.cut(1, 6000).status, CutStatus::NothingToKeep);
    EXPECT_EQ(index.cut(5, 10).status, CutStatus::NoLanguage);
    EXPECT_EQ(index.cut(-1, 10).status, CutStatus::NoLanguage);
}

TEST(VobSubIndex, DamagedIndexes) {
    VobSubIndex index;
    // No languages, no langidx: nothing to do, nothing breaks.
    index.setLines({"timestamp: 00:00:01:000", "garbage", "langidx: x"});
    EXPECT_TRUE(index.languages().empty());
    EXPECT_EQ(index.organize(), -1);
    index.shift(0, 5);
    EXPECT_EQ(index.line(1), "timestamp: 00:00:01:000");

    // An "id:" line as the first line, an unreadable stream index, a truncated timestamp that does not
    // count as the start, and a langidx matching no language.
    index.setLines({"id: xx, index: ?", "timestamp: 00:0", "timestamp: 00:00:02:000, filepos: 0",
                    "langidx: 7", "# Short", "id:index:"});
    ASSERT_EQ(index.languages().size(), 2u);
    EXPECT_EQ(index.languages()[0].firstLine, 1);
    EXPECT_EQ(index.languages()[0].streamIndex, -1);
    EXPECT_EQ(index.languages()[0].firstTimestampLine, 3);
    EXPECT_EQ(index.languages()[1].name, "Short");
    EXPECT_EQ(index.languages()[1].streamIndex, -1);
    EXPECT_EQ(index.languages()[1].startTime, NoStartTime);
    EXPECT_EQ(index.organize(), -1);
    EXPECT_EQ(index.cut(1, 3).status, CutStatus::NothingToKeep);
    index.shift(0, 1);
    EXPECT_EQ(index.line(2), "timestamp: 00:0");
    EXPECT_EQ(index.line(3), "timestamp: 00:00:03:000, filepos: 0");
}

TEST(VobSubIndex, FilesThatCannotBeRead) {
    TempDir dir;
    VobSubIndex index;
    EXPECT_EQ(index.load(dir.file("none.idx")), IdxLoadStatus::CannotRead);
    writeBytes(dir.file("lf.idx"), "# English\nid: en, index: 0\ntimestamp: 00:00:01:000, filepos: 0");
    ASSERT_EQ(index.load(dir.file("lf.idx")), IdxLoadStatus::Ok);
    EXPECT_EQ(index.languages().size(), 1u);
    EXPECT_EQ(part2IndexPath("/a.idx/Movie.Idx"), "/a.idx/Movie2.Idx");
    EXPECT_EQ(part2IndexPath("/a/movie.sub"), "/a/movie2.sub");
}
