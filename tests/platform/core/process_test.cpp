#include "platform/core/clock.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/process.h"

#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace platform::core;
using kes::test::ProgramFolder;
using kes::test::TempDir;
using kes::test::writeBytes;
namespace fs = std::filesystem;
using Args = std::vector<std::string>;

namespace {

// Restores an environment variable when the scope ends.
class EnvGuard {
public:
    explicit EnvGuard(const char* name) : name_(name) {
        if (const char* v = std::getenv(name)) {
            had_ = true;
            value_ = v;
        }
    }
    ~EnvGuard() {
        if (had_)
            setenv(name_, value_.c_str(), 1);
        else
            unsetenv(name_);
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    const char* name_;
    bool had_ = false;
    std::string value_;
};

// The recorder's lines of one test: every run of the fake appends one.
class Recorder {
public:
    Recorder() : guard_("KES_RECORDER_LOG") { setenv("KES_RECORDER_LOG", dir_.file("log").c_str(), 1); }
    std::vector<std::string> lines() const { return readLines(dir_.file("log")).value_or(Args{}); }
    // Waits until the log holds count lines (for programs not waited for).
    bool waitForLines(size_t count) const {
        for (int i = 0; i < 500; ++i) {
            if (lines().size() >= count)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

private:
    TempDir dir_{"kes-recorder"};
    EnvGuard guard_;
};

// True when this process has no child left that ended without being collected.
bool noZombies() {
    siginfo_t info{};
    if (waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return errno == ECHILD;
    return info.si_pid == 0;
}

bool eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

} // namespace

TEST(CommandLine, QuotesAndBackslashesFollowTheOriginalRules) {
    EXPECT_EQ(splitCommandLine("\"C:\\a b\\x.exe\" -b \"q r\" s"),
              (Args{"C:\\a b\\x.exe", "-b", "q r", "s"}));
    EXPECT_EQ(splitCommandLine("p \"a b c\" d e"), (Args{"p", "a b c", "d", "e"}));
    EXPECT_EQ(splitCommandLine("p \"ab\\\"c\" \"\\\\\" d"), (Args{"p", "ab\"c", "\\", "d"}));
    EXPECT_EQ(splitCommandLine("p a\\\\\\b d\"e f\"g h"), (Args{"p", "a\\\\\\b", "de fg", "h"}));
    EXPECT_EQ(splitCommandLine("p a\\\\\\\"b c d"), (Args{"p", "a\\\"b", "c", "d"}));
    EXPECT_EQ(splitCommandLine("p a\\\\\\\\\"b c\" d e"), (Args{"p", "a\\\\b c", "d", "e"}));
    EXPECT_EQ(splitCommandLine("  p\t\"\"  x  "), (Args{"p", "", "x"}));
    EXPECT_EQ(splitCommandLine("p \"open ended"), (Args{"p", "open ended"}));
    EXPECT_EQ(splitCommandLine("C:\\dir\\tool.exe \\\\server\\share"),
              (Args{"C:\\dir\\tool.exe", "\\\\server\\share"}));
    EXPECT_TRUE(splitCommandLine("   ").empty());
}

TEST(CommandLine, UnquotedProgramPathWithBlanksIsFoundOnDisk) {
    TempDir dir;
    fs::create_directories(dir.path() / "dir with blank");
    writeBytes(dir.path() / "dir with blank" / "My Tool.exe", "");
    const std::string tool = dir.file("dir with blank/My Tool.exe");
    EXPECT_EQ(splitCommandLine(tool + " -q \"x y\" z"), (Args{tool, "-q", "x y", "z"}));
    EXPECT_EQ(splitCommandLine(tool), (Args{tool}));
    // Found without regard to case, kept as written.
    const std::string upper = dir.file("DIR WITH BLANK/my tool.EXE");
    EXPECT_EQ(splitCommandLine(upper + " a"), (Args{upper, "a"}));
    // Relative to the given folder.
    EXPECT_EQ(splitCommandLine("My Tool.exe a b", dir.file("dir with blank")),
              (Args{"My Tool.exe", "a", "b"}));
    // When no prefix names a file, the first blank ends the program.
    EXPECT_EQ(splitCommandLine(dir.file("dir with blank/Other Tool.exe") + " a"),
              (Args{dir.file("dir"), "with", "blank/Other", "Tool.exe", "a"}));
    // The shortest prefix that names a file wins.
    writeBytes(dir.path() / "dir", "");
    fs::create_directories(dir.path() / "x");
    writeBytes(dir.path() / "x" / "a", "");
    writeBytes(dir.path() / "x" / "a b", "");
    EXPECT_EQ(splitCommandLine(dir.file("x/a b c")), (Args{dir.file("x/a"), "b", "c"}));
}

TEST(Programs, FoundWithoutRegardToCase) {
    ProgramFolder program;
    program.installFake("m2apx3g.exe");
    program.installFake("rundll32.exe");
    const std::string ext = program.externDir().string();
    EXPECT_EQ(findProgram("m2aPX3g.exe", ext), ext + "/m2apx3g.exe");
    EXPECT_EQ(findProgram(ext + "/M2APX3G.EXE"), ext + "/m2apx3g.exe");
    EXPECT_EQ(findProgram("RUNDLL32", ext), ext + "/rundll32.exe"); // ".exe" may be left out
    EXPECT_EQ(findProgram("missing.exe", ext), "");
    const std::string sh = findProgram("sh"); // a bare name is looked up on PATH
    EXPECT_TRUE(sh.ends_with("/sh") && fs::exists(sh)) << sh;
    EXPECT_FALSE(isWindowsImage(ext + "/m2apx3g.exe"));
}

TEST(Processes, StartInAFolderAndWait) {
    Recorder recorder;
    ProgramFolder program;
    program.installFake("Tonegrab.exe");
    const std::string ext = program.externDir().string();
    const std::string before = currentDir();

    auto p = startProcess("\"" + ext + "/TONEGRAB.exe\" a \"b c\" X", ext);
    ASSERT_NE(p, nullptr);
    ASSERT_TRUE(p->waitFor(10000));
    EXPECT_TRUE(p->finished());
    EXPECT_EQ(p->exitCode(), 0);
    EXPECT_EQ(recorder.lines(), (Args{"[" + ext + "] [" + ext + "/Tonegrab.exe] [a] [b c] [X]"}));
    EXPECT_EQ(currentDir(), before);

    // A relative program is taken from the folder; without a folder, from the current directory.
    p = startProcess("tonegrab.exe rel", ext);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(waitInSlices(*p, 100, {}), 0);
    EXPECT_EQ(recorder.lines().back(), "[" + ext + "] [" + ext + "/Tonegrab.exe] [rel]");

    EXPECT_EQ(startProcess("nothing.exe a", ext), nullptr);
    EXPECT_EQ(startProcess("", ext), nullptr);
    EXPECT_EQ(startProcess("tonegrab.exe", program.path().string() + "/no such folder"), nullptr);
    EXPECT_EQ(currentDir(), before);
}

TEST(Processes, WaitingInSlicesPumpsBeforeEachWait) {
    auto p = startProcess("sh -c \"sleep 0.35; exit 3\"");
    ASSERT_NE(p, nullptr);
    std::vector<int> indexes;
    EXPECT_EQ(waitInSlices(*p, 50, [&](int index) { indexes.push_back(index); }), 3);
    ASSERT_GE(indexes.size(), 3u);
    for (size_t i = 0; i < indexes.size(); ++i)
        EXPECT_EQ(indexes[i], static_cast<int>(i));

    p = startProcess("sh -c \"kill -9 $$\"");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(waitInSlices(*p, 1000, {}), 128 + SIGKILL);
}

TEST(Processes, WaitForTimesOut) {
    auto p = startProcess("sleep 30");
    ASSERT_NE(p, nullptr);
    EXPECT_FALSE(p->waitFor(30));
    EXPECT_FALSE(p->waitFor(0));
    EXPECT_FALSE(p->finished());
    ASSERT_EQ(kill(p->pid(), SIGTERM), 0);
    EXPECT_TRUE(p->waitFor(5000));
    EXPECT_EQ(p->exitCode(), 128 + SIGTERM);
    EXPECT_TRUE(p->waitFor(0)); // stays ended
}

TEST(Processes, CapturedOutputComesWhileWaiting) {
    StartOptions options;
    options.captureOutput = true;
    auto p = startProcess("sh -c \"echo one; echo two >&2; sleep 0.3; printf three\"", {}, options);
    ASSERT_NE(p, nullptr);
    std::string seen;
    p->setOutputHandler([&](std::string_view bytes) { seen += bytes; });
    // The first lines arrive before the program ends.
    for (int i = 0; i < 50 && seen != "one\ntwo\n"; ++i)
        EXPECT_FALSE(p->waitFor(5));
    EXPECT_EQ(seen, "one\ntwo\n");
    EXPECT_TRUE(p->waitFor(5000));
    EXPECT_EQ(seen, "one\ntwo\nthree");
}

// True once no process of the group is left (killed children may take a moment to be collected).
bool groupGone(pid_t group) {
    for (int i = 0; i < 100 && kill(-group, 0) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return kill(-group, 0) != 0;
}

TEST(Processes, EndingAGroupTerminatesThenKills) {
    StartOptions options;
    options.ownGroup = true;
    // A program that ends on request, with a child of its own that goes with it.
    auto p = startProcess("sh -c \"sleep 30 & wait\"", {}, options);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(getpgid(p->pid()), p->pid());
    int64_t start = monotonicMs();
    p->end(5000);
    EXPECT_TRUE(p->finished());
    EXPECT_LT(monotonicMs() - start, 4000);
    EXPECT_TRUE(groupGone(p->pid())); // nothing of the group is left

    // A program that ignores the request is killed after the grace period.
    options.captureOutput = true;
    p = startProcess("sh -c \"trap '' TERM; echo ready; sleep 30\"", {}, options);
    ASSERT_NE(p, nullptr);
    bool ready = false;
    p->setOutputHandler([&](std::string_view) { ready = true; });
    for (int i = 0; i < 1000 && !ready; ++i)
        p->waitFor(10); // until the trap is set
    start = monotonicMs();
    p->end(300);
    EXPECT_TRUE(p->finished());
    EXPECT_GE(monotonicMs() - start, 250);
    EXPECT_EQ(p->exitCode(), 128 + SIGKILL);
    EXPECT_TRUE(groupGone(p->pid()));
}

TEST(Processes, DetachedChildrenAreReaped) {
    Recorder recorder;
    ProgramFolder program;
    program.installFake("winrar.exe");
    const std::string ext = program.externDir().string();
    ASSERT_TRUE(startDetached("winrar.exe a -ep x.rar", ext));
    ASSERT_TRUE(recorder.waitForLines(1));
    EXPECT_EQ(recorder.lines().front(), "[" + ext + "] [" + ext + "/winrar.exe] [a] [-ep] [x.rar]");
    EXPECT_TRUE(eventually([] {
        reapChildren();
        return noZombies();
    }));
    EXPECT_FALSE(startDetached("missing.exe", ext));

    // A process dropped while it runs is collected as well.
    {
        auto p = startProcess("sleep 0.1");
        ASSERT_NE(p, nullptr);
    }
    EXPECT_TRUE(eventually([] {
        reapChildren();
        return noZombies();
    }));
}

TEST(Processes, WindowsImagesRunThroughWine) {
    Recorder recorder;
    TempDir bin("kes-bin");
    fs::copy_file(kes::test::fakesDir() / "kes_recorder", bin.path() / "wine");
    ProgramFolder program;
    writeBytes(program.externDir() / "ac3dec.exe", std::string("MZ\x90\0", 4));
    const std::string ext = program.externDir().string();
    EXPECT_TRUE(isWindowsImage(ext + "/AC3DEC.exe"));

    EnvGuard path("PATH");
    setenv("PATH", (bin.str() + ":/usr/bin:/bin").c_str(), 1);
    auto p = startProcess("ac3dec.exe in.ac3 -o out.wav", ext);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(waitInSlices(*p, 100, {}), 0);
    EXPECT_EQ(recorder.lines(), (Args{"[" + ext + "] [" + bin.str() + "/wine] [" + ext +
                                      "/ac3dec.exe] [in.ac3] [-o] [out.wav]"}));

    setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(startProcess("ac3dec.exe x", ext), nullptr); // no wine installed
}

TEST(Shutdown, TheCommandIsReplacedInTests) {
    EnvGuard guard("KESTROVA_SHUTDOWN_COMMAND");
    unsetenv("KESTROVA_SHUTDOWN_COMMAND");
    EXPECT_EQ(shutdownCommand(), "systemctl poweroff"); // only looked at, never run

    Recorder recorder;
    const std::string fake = (kes::test::fakesDir() / "kes_recorder").string();
    setenv("KESTROVA_SHUTDOWN_COMMAND", (fake + " shutdown now").c_str(), 1);
    ASSERT_EQ(shutdownCommand(), fake + " shutdown now");
    ASSERT_TRUE(requestShutdown());
    ASSERT_TRUE(recorder.waitForLines(1));
    EXPECT_EQ(recorder.lines().front(), "[" + currentDir() + "] [" + fake + "] [shutdown] [now]");
    EXPECT_TRUE(eventually([] {
        reapChildren();
        return noZombies();
    }));
}
