// The outside-program runner with fake programs: current directory, slices by the file-name rule,
// the window pumping, failed starts, blanks in the program path, and the shutdown.
#include "kes/ext_runner.h"
#include "kes/form1.h"
#include "kes/form1_unit.h"

#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include "platform/core/paths.h"
#include "platform/core/process.h"
#include "platform/ui/application.h"
#include "platform/ui/console_window.h"
#include "platform/ui/dialog_script.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::writeBytes;

constexpr const char* Fake = "kes_fake_tool";

TEST(RunnerNameRule, ConvertersWaitInLongSlices) {
    EXPECT_EQ(waitSliceFor("/p/extern/mpeg2avipx3.exe -b \"/v/vob.lst\" -a"), ConverterSliceMs);
    EXPECT_EQ(waitSliceFor("/p/extern/m2apx3g.exe -b x"), ConverterSliceMs);
    EXPECT_EQ(waitSliceFor("/p/extern/m2apx3go.exe -b x"), ConverterSliceMs);
    EXPECT_EQ(waitSliceFor("/p/extern/mpeg2aviSVE.exe -b x"), ConverterSliceMs);
    EXPECT_EQ(waitSliceFor("/p/extern/m2aPX3g.exe -b x"), ConverterSliceMs);
}

TEST(RunnerNameRule, OtherToolsWaitInShortSlices) {
    EXPECT_EQ(waitSliceFor("/p/extern/ac3dec.exe \"/v/a.VOB\""), ToolSliceMs);
    EXPECT_EQ(waitSliceFor("/p/extern/Tonegrab.exe /v/a.VOB X X X X"), ToolSliceMs);
    EXPECT_EQ(waitSliceFor("/p/extern/winrar.exe a -ep x"), ToolSliceMs);
    EXPECT_EQ(waitSliceFor("rundll32.exe vobsub.dll,Configure vsp.ini"), ToolSliceMs);
    // Only the file name counts, not a folder that holds "2A".
    EXPECT_EQ(runnerProgramName("/home/x2a/extern/ac3dec.exe \"/m2a/v.VOB\""), "AC3DEC.EXE");
    EXPECT_EQ(waitSliceFor("/home/x2a/extern/ac3dec.exe -x"), ToolSliceMs);
    // ".exe" is searched in lower case; without it only the first three characters count.
    EXPECT_EQ(runnerProgramName("rundll32 vobsub.dll,Configure vsp.ini"), "RUN");
    EXPECT_EQ(runnerProgramName("/p/extern/M2APX3G.EXE -b x"), "");
    EXPECT_EQ(runnerProgramName("C:\\x\\mpeg2avipx3.exe -b"), "MPEG2AVIPX3.EXE");
}

TEST(RunnerNameRule, PumpBeforeEverySecondOrEverySixthWait) {
    SlicePump tool(ToolSliceMs);
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(tool.beforeWait());
    SlicePump converter(ConverterSliceMs);
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(converter.beforeWait(), i % 6 == 5) << "wait " << i;
}

class RunnerTest : public ::testing::Test {
protected:
    std::string externDir() const { return platform::core::withTrailingDelim(folder.externDir().string()); }
    // The fake's log lines ("[cwd] [argv0] [args...]").
    std::string logOf(const std::string& program) const {
        const fs::path log = folder.externDir() / (program + ".log");
        return fs::exists(log) ? readBytes(log) : std::string();
    }
    void control(const std::string& program, const std::string& lines) {
        writeBytes(folder.externDir() / (program + ".fake"), lines);
    }
    std::string canonicalExtern() const { return fs::canonical(folder.externDir()).string(); }

    test::ProgramFolder folder;
    std::string startDir = platform::core::currentDir();
};

TEST_F(RunnerTest, RunsInExternAndRestoresTheCurrentDirectory) {
    folder.installFake("ac3dec.exe", Fake);
    control("ac3dec.exe", "write pcm.wav RIFF\\r\\n\nexit 3\n");
    int pumps = 0;
    const RunOutcome outcome = runAndWait(externDir() + "ac3dec.exe \"/v/a b.VOB\" -substream 0x80",
                                          externDir(), startDir, [&] { ++pumps; });

    EXPECT_TRUE(outcome.started);
    EXPECT_EQ(outcome.sliceMs, ToolSliceMs);
    EXPECT_EQ(outcome.exitCode, 3);
    EXPECT_TRUE(outcome.restored);
    EXPECT_EQ(platform::core::currentDir(), startDir);
    EXPECT_EQ(logOf("ac3dec.exe"), "[" + canonicalExtern() + "] [" + externDir() +
                                       "ac3dec.exe] [/v/a b.VOB] [-substream] [0x80]\n");
    // Relative output names land in extern/.
    EXPECT_EQ(readBytes(folder.externDir() / "pcm.wav"), "RIFF\r\n");
    EXPECT_GE(pumps, 1);
}

TEST_F(RunnerTest, ConverterIsPumpedOnlyEverySixthSlice) {
    // Both run about 2.5 s: the tool is pumped before each of its one-second waits, the converter
    // not at all before its sixth three-second wait.
    folder.installFake("Tonegrab.exe", Fake);
    control("Tonegrab.exe", "sleep 2500\n");
    int toolPumps = 0;
    const RunOutcome tool = runAndWait(externDir() + "Tonegrab.exe /v/a.VOB X X X X", externDir(), startDir,
                                       [&] { ++toolPumps; });
    EXPECT_EQ(tool.sliceMs, ToolSliceMs);
    EXPECT_GE(toolPumps, 3);

    folder.installFake("mpeg2avipx3.exe", Fake);
    control("mpeg2avipx3.exe", "sleep 2500\n");
    int converterPumps = 0;
    const RunOutcome converter = runAndWait(externDir() + "mpeg2avipx3.exe -b \"x/vob.lst\" -a", externDir(),
                                            startDir, [&] { ++converterPumps; });
    EXPECT_TRUE(converter.started);
    EXPECT_EQ(converter.sliceMs, ConverterSliceMs);
    EXPECT_EQ(converterPumps, 0);
    EXPECT_FALSE(logOf("mpeg2avipx3.exe").empty());
}

// A console that records what the program wrote and asks for the end once it has seen `until`.
class RecordingConsole : public RunConsole {
public:
    explicit RecordingConsole(std::string until) : until_(std::move(until)) {}
    void begin() override { ++begun; }
    void output(std::string_view bytes) override { text += bytes; }
    bool endAsked() const override { return !until_.empty() && text.find(until_) != std::string::npos; }
    int begun = 0;
    std::string text;

private:
    std::string until_;
};

TEST_F(RunnerTest, ConsoleShowsTheOutputAndEndsAProgramThatNeverEnds) {
    folder.installFake("ac3dec.exe", Fake);
    control("ac3dec.exe", "print decoding\\r\\n\nsleep 600000\n");
    RecordingConsole console("decoding\r\n");
    const auto start = std::chrono::steady_clock::now();
    const RunOutcome outcome = runAndWait(
        externDir() + "ac3dec.exe x", externDir(), startDir, [] {}, &console);
    EXPECT_TRUE(outcome.started);
    EXPECT_TRUE(outcome.endedByUser);
    EXPECT_EQ(console.begun, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(platform::core::currentDir(), startDir);

    // One that ignores the request is killed once the grace period is over.
    control("ac3dec.exe", "ignoreterm\nprint ready\\n\nsleep 600000\n");
    RecordingConsole stubborn("ready\n");
    const RunOutcome killed = runAndWait(
        externDir() + "ac3dec.exe x", externDir(), startDir, [] {}, &stubborn);
    EXPECT_TRUE(killed.endedByUser);
    EXPECT_EQ(killed.exitCode, 128 + SIGKILL);

    // A program that ends by itself is not ended, and its last words reach the console.
    control("ac3dec.exe", "print done\nexit 4\n");
    RecordingConsole quiet({});
    const RunOutcome normal = runAndWait(
        externDir() + "ac3dec.exe x", externDir(), startDir, [] {}, &quiet);
    EXPECT_FALSE(normal.endedByUser);
    EXPECT_EQ(normal.exitCode, 4);
    EXPECT_EQ(quiet.text, "done");

    // Nothing started, no console.
    RecordingConsole none({});
    EXPECT_FALSE(runAndWait(
                     externDir() + "azid.exe", externDir(), startDir, [] {}, &none)
                     .started);
    EXPECT_EQ(none.begun, 0);
}

TEST_F(RunnerTest, ProgramNameIsFoundWithoutRegardToCase) {
    folder.installFake("m2apx3g.exe", Fake);
    const RunOutcome outcome = runAndWait(externDir() + "m2aPX3g.exe -b x", externDir(), startDir, {});
    EXPECT_TRUE(outcome.started);
    EXPECT_EQ(outcome.sliceMs, ConverterSliceMs);
}

TEST_F(RunnerTest, MissingProgramStartsNothingAndRestoresTheDirectory) {
    const RunOutcome outcome = runAndWait(externDir() + "azid.exe -c normal", externDir(), startDir, {});
    EXPECT_FALSE(outcome.started);
    EXPECT_TRUE(outcome.restored);
    EXPECT_EQ(platform::core::currentDir(), startDir);
}

TEST(RunnerBlank, ProgramPathWithABlank) {
    test::TempDir base("kes-runner");
    const fs::path extern_ = base.path() / "my programs" / "extern";
    fs::create_directories(extern_);
    fs::copy_file(test::fakesDir() / Fake, extern_ / "winrar.exe");
    const std::string externDir = extern_.string() + "/";
    const std::string startDir = platform::core::currentDir();

    const RunOutcome outcome =
        runAndWait(externDir + "winrar.exe a -ep \"/o/m.rar\"", externDir, startDir, {});
    ASSERT_TRUE(outcome.started);
    EXPECT_EQ(readBytes(extern_ / "winrar.exe.log"), "[" + fs::canonical(extern_).string() + "] [" +
                                                         externDir + "winrar.exe] [a] [-ep] [/o/m.rar]\n");
    EXPECT_EQ(platform::core::currentDir(), startDir);
}

// The window's runner: the failed start is reported, and the shutdown reaches only the recorder.
class FormRunnerTest : public ::testing::Test {
protected:
    FormRunnerTest() {
        const fs::path previous = fs::current_path();
        fs::current_path(folder.path());
        form = std::make_unique<TForm1>();
        fs::current_path(previous);
        script.clearShown();
    }
    ~FormRunnerTest() override { fs::current_path(startDir); }

    platform::ui::testing::DialogScript script;
    test::ProgramFolder folder;
    std::string startDir = platform::core::currentDir();
    std::unique_ptr<TForm1> form;
};

TEST_F(FormRunnerTest, FailedStartIsShownAndReturned) {
    ExtCommand = form->externDir() + "bbdmux.exe \"/v/a.VOB\" 0xbd";
    EXPECT_FALSE(form->RunExtProg());
    EXPECT_EQ(script.texts("error"),
              (std::vector<std::string>{"Can't start the program :\r\n" + ExtCommand}));
    EXPECT_EQ(platform::core::currentDir(), StartDir);

    // "Use that list" ticked is no multi-rip: a single rip still shows it.
    script.clearShown();
    form->usemulti.setCheckedSilent(true);
    EXPECT_FALSE(form->RunExtProg());
    EXPECT_EQ(script.texts("error").size(), 1u);

    // A multi-rip keeps the text for its log and shows nothing.
    script.clearShown();
    TForm1::Unattended unattended(*form);
    EXPECT_FALSE(form->RunExtProg());
    EXPECT_TRUE(script.shown().empty());
    EXPECT_EQ(unattended.said(), std::vector<std::string>{"Can't start the program : " + ExtCommand});
}

TEST_F(FormRunnerTest, RunDisablesTheJobStartersUntilItEnds) {
    folder.installFake("ac3dec.exe", Fake);
    writeBytes(folder.externDir() / "ac3dec.exe.fake", "sleep 1500\n");
    bool launchEnabledDuringRun = true;
    form->Timer1.onTimer = [&] { launchEnabledDuringRun = form->Launch.enabled(); };
    form->Timer1.setInterval(100);
    ExtCommand = form->externDir() + "ac3dec.exe x";
    EXPECT_TRUE(form->RunExtProg());
    EXPECT_FALSE(launchEnabledDuringRun);
    EXPECT_TRUE(form->Launch.enabled());
    EXPECT_EQ(platform::core::currentDir(), StartDir);
}

TEST_F(FormRunnerTest, CloseDuringAJobWaitsForItsEnd) {
    folder.installFake("ac3dec.exe", Fake);
    writeBytes(folder.externDir() / "ac3dec.exe.fake", "sleep 1500\n");
    writeBytes(folder.externDir() / "sn.fnd", "\x02");
    bool closedDuringRun = false;
    form->Timer1.onTimer = [&] {
        form->Timer1.setEnabled(false);
        form->close();
        closedDuringRun = !fs::exists(folder.externDir() / "sn.fnd");
    };
    form->Timer1.setInterval(100);
    ExtCommand = form->externDir() + "ac3dec.exe x";
    form->RunExtProg();
    EXPECT_FALSE(closedDuringRun);
    EXPECT_FALSE(fs::exists(folder.externDir() / "sn.fnd")); // the close ran once the run was over
}

TEST_F(FormRunnerTest, ClosingTheProgramsWindowEndsIt) {
    folder.installFake("Tonegrab.exe", Fake);
    writeBytes(folder.externDir() / "Tonegrab.exe.fake", "print working\\n\nsleep 600000\n");
    ExtCommand = form->externDir() + "Tonegrab.exe /v/a.VOB X X X X";
    std::string caption;
    std::string text;
    form->Timer1.onTimer = [&] {
        const auto consoles = platform::ui::ConsoleWindow::open();
        if (consoles.size() != 1 || consoles[0]->text().empty())
            return;
        form->Timer1.setEnabled(false);
        caption = consoles[0]->caption();
        text = consoles[0]->text();
        consoles[0]->widget()->close(); // as the user closes it
    };
    form->Timer1.setInterval(50);
    form->Timer1.setEnabled(true);
    EXPECT_TRUE(form->RunExtProg());
    EXPECT_TRUE(form->lastRun().endedByUser);
    EXPECT_EQ(caption, ExtCommand);
    EXPECT_EQ(text, "working\n");
    EXPECT_TRUE(platform::ui::ConsoleWindow::open().empty()); // gone with its program
    EXPECT_TRUE(script.shown().empty());
    EXPECT_EQ(platform::core::currentDir(), StartDir);
}

// A hung converter: its slices pump the window only every 18 s, but its console is painted from the
// start and takes its close at once.
TEST_F(FormRunnerTest, AHungConvertersConsoleAnswersWithinASecond) {
    using Clock = std::chrono::steady_clock;
    folder.installFake("mpeg2avipx3.exe", Fake);
    writeBytes(folder.externDir() / "mpeg2avipx3.exe.fake", "print working\\n\nsleep 600000\n");
    ExtCommand = form->externDir() + "mpeg2avipx3.exe -b \"x/vob.lst\" -a";
    form->show();
    std::string textAtClose;
    bool paintedAtClose = false;
    Clock::time_point closedAt{};
    QTimer closer;
    closer.setInterval(50);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        const auto consoles = platform::ui::ConsoleWindow::open();
        if (consoles.size() != 1 || consoles[0]->text().empty())
            return;
        closer.stop();
        QWidget* console = consoles[0]->widget();
        textAtClose = consoles[0]->text();
        paintedAtClose =
            console->isVisible() && console->windowHandle() && console->windowHandle()->isExposed();
        closedAt = Clock::now();
        console->close(); // as the user closes it
    });
    closer.start();
    const Clock::time_point start = Clock::now();
    EXPECT_TRUE(form->RunExtProg());
    const Clock::time_point end = Clock::now();
    EXPECT_TRUE(form->lastRun().endedByUser);
    EXPECT_EQ(textAtClose, "working\n");
    EXPECT_TRUE(paintedAtClose);
    EXPECT_LT(end - closedAt, std::chrono::seconds(1));
    EXPECT_LT(end - start, std::chrono::seconds(3));
    EXPECT_TRUE(platform::ui::ConsoleWindow::open().empty());
}

// A program that ignores the request to end is killed after the grace period; the windows stay alive
// all the while.
TEST_F(FormRunnerTest, EndingAProgramKeepsTheWindowsAlive) {
    using Clock = std::chrono::steady_clock;
    folder.installFake("Tonegrab.exe", Fake);
    writeBytes(folder.externDir() / "Tonegrab.exe.fake", "ignoreterm\nprint ready\\n\nsleep 600000\n");
    ExtCommand = form->externDir() + "Tonegrab.exe /v/a.VOB X X X X";
    form->show();
    Clock::time_point closedAt{};
    int ticksWhileEnding = 0;
    QTimer ticker;
    ticker.setInterval(50);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (closedAt != Clock::time_point{}) {
            ++ticksWhileEnding;
            return;
        }
        const auto consoles = platform::ui::ConsoleWindow::open();
        if (consoles.size() == 1 && !consoles[0]->text().empty()) {
            closedAt = Clock::now();
            consoles[0]->widget()->close();
        }
    });
    ticker.start();
    EXPECT_TRUE(form->RunExtProg());
    const Clock::time_point end = Clock::now();
    EXPECT_TRUE(form->lastRun().endedByUser);
    EXPECT_EQ(form->lastRun().exitCode, 128 + SIGKILL);
    EXPECT_GE(end - closedAt, std::chrono::milliseconds(EndGraceMs));
    // Two seconds of grace: the timer ran through them (at every keep-alive step), not after them.
    EXPECT_GE(ticksWhileEnding, 10);
}

// The user's clicks and keys on the main window wait for the runner's own pump, in their order;
// none is lost.
TEST_F(FormRunnerTest, InputToTheMainWindowWaitsForThePump) {
    folder.installFake("mpeg2avipx3.exe", Fake);
    writeBytes(folder.externDir() / "mpeg2avipx3.exe.fake", "sleep 1500\n");
    ExtCommand = form->externDir() + "mpeg2avipx3.exe -b \"x/vob.lst\" -a";
    form->show();
    QWindow* window = form->widget()->windowHandle();
    ASSERT_NE(window, nullptr);
    std::vector<int> keys;
    class KeyCounter : public QObject {
    public:
        explicit KeyCounter(std::vector<int>& keys) : keys_(keys) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::KeyPress)
                keys_.push_back(static_cast<QKeyEvent*>(event)->key());
            return false;
        }

    private:
        std::vector<int>& keys_;
    } counter(keys);
    window->installEventFilter(&counter);
    bool typedDuringRun = false;
    QTimer::singleShot(300, [&] {
        for (const int key : {Qt::Key_A, Qt::Key_B}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(window, &press);
        }
        typedDuringRun = true;
    });
    EXPECT_TRUE(form->RunExtProg());
    EXPECT_TRUE(typedDuringRun);
    EXPECT_TRUE(keys.empty()); // a converter's window is pumped every sixth slice only
    platform::ui::processMessages();
    EXPECT_EQ(keys, (std::vector<int>{Qt::Key_A, Qt::Key_B}));
    window->removeEventFilter(&counter);
}

TEST_F(FormRunnerTest, ShutdownReachesOnlyTheRecorder) {
    const char* log = std::getenv("KES_RECORDER_LOG");
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(platform::core::shutdownCommand(), (test::fakesDir() / "kes_recorder").string() + " shutdown");
    const std::string before = fs::exists(log) ? readBytes(log) : std::string();

    EXPECT_TRUE(form->ShutdownWindows());
    std::string after;
    for (int i = 0; i < 100 && after.size() <= before.size(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        after = fs::exists(log) ? readBytes(log) : std::string();
    }
    ASSERT_GT(after.size(), before.size());
    EXPECT_NE(after.substr(before.size()).find("[shutdown]"), std::string::npos);
}

} // namespace
} // namespace kes
