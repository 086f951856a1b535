// Tonegrab's window in this process: what find mode leaves in its controls, and Stop and Exit while a
// run waits inside the event pump.

#include "tests/trovel/tonegrab_run.h"

#include "trovel/exit_status.h"
#include "trovel/tform1.h"

#include "platform/ui/dialog_script.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <chrono>

namespace kes::test {
namespace {

constexpr auto kWindowTimeout = std::chrono::seconds(60);
// Extraction starts a second after the window shows; the render run then lasts the set's length.
constexpr int kDuringTheRunMs = 1700;

std::string ownFolderOf(const TonegrabFolder& folder) {
    return folder.externDir().string() + "/";
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

} // namespace
} // namespace kes::test
