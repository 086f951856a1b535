// Tonegrab's window in this process: what find mode leaves in its controls, and Stop and Exit while a
// run waits inside the event pump.

#include "tests/trovel/tonegrab_run.h"

#include "trovel/exit_status.h"
#include "trovel/tform1.h"

#include "platform/ui/dialog_script.h"
#include "tests/support/sanitized.h"
#include "tests/support/vobgen.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <chrono>

namespace kes::test {
namespace {

constexpr auto kWindowTimeout = std::chrono::seconds(60);
// Extraction starts as soon as the window shows; the render run then lasts the set's length.
constexpr int kDuringTheRunMs = 700;

std::string ownFolderOf(const TonegrabFolder& folder) {
    return folder.externDir().string() + "/";
}

// Pumps events for a while.
void pumpFor(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Pumps events until the window is closed, or the time is up.
bool waitForClose(trovel::TForm1& window) {
    const auto until = std::chrono::steady_clock::now() + kWindowTimeout;
    while (window.isShowing()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

TEST(TonegrabWindow, FindModeFillsTheStreamControlsAndPutsTheRadiosBack) {
    TonegrabFolder folder;
    platform::ui::testing::DialogScript script;
    trovel::TForm1 window(ownFolderOf(folder), {firstVob().string(), "X", "X", "X", "X"});
    window.show();
    ASSERT_TRUE(waitForClose(window));
    EXPECT_EQ(window.ExitStatus, trovel::kExitDone);
    EXPECT_EQ(window.nbstreams.caption(), "3");
    EXPECT_EQ(window.ac3choose.items(), (std::vector<std::string>{"0x80", "0x81", "0x82"}));
    EXPECT_EQ(window.ac3choose.text(), "0x80");
    EXPECT_TRUE(window.Render.checked());
    EXPECT_FALSE(window.WriteFile.checked());
    EXPECT_EQ(window.SourceFN.text(), (generatedSetFolder() / "vob.lst").string());
    EXPECT_TRUE(script.shown().empty());
}

TEST(TonegrabWindow, StopDuringAPlayEndsTheRunAndAnotherCloseIsHarmless) {
    TonegrabFolder folder;
    platform::ui::testing::DialogScript script;
    trovel::TForm1 window(ownFolderOf(folder), {firstVob().string(), "X", "0", "48", "X"});
    bool stoppedWhileRunning = false;
    QTimer::singleShot(kDuringTheRunMs, [&] {
        stoppedWhileRunning = static_cast<bool>(window.graph().GraphBuilder);
        window.Stop.click();
    });
    window.show();
    ASSERT_TRUE(waitForClose(window));
    EXPECT_TRUE(stoppedWhileRunning);
    EXPECT_EQ(window.ExitStatus, trovel::kExitStopped);
    EXPECT_FALSE(window.graph().GraphBuilder);
    window.Stop.click();
    window.Button4.click();
    EXPECT_EQ(window.ExitStatus, trovel::kExitStopped);
    EXPECT_TRUE(script.shown().empty());
}

TEST(TonegrabWindow, ExitDuringAPlayClosesOnce) {
    TonegrabFolder folder;
    platform::ui::testing::DialogScript script;
    trovel::TForm1 window(ownFolderOf(folder), {firstVob().string(), "X", "1", "48", "X"});
    bool exitedWhileRunning = false;
    QTimer::singleShot(kDuringTheRunMs, [&] {
        exitedWhileRunning = static_cast<bool>(window.graph().GraphBuilder);
        window.Button4.click();
    });
    window.show();
    ASSERT_TRUE(waitForClose(window));
    EXPECT_TRUE(exitedWhileRunning);
    EXPECT_EQ(window.ExitStatus, trovel::kExitStopped);
    EXPECT_FALSE(window.graph().GraphBuilder);
    window.close();
}

double currentPosition(trovel::TForm1& window) {
    double position = -1.0;
    if (window.graph().MediaPosition)
        window.graph().MediaPosition->get_CurrentPosition(&position);
    return position;
}

TEST(TonegrabWindow, ForwardWhilePlayingAVariableRateSetMovesOnToTheTimeAsked) {
    // 40 s whose first 10 s take few bytes and the next 10 s many: a position in proportion to the
    // bytes would be seconds away from the time.
    TempDir dir;
    VobSpec spec;
    spec.seconds = 40.0;
    spec.audio = {{VobAudioKind::Ac3, 0x80, 2, 48000, 16, 192000, 440.0}};
    spec.videoMaker = variableRateVideo({{10.0, 20000}, {10.0, 1200000}});
    spec.packsPerFile = 4000;
    const auto set = writeVobSet(dir.path(), spec);
    TonegrabFolder folder;
    platform::ui::testing::DialogScript script;
    trovel::TForm1 window(ownFolderOf(folder), {set.files[0].string(), "X", "0", "48", "X"});
    constexpr double kStep = 1.0;      // a fortieth of the duration
    constexpr double kFrame = 0.032;   // one AC3 frame
    constexpr double kReadAhead = 3.0; // what the filters hold before the renderer plays it
    std::vector<double> asked, reached;
    QTimer::singleShot(kDuringTheRunMs, [&] {
        for (int i = 0; i < 2 && window.graph().MediaPosition; ++i) {
            const auto clicked = std::chrono::steady_clock::now();
            const double before = currentPosition(window);
            window.fwd.click();
            asked.push_back(currentPosition(window));
            // The position is the step from where it was, within the frame it lands in; the set plays
            // on while the click runs. Under a sanitizer the filters can have moved it on by as much
            // as they read ahead before it is read back.
            const double took =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - clicked).count();
            const double ahead = kes::test::kSanitized ? kReadAhead : took + kFrame;
            EXPECT_GE(asked.back(), before + kStep - kFrame);
            EXPECT_LE(asked.back(), before + kStep + ahead + 0.001);
            pumpFor(300);
            reached.push_back(currentPosition(window));
        }
        window.Stop.click();
    });
    window.show();
    ASSERT_TRUE(waitForClose(window));
    ASSERT_EQ(reached.size(), 2u);
    for (size_t i = 0; i < reached.size(); ++i) {
        EXPECT_GE(reached[i], asked[i] - kFrame) << i;
        EXPECT_LT(reached[i], asked[i] + kReadAhead) << i;
    }
    EXPECT_GT(asked[1], asked[0]);
    EXPECT_TRUE(script.shown().empty());
}

TEST(TonegrabWindow, FindModeCountsAStreamThatBeginsAfterTheFirstEightMebibytes) {
    // 10 s of busy pictures with one AC3 stream, then a second one joins.
    TempDir dir;
    VobSpec lead;
    lead.seconds = 10.0;
    lead.videoBytesPerSecond = 1'000'000;
    lead.audio = {{VobAudioKind::Ac3, 0x80, 2, 48000, 16, 192000, 440.0}};
    VobSpec rest = lead;
    rest.seconds = 1.0;
    rest.firstPts = lead.firstPts + 10 * 90000;
    rest.audio.push_back({VobAudioKind::Ac3, 0x81, 2, 48000, 16, 192000, 880.0});
    const auto first = makeProgramStream(lead).bytes;
    const auto second = makeProgramStream(rest).bytes;
    ASSERT_GT(first.size(), size_t{8} * 1024 * 1024);
    writeBytes(dir.file("VTS_01_1.VOB"), std::string(first.begin(), first.end()));
    writeBytes(dir.file("VTS_01_2.VOB"), std::string(second.begin(), second.end()));
    TonegrabFolder folder;
    platform::ui::testing::DialogScript script;
    trovel::TForm1 window(ownFolderOf(folder), {dir.file("VTS_01_1.VOB"), "X", "X", "X", "X"});
    window.show();
    ASSERT_TRUE(waitForClose(window));
    EXPECT_EQ(window.nbstreams.caption(), "2");
    EXPECT_EQ(readBytes(folder.externDir() / "sn.fnd"), std::string(1, '\x02'));
}

} // namespace
} // namespace kes::test
