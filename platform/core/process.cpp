#include "platform/core/process.h"

#include "platform/core/clock.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform::core {

namespace {

constexpr std::string_view DefaultShutdown = "systemctl poweroff";
constexpr std::string_view WindowsExtension = ".exe";
constexpr int SignalExitBase = 128;
constexpr int PollIntervalMs = 10;
constexpr int FirstInheritedFd = 3; // descriptors from here on are closed in the child
constexpr size_t OutputChunk = 4096;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string absoluteFolder(std::string_view cwd) {
    if (cwd.empty())
        return currentDir();
    const std::string resolved = resolvePath(cwd);
    return resolved.front() == PathDelim ? resolved : joinPath(currentDir(), resolved);
}

// The file a path names in folder base, taken without regard to case; "" when there is none.
std::string fileIn(const std::string& base, std::string_view path) {
    const std::string full = path.front() == PathDelim ? std::string(path) : joinPath(base, path);
    std::string resolved = resolvePath(full);
    return isRegularFile(resolved) ? resolved : std::string();
}

std::string findOnPath(std::string_view name) {
    const char* env = std::getenv("PATH");
    const std::string_view path = (env && *env) ? env : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(':', start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view dir = path.substr(start, end - start);
        if (!dir.empty()) {
            const std::string candidate = fileIn(std::string(dir), name);
            if (!candidate.empty() && ::access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = end + 1;
    }
    return {};
}

std::string findProgramOnce(std::string_view program, const std::string& base) {
    if (std::string found = fileIn(base, program); !found.empty())
        return found;
    // Bare names are looked up on PATH too (not the longer prefixes of an unquoted program path).
    if (program.find(PathDelim) == std::string_view::npos &&
        program.find_first_of(" \t") == std::string_view::npos)
        return findOnPath(program);
    return {};
}

// Parses the arguments after the program by the rules of the original platform's C runtime.
void splitArguments(std::string_view s, size_t i, std::vector<std::string>& args) {
    const size_t n = s.size();
    while (true) {
        while (i < n && isBlank(s[i]))
            ++i;
        if (i >= n)
            return;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !isBlank(s[i]))) {
            if (s[i] == '\\') {
                size_t count = 0;
                while (i < n && s[i] == '\\')
                    ++i, ++count;
                if (i < n && s[i] == '"') {
                    arg.append(count / 2, '\\');
                    if (count % 2 == 1) {
                        arg.push_back('"');
                        ++i;
                    }
                } else {
                    arg.append(count, '\\');
                }
            } else if (s[i] == '"') {
                quoted = !quoted;
                ++i;
            } else {
                arg.push_back(s[i++]);
            }
        }
        args.push_back(std::move(arg));
    }
}

std::mutex detachedMutex;
std::vector<pid_t> detached; // children started without waiting, not yet reaped

void keepForReaping(pid_t pid) {
    const std::lock_guard lock(detachedMutex);
    detached.push_back(pid);
}

// posix_spawn with a current directory (empty: the caller's), the caller's environment, default
// signal handling and no inherited descriptors beyond the standard three. -1 on failure.
// With ownGroup the child leads a process group of its own; with outputFd >= 0 its standard output
// and error go to that descriptor.
pid_t spawn(const std::string& file, const std::vector<std::string>& args, const std::string& cwd,
            bool ownGroup = false, int outputFd = -1) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return -1;
    if (posix_spawnattr_init(&attr) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return -1;
    }
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (ownGroup)
        flags |= POSIX_SPAWN_SETPGROUP;
    bool ready = posix_spawnattr_setsigmask(&attr, &none) == 0 &&
                 posix_spawnattr_setsigdefault(&attr, &all) == 0 &&
                 posix_spawnattr_setflags(&attr, flags) == 0 &&
                 (!ownGroup || posix_spawnattr_setpgroup(&attr, 0) == 0);
    if (ready && outputFd >= 0) {
        ready = posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO) == 0 &&
                posix_spawn_file_actions_adddup2(&actions, outputFd, STDERR_FILENO) == 0;
    }
    ready = ready && posix_spawn_file_actions_addclosefrom_np(&actions, FirstInheritedFd) == 0;
    if (ready && !cwd.empty())
        ready = posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str()) == 0;
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (ready && posix_spawn(&pid, file.c_str(), &actions, &attr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Splits and locates a command line: the file to execute and its argument vector. False when the
// program cannot be found, or is a Windows image and wine is not installed.
bool prepare(std::string_view commandLine, std::string_view cwd, std::string& file,
             std::vector<std::string>& argv) {
    std::vector<std::string> args = splitCommandLine(commandLine, cwd);
    if (args.empty())
        return false;
    const std::string program = findProgram(args.front(), cwd);
    if (program.empty())
        return false;
    argv.clear();
    if (isWindowsImage(program)) {
        file = findOnPath("wine");
        if (file.empty())
            return false;
        argv.push_back(file);
    } else {
        file = program;
    }
    argv.push_back(program);
    argv.insert(argv.end(), std::make_move_iterator(args.begin() + 1), std::make_move_iterator(args.end()));
    return true;
}

int decodeStatus(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return SignalExitBase + WTERMSIG(status);
    return -1;
}

} // namespace

std::vector<std::string> splitCommandLine(std::string_view commandLine, std::string_view cwd) {
    std::vector<std::string> args;
    const std::string_view s = commandLine;
    size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    if (i >= s.size())
        return args;
    if (s[i] == '"') {
        const size_t close = s.find('"', i + 1);
        const size_t end = close == std::string_view::npos ? s.size() : close;
        args.emplace_back(s.substr(i + 1, end - i - 1));
        splitArguments(s, close == std::string_view::npos ? s.size() : close + 1, args);
        return args;
    }
    // Unquoted: the first blank ends the program unless that names no file; then each longer prefix
    // that ends before a blank (or at the end of the line) is tried in turn.
    size_t firstEnd = i;
    while (firstEnd < s.size() && !isBlank(s[firstEnd]))
        ++firstEnd;
    size_t programEnd = firstEnd;
    for (size_t end = firstEnd; end <= s.size(); ++end) {
        if (end < s.size() && !isBlank(s[end]))
            continue;
        if (end > i && !isBlank(s[end - 1]) && !findProgram(s.substr(i, end - i), cwd).empty()) {
            programEnd = end;
            break;
        }
    }
    args.emplace_back(s.substr(i, programEnd - i));
    splitArguments(s, programEnd, args);
    return args;
}

std::string findProgram(std::string_view program, std::string_view cwd) {
    if (program.empty())
        return {};
    const std::string base = absoluteFolder(cwd);
    if (std::string found = findProgramOnce(program, base); !found.empty())
        return found;
    // As the original platform did, a program named without extension may be a ".exe".
    if (extractFileExt(program).empty())
        return findProgramOnce(std::string(program) + std::string(WindowsExtension), base);
    return {};
}

bool isWindowsImage(std::string_view path) {
    const auto first = readLE16(path, 0);
    constexpr uint16_t ImageSignature = 'M' | ('Z' << 8);
    return first && *first == ImageSignature;
}

Process::~Process() {
    if (!finished_ && !waitFor(0))
        keepForReaping(pid_); // still running: collected later, never left behind as a zombie
    closeOutput();
}

bool Process::drainOutput() {
    std::array<char, OutputChunk> buffer{};
    for (;;) {
        const ssize_t n = ::read(outputFd_, buffer.data(), buffer.size());
        if (n > 0) {
            if (onOutput_)
                onOutput_(std::string_view(buffer.data(), static_cast<size_t>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

void Process::closeOutput() {
    if (outputFd_ >= 0)
        ::close(outputFd_);
    outputFd_ = -1;
}

void Process::signal(int sig) const {
    ::kill(ownGroup_ ? -pid_ : pid_, sig);
}

bool Process::waitFor(int ms) {
    const auto tryReap = [this] {
        if (finished_)
            return true;
        int status = 0;
        pid_t r = 0;
        do {
            r = ::waitpid(pid_, &status, WNOHANG);
        } while (r < 0 && errno == EINTR);
        if (r == pid_) {
            exitCode_ = decodeStatus(status);
            finished_ = true;
        } else if (r < 0) {
            finished_ = true; // no longer our child (reaped elsewhere): nothing left to wait for
        }
        if (finished_ && outputFd_ >= 0) {
            // What the program wrote before its end; a child it left behind may hold the pipe open,
            // so only what is there now is read.
            drainOutput();
            closeOutput();
        }
        return finished_;
    };
    if (tryReap())
        return true;
    const int64_t deadline = ms < 0 ? -1 : monotonicMs() + ms;
    const auto remaining = [deadline] {
        return deadline < 0 ? -1 : static_cast<int>(std::max<int64_t>(0, deadline - monotonicMs()));
    };
    int pidfd = -1;
#ifdef SYS_pidfd_open
    pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
#endif
    bool ended = false;
    for (;;) {
        std::array<pollfd, 2> fds{};
        nfds_t count = 0;
        if (pidfd >= 0)
            fds[count++] = pollfd{pidfd, POLLIN, 0};
        const nfds_t outputAt = count;
        if (outputFd_ >= 0)
            fds[count++] = pollfd{outputFd_, POLLIN, 0};
        // Without a process descriptor the child's state is polled.
        int timeout = remaining();
        if (pidfd < 0)
            timeout = timeout < 0 ? PollIntervalMs : std::min(timeout, PollIntervalMs);
        if (count > 0) {
            if (::poll(fds.data(), count, timeout) < 0 && errno != EINTR)
                break;
        } else if (timeout != 0) {
            const timespec pause{0, static_cast<long>(timeout) * 1'000'000L};
            ::nanosleep(&pause, nullptr);
        }
        if (outputFd_ >= 0 && fds[outputAt].revents != 0 && !drainOutput())
            closeOutput(); // the pipe's end: the program is about to end or has closed its output
        if (tryReap()) {
            ended = true;
            break;
        }
        if (remaining() == 0)
            break;
    }
    if (pidfd >= 0)
        ::close(pidfd);
    return ended || tryReap();
}

void Process::end(int graceMs) {
    beginEnd(graceMs);
    while (!endStep(PollIntervalMs * 5)) {
    }
}

void Process::beginEnd(int graceMs) {
    endDeadlineMs_ = monotonicMs() + std::max(0, graceMs);
    killed_ = finished_ && !ownGroup_; // nothing left to end but the reaping
    if (!killed_)
        signal(SIGTERM);
}

bool Process::endStep(int ms) {
    if (killed_)
        return waitFor(ms);
    // The whole group gets the grace period: a child the program started may still be closing.
    const auto groupGone = [this] { return !ownGroup_ || ::kill(-pid_, 0) != 0; };
    if (waitFor(0) && groupGone())
        return true;
    const int64_t left = endDeadlineMs_ - monotonicMs();
    if (left <= 0) {
        signal(SIGKILL);
        if (!finished_)
            ::kill(pid_, SIGKILL);
        killed_ = true;
        return waitFor(ms);
    }
    waitFor(static_cast<int>(std::min<int64_t>(left, std::max(ms, 0))));
    return finished_ && groupGone();
}

std::unique_ptr<Process> startProcess(std::string_view commandLine, std::string_view cwd,
                                      const StartOptions& options) {
    std::string file;
    std::vector<std::string> argv;
    if (!prepare(commandLine, cwd, file, argv))
        return nullptr;
    const std::string dir = cwd.empty() ? std::string() : resolvePath(cwd);
    std::array<int, 2> pipeFds{-1, -1};
    if (options.captureOutput) {
        if (::pipe2(pipeFds.data(), O_CLOEXEC) != 0)
            return nullptr;
        // Only our end reads without blocking; the program writes to a normal descriptor.
        ::fcntl(pipeFds[0], F_SETFL, ::fcntl(pipeFds[0], F_GETFL) | O_NONBLOCK);
    }
    const pid_t pid = spawn(file, argv, dir, options.ownGroup, pipeFds[1]);
    if (pipeFds[1] >= 0)
        ::close(pipeFds[1]);
    if (pid < 0) {
        if (pipeFds[0] >= 0)
            ::close(pipeFds[0]);
        return nullptr;
    }
    return std::unique_ptr<Process>(new Process(pid, options.ownGroup, pipeFds[0]));
}

int waitInSlices(Process& process, int sliceMs, const std::function<void(int)>& pump) {
    const int slice = std::max(1, sliceMs);
    for (int index = 0;; ++index) {
        if (pump)
            pump(index);
        if (process.waitFor(slice))
            return process.exitCode();
    }
}

bool startDetached(std::string_view commandLine, std::string_view cwd) {
    reapChildren();
    std::string file;
    std::vector<std::string> argv;
    if (!prepare(commandLine, cwd, file, argv))
        return false;
    const pid_t pid = spawn(file, argv, cwd.empty() ? std::string() : resolvePath(cwd));
    if (pid < 0)
        return false;
    keepForReaping(pid);
    return true;
}

void reapChildren() {
    const std::lock_guard lock(detachedMutex);
    std::erase_if(detached, [](pid_t pid) {
        int status = 0;
        pid_t r = 0;
        do {
            r = ::waitpid(pid, &status, WNOHANG);
        } while (r < 0 && errno == EINTR);
        return r != 0; // ended (reaped now) or no longer ours
    });
}

std::string shutdownCommand() {
    if (const char* env = std::getenv("KESTROVA_SHUTDOWN_COMMAND"); env && *env)
        return env;
    return std::string(DefaultShutdown);
}

bool requestShutdown() {
    reapChildren();
    // The command is a shell command line, as a user would write it in the environment variable.
    const pid_t pid = spawn("/bin/sh", {"sh", "-c", shutdownCommand()}, {});
    if (pid < 0)
        return false;
    keepForReaping(pid);
    return true;
}

} // namespace platform::core
