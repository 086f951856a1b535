#include "tools/vobsub_adjuster/tvsub.h"

#include "tests/support/temp_dir.h"
#include "tests/tools/synchronizer/tiny_avi.h"

#include "platform/ui/dialog_script.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tools::vobsub_adjuster;
using kes::test::readBytes;
using kes::test::TempDir;
using kes::test::tinyAvi;
using kes::test::TinyAviSpec;
using kes::test::writeBytes;

namespace {

const std::vector<std::string> Index = {
    "# VobSub index file, v7 (do not modify this line!)",
    "langidx: 0",
    "# English",
    "id: en, index: 0",
    "# Vob/Cell ID: 1, 1 (PTS: 0)",
    "timestamp: 00:00:00:500, filepos: 000000000",
    "timestamp: 00:00:01:500, filepos: 000000800",
    "# Vob/Cell ID: 2, 1 (PTS: 200000)",
    "timestamp: 00:00:03:000, filepos: 000001000",
    "",
    "# German",
    "id: de, index: 1",
    "# Vob/Cell ID: 1, 1 (PTS: 0)",
    "timestamp: 00:01:00:000, filepos: 000002000",
    "timestamp: 00:02:00:000, filepos: 000003000",
};

std::string crlf(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const auto& line : lines)
        bytes += line + "\r\n";
    return bytes;
}

// 50 frames at 25 fps (2 s), key frames at 0 and 25, every frame different.
std::string part1Avi() {
    TinyAviSpec spec;
    for (int i = 0; i < 50; ++i)
        spec.frames.push_back("frame" + std::to_string(100 + i));
    spec.frames.erase(spec.frames.begin());
    spec.keyFrames.assign(50, false);
    spec.keyFrames[0] = spec.keyFrames[25] = true;
    return tinyAvi(spec);
}

struct AdjusterFixture : ::testing::Test {
    platform::ui::testing::DialogScript script;
    TempDir dir;
    std::string idx = dir.file("movie.idx");
    std::string avi1 = dir.file("movie.avi");

    AdjusterFixture() {
        writeBytes(idx, crlf(Index));
        writeBytes(avi1, part1Avi());
    }
};

} // namespace

TEST_F(AdjusterFixture, BatchCutWritesPart2AndCloses) {
    TVSUB window;
    window.Edit1.setText(idx);
    window.BatchMode = true;
    window.f1.setText(avi1);
    EXPECT_EQ(window.t1.caption(), "Length : 00:00:02:000");
    window.show();
    window.Button5Click();
    EXPECT_FALSE(window.isShowing());
    EXPECT_TRUE(script.shown().empty());
    const std::vector<std::string> expected = {
        Index[0],
        Index[1],
        Index[2],
        Index[3],
        "# Vob/Cell ID: 2, 1 (PTS: 200000)",
        "timestamp: 00:00:01:000, filepos: 000001000",
        "",
        "# German",
        "id: de, index: 1",
        "# Vob/Cell ID: 1, 1 (PTS: 0)",
        "timestamp: 00:00:58:000, filepos: 000002000",
        "timestamp: 00:01:58:000, filepos: 000003000",
    };
    EXPECT_EQ(readBytes(dir.file("movie2.idx")), crlf(expected));
    EXPECT_EQ(readBytes(idx), crlf(Index));
}

// A clip after the movie's last frame in the first part: the second part starts where the movie does.
TEST_F(AdjusterFixture, BatchCutLeavesTheClipOutOfThePart1Length) {
    TVSUB window;
    window.Edit1.setText(idx);
    window.BatchMode = true;
    window.f1.setText(avi1);
    window.ClipSeconds = 0.5;
    window.show();
    window.Button5Click();
    EXPECT_TRUE(script.shown().empty());
    const std::vector<std::string> expected = {
        Index[0],
        Index[1],
        Index[2],
        Index[3],
        Index[4],
        "timestamp: 00:00:00:000, filepos: 000000800",
        Index[7],
        "timestamp: 00:00:01:500, filepos: 000001000",
        "",
        "# German",
        "id: de, index: 1",
        "# Vob/Cell ID: 1, 1 (PTS: 0)",
        "timestamp: 00:00:58:500, filepos: 000002000",
        "timestamp: 00:01:58:500, filepos: 000003000",
    };
    EXPECT_EQ(readBytes(dir.file("movie2.idx")), crlf(expected));
}

// A batch cut shows no box: what went wrong is left for the rip to read.
TEST_F(AdjusterFixture, BatchCutThatFailsStillClosesWithoutABox) {
    TVSUB window;
    window.BatchMode = true;
    window.Edit1.setText(idx);
    window.f1.setText(dir.file("missing.avi"));
    window.show();
    window.Button5Click();
    EXPECT_FALSE(window.isShowing());
    EXPECT_TRUE(script.shown().empty());
    EXPECT_EQ(window.BatchProblem, "Can't find matching frames !");
    EXPECT_FALSE(window.CutWritten);
    EXPECT_FALSE(std::filesystem::exists(dir.file("movie2.idx")));
}

// The default language (English) ends at 3 s; German goes on to 2 minutes. A part 1 of 10 s still
// gives part 2 its index, with the German subtitles; one of 200 s leaves no subtitle to part 2, which
// is no problem of a batch cut (no index, no box), and only an interactive cut says so.
TEST_F(AdjusterFixture, BatchCutFollowsEveryLanguage) {
    const auto movieOf = [this](int frames) {
        TinyAviSpec spec;
        spec.frames.assign(static_cast<size_t>(frames), "f");
        spec.keyFrames.assign(static_cast<size_t>(frames), true);
        writeBytes(avi1, tinyAvi(spec));
    };
    movieOf(250);
    {
        TVSUB window;
        window.BatchMode = true;
        window.Edit1.setText(idx);
        window.f1.setText(avi1);
        window.show();
        window.Button5Click();
        EXPECT_TRUE(window.CutWritten);
        EXPECT_TRUE(window.BatchProblem.empty());
    }
    EXPECT_TRUE(script.shown().empty());
    EXPECT_EQ(
        readBytes(dir.file("movie2.idx")),
        crlf({Index[0], Index[1], Index[2], Index[3], "", Index[10], Index[11], Index[12],
              "timestamp: 00:00:50:000, filepos: 000002000", "timestamp: 00:01:50:000, filepos: 000003000"}));

    std::filesystem::remove(dir.file("movie2.idx"));
    movieOf(5000);
    for (const bool batch : {true, false}) {
        TVSUB window;
        window.BatchMode = batch;
        window.Edit1.setText(idx);
        window.f1.setText(avi1);
        window.show();
        window.Button5Click();
        EXPECT_FALSE(window.CutWritten);
        EXPECT_TRUE(window.BatchProblem.empty());
        if (!batch)
            window.close();
    }
    EXPECT_EQ(script.texts("error"), std::vector<std::string>{"No subtitle found after the cut !"});
    EXPECT_FALSE(std::filesystem::exists(dir.file("movie2.idx")));
}

TEST_F(AdjusterFixture, LoadingChoosesTheDefaultLanguage) {
    TVSUB window;
    EXPECT_FALSE(window.Button5.enabled());
    window.Edit1.setText(idx);
    EXPECT_TRUE(window.Button5.enabled());
    EXPECT_EQ(window.lng.items(), (std::vector<std::string>{"English", "German"}));
    EXPECT_EQ(window.deflng.caption(), "English");
    EXPECT_EQ(window.stime.caption(), "00:00:00:500");
    EXPECT_EQ(window.mSec.text(), "500"); // the start time was copied

    window.newstarttime.setChecked(true);
    window.lng.setItemIndex(1);
    EXPECT_EQ(window.currentLanguage(), 1);
    EXPECT_EQ(window.deflng.caption(), "German");
    EXPECT_EQ(window.index().line(2), "langidx: 1");
    EXPECT_EQ(window.Min.text(), "01");
}

TEST_F(AdjusterFixture, NewStartTimeMovesTheFirstSubtitle) {
    TVSUB window;
    window.Edit1.setText(idx);
    window.newstarttime.setChecked(true);
    window.lng.setItemIndex(1);
    window.Hour.setText("0");
    window.Min.setText("0");
    window.Sec.setText("30");
    window.mSec.setText("5");
    window.Button2Click();
    EXPECT_EQ(window.mSec.text(), "500");
    const std::string adjusted = dir.file("movie_adjust.idx");
    EXPECT_EQ(script.texts("information"), std::vector<std::string>{"File : " + adjusted + "\r\nsaved !"});
    auto expected = Index;
    expected[1] = "langidx: 1";
    expected[13] = "timestamp: 00:00:30:500, filepos: 000002000";
    expected[14] = "timestamp: 00:01:30:500, filepos: 000003000";
    EXPECT_EQ(readBytes(adjusted), crlf(expected));
    EXPECT_EQ(readBytes(idx), crlf(Index));
}

TEST_F(AdjusterFixture, NegativeDelayStopsAtZero) {
    TVSUB window;
    window.Edit1.setText(idx);
    window.itsdelay.setChecked(true);
    window.Sign.setText("-");
    window.Button7Click();
    window.Sec.setText("2");
    window.Button2Click();
    auto expected = Index;
    expected[5] = "timestamp: 00:00:00:000, filepos: 000000000";
    expected[6] = "timestamp: 00:00:00:000, filepos: 000000800";
    expected[8] = "timestamp: 00:00:01:000, filepos: 000001000";
    EXPECT_EQ(readBytes(dir.file("movie_adjust.idx")), crlf(expected));
}

TEST_F(AdjusterFixture, FrameRateChange) {
    TVSUB window;
    window.Edit1.setText(idx);
    window.fps1.setText("2,5");
    window.changefpsClick();
    EXPECT_EQ(script.texts("error"), std::vector<std::string>{"2,5 is not a numerical value !"});
    EXPECT_FALSE(std::filesystem::exists(dir.file("movie_adjust.idx")));

    window.fps1.setText("23.976");
    window.fps2.setText("25");
    window.changefpsClick();
    auto expected = Index;
    expected[8] = "timestamp: 00:00:02:877, filepos: 000001000";
    expected[5] = "timestamp: 00:00:00:480, filepos: 000000000";
    expected[6] = "timestamp: 00:00:01:439, filepos: 000000800";
    EXPECT_EQ(readBytes(dir.file("movie_adjust.idx")), crlf(expected));
    EXPECT_EQ(window.stime.caption(), "00:00:00:480");
}

TEST_F(AdjusterFixture, OverlappingPartsAreAlignedOnTheMatchingFrame) {
    TinyAviSpec spec;
    spec.frames = {"frame125", "frame126"}; // part 1's key frame 25, at 1 s
    writeBytes(dir.file("movie_2.avi"), tinyAvi(spec));
    TVSUB window;
    window.Edit1.setText(idx);
    window.f1.setText(avi1);
    window.overlap.setChecked(true);
    window.f2.setText(dir.file("missing.avi"));
    window.Button5Click();
    EXPECT_EQ(script.texts("error"),
              std::vector<std::string>{"File : " + dir.file("missing.avi") + "\r\nDoes not exist !"});

    window.f2.setText(dir.file("movie_2.avi"));
    window.Button5Click();
    const std::vector<std::string> expected = {
        Index[0],
        Index[1],
        Index[2],
        Index[3],
        "# Vob/Cell ID: 1, 1 (PTS: 0)",
        "timestamp: 00:00:00:500, filepos: 000000800",
        "# Vob/Cell ID: 2, 1 (PTS: 200000)",
        "timestamp: 00:00:02:000, filepos: 000001000",
        Index[9],
        Index[10],
        Index[11],
        Index[12],
        "timestamp: 00:00:59:000, filepos: 000002000",
        "timestamp: 00:01:59:000, filepos: 000003000",
    };
    EXPECT_EQ(readBytes(dir.file("movie2.idx")), crlf(expected));
    EXPECT_EQ(script.texts("information").size(), 1u);
}

TEST_F(AdjusterFixture, DamagedInputsAreReported) {
    TVSUB window;
    writeBytes(dir.file("junk.avi"), "junk");
    window.f1.setText(dir.file("junk.avi"));
    EXPECT_EQ(script.texts("error"), std::vector<std::string>{"No video stream found !"});
    EXPECT_EQ(window.t1.caption(), "Length : 00:00:00:000");

    writeBytes(dir.file("empty.idx"), "");
    window.Edit1.setText(dir.file("empty.idx"));
    window.Button2Click();
    EXPECT_EQ(script.texts("error").back(), "No language selected !");
    EXPECT_FALSE(std::filesystem::exists(dir.file("empty_adjust.idx")));

    window.Button8Click();
    EXPECT_EQ(script.texts("error").back(), "File : " + dir.file("empty.avi") + " doesn't exist");
}

TEST_F(AdjusterFixture, KeyFilters) {
    TVSUB window;
    auto typed = [](platform::ui::Edit& edit, char key) {
        edit.onKeyPress(key);
        return key;
    };
    window.mSec.setText("12");
    EXPECT_EQ(typed(window.mSec, '3'), '3');
    window.mSec.setText("123");
    EXPECT_EQ(typed(window.mSec, '4'), 0);
    EXPECT_EQ(typed(window.mSec, '\b'), '\b');
    EXPECT_EQ(typed(window.Sign, '5'), 0);
    EXPECT_EQ(typed(window.Sign, '-'), '-');
    EXPECT_EQ(typed(window.Hour, 'x'), 0);
}
