#pragma once

// Runs a built program of the program folder (or any command) through the shell with a time limit,
// and gives back its exit status, standard output and standard error.

#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kes::test {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs args (the program first) in cwd; a program that outlives the limit counts as a failure (124).
inline ToolRun runTool(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                       int limitSeconds = 20) {
    TempDir capture("kes-tool-run");
    std::string line = "cd " + shellQuote(cwd.string()) + " && timeout " + std::to_string(limitSeconds);
    for (const std::string& arg : args)
        line += " " + shellQuote(arg);
    line += " >" + shellQuote((capture.path() / "out").string()) + " 2>" +
            shellQuote((capture.path() / "err").string()) + " </dev/null";
    const int raw = std::system(line.c_str());
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = slurp(capture.path() / "out");
    run.err = slurp(capture.path() / "err");
    return run;
}

// A built program of the assembled program folder's extern/.
inline std::string builtExtern(const std::string& name) {
    return (builtProgramDir() / "extern" / name).string();
}

} // namespace kes::test
