#pragma once

// Outside programs: command lines split as the original platform split them, started with a
// current directory, waited for in slices, or started without waiting.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace platform::core {

// Splits a command line into arguments by the original platform's rules: blanks and tabs separate
// arguments outside quotes; a quote toggles quoting; 2n backslashes before a quote give n backslashes
// and the quote acts; 2n+1 give n backslashes and a literal quote; other backslashes are literal.
// The program (first argument) ends at the first blank when unquoted, but when that names no
// existing file, successively longer blank-separated prefixes are tried ("C:\a b\x.exe -q" with an
// unquoted path) and the first that names an existing file (found without regard to case, relative to
// cwd) is taken. Backslashes in the program's path stay as they are.
std::vector<std::string> splitCommandLine(std::string_view commandLine, std::string_view cwd = {});

// The program file to run for a path, found without regard to case ("m2aPX3g.exe" runs "m2apx3g.exe");
// relative paths are taken from cwd (or the current directory), a bare name also from PATH, and a
// name without extension may stand for a ".exe" as on the original platform. Empty when nothing
// matches.
std::string findProgram(std::string_view program, std::string_view cwd = {});

// True when the file starts like a Windows executable image ("MZ"); such programs run through wine.
bool isWindowsImage(std::string_view path);

// How a process is started: in a process group of its own (so that it can be ended with every child
// it started), and with its standard output and error on one pipe that the caller reads.
struct StartOptions {
    bool ownGroup = false;
    bool captureOutput = false;
};

class Process {
public:
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return pid_; }
    // Waits up to ms milliseconds; true when the process has ended (then exitCode() is valid).
    bool waitFor(int ms);
    bool finished() const { return finished_; }
    // The exit status, or 128 + the signal number when a signal ended it.
    int exitCode() const { return exitCode_; }

    // With captured output: receives what the program writes, as it comes, while waitFor waits
    // (and the rest once it has ended).
    void setOutputHandler(std::function<void(std::string_view)> handler) { onOutput_ = std::move(handler); }
    // Ends the process: a terminate request to it (to its whole group when it has one), then, when it
    // is still there after graceMs, a kill. Returns once it has been reaped.
    void end(int graceMs);
    // The same in steps, for a caller that keeps its windows alive meanwhile: beginEnd sends the
    // terminate request; each endStep waits up to ms, kills what is left once graceMs have passed
    // since beginEnd, and is true once the process has been reaped (and its group is gone, or was
    // killed).
    void beginEnd(int graceMs);
    bool endStep(int ms);

private:
    friend std::unique_ptr<Process> startProcess(std::string_view, std::string_view, const StartOptions&);
    Process(pid_t pid, bool ownGroup, int outputFd) : pid_(pid), ownGroup_(ownGroup), outputFd_(outputFd) {}
    // Reads what the pipe holds now and hands it on; false at its end.
    bool drainOutput();
    void closeOutput();
    void signal(int sig) const;
    pid_t pid_;
    bool ownGroup_ = false;
    int outputFd_ = -1;
    std::function<void(std::string_view)> onOutput_;
    bool finished_ = false;
    int exitCode_ = -1;
    int64_t endDeadlineMs_ = 0; // when the grace of beginEnd is over
    bool killed_ = false;
};

// Starts a command line (split as above) with cwd as its current directory (the caller's when empty)
// and the caller's environment; the program gets the file found as its argv[0], and no descriptors
// beyond the standard three. Null when the program could not be found or started (a Windows image
// without wine installed included).
std::unique_ptr<Process> startProcess(std::string_view commandLine, std::string_view cwd = {},
                                      const StartOptions& options = {});

// Runs a process to its end, waiting in slices of sliceMs; before each wait, pump(index) is called
// with the 0-based index of the slice, so the caller can keep its window alive. Returns the exit code.
int waitInSlices(Process& process, int sliceMs, const std::function<void(int)>& pump);

// Starts without waiting; the child is reaped when it ends (reapChildren, or by the next start).
bool startDetached(std::string_view commandLine, std::string_view cwd = {});
// Collects every finished child started with startDetached.
void reapChildren();

// The command that switches the machine off: KESTROVA_SHUTDOWN_COMMAND when set, else
// "systemctl poweroff". requestShutdown starts it through /bin/sh (it is a shell command line, as
// a user writes it into the variable) without waiting; the child is reaped like startDetached's.
std::string shutdownCommand();
bool requestShutdown();

} // namespace platform::core
