// A stand-in for an outside program that the main program runs (converters, decoders, Tonegrab, the
// archiver, ...). Installed under any name, it
//   1. appends one line to its log: the current directory and every argument, each between brackets
//      (the log is KES_FAKE_LOG when set, else "<program file>.log" beside the program);
//   2. follows its control file, one command a line (KES_FAKE_CONTROL when set, else
//      "<program file>.fake" beside the program; no control file means nothing more to do):
//        sleep <ms>               wait that long
//        write <path> <text>      write text to path (relative to the current directory); in the text
//                                 \r, \n, \\ and \xHH stand for those bytes
//        writearg <n> <text>      the same, to the path given as argument n (1-based)
//        writelast <text>         the same, to the path given as the last argument
//        exit <code>              end with that exit code (0 when no line says otherwise)
//        print <text>             write text to standard output (escapes as for write), at once
//        ignoreterm               from here on, ignore requests to terminate
// "<program file>" is the program's real path, so each installed copy has its own log and control.
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

constexpr int WriteFailed = 3;
constexpr int LogFailed = 2;

std::string selfPath(const char* argv0) {
    char buf[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string(argv0);
}

std::string envOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) : fallback;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'r')
            out += '\r';
        else if (c == 'n')
            out += '\n';
        else if (c == 'x' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                 hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else
            out += c;
    }
    return out;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool appendLog(const std::string& log, int argc, char** argv) {
    char cwd[PATH_MAX] = {};
    if (!getcwd(cwd, sizeof cwd))
        cwd[0] = '\0';
    std::string line = "[" + std::string(cwd) + "]";
    for (int i = 0; i < argc; ++i)
        line += " [" + std::string(argv[i]) + "]";
    line += "\n";
    FILE* f = std::fopen(log.c_str(), "ab");
    if (!f)
        return false;
    const bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    return std::fclose(f) == 0 && ok;
}

// Splits "word rest" at the first blank.
std::pair<std::string, std::string> head(const std::string& line) {
    const size_t blank = line.find(' ');
    if (blank == std::string::npos)
        return {line, ""};
    return {line.substr(0, blank), line.substr(blank + 1)};
}

} // namespace

int main(int argc, char** argv) {
    const std::string self = selfPath(argv[0]);
    if (!appendLog(envOr("KES_FAKE_LOG", self + ".log"), argc, argv))
        return LogFailed;

    std::ifstream control(envOr("KES_FAKE_CONTROL", self + ".fake"));
    int exitCode = 0;
    std::string line;
    while (control && std::getline(control, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        auto [command, rest] = head(line);
        if (command == "sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(rest.c_str())));
        } else if (command == "write") {
            auto [path, text] = head(rest);
            if (!writeFile(path, unescape(text)))
                exitCode = WriteFailed;
        } else if (command == "writearg") {
            auto [index, text] = head(rest);
            const int n = std::atoi(index.c_str());
            if (n < 1 || n >= argc || !writeFile(argv[n], unescape(text)))
                exitCode = WriteFailed;
        } else if (command == "writelast") {
            if (argc < 2 || !writeFile(argv[argc - 1], unescape(rest)))
                exitCode = WriteFailed;
        } else if (command == "print") {
            const std::string text = unescape(rest);
            std::fwrite(text.data(), 1, text.size(), stdout);
            std::fflush(stdout);
        } else if (command == "ignoreterm") {
            std::signal(SIGTERM, SIG_IGN);
        } else if (command == "exit") {
            exitCode = std::atoi(rest.c_str());
        }
    }
    return exitCode;
}
