// A stand-in for an outside program: appends one line per run to a log file, holding the current
// directory and every argument, each between brackets. The log is the file named by
// KES_RECORDER_LOG, or "<program file>.log" beside the program when that is unset.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    std::string log;
    if (const char* env = std::getenv("KES_RECORDER_LOG"); env && *env)
        log = env;
    else
        log = std::string(argv[0]) + ".log";

    char cwd[PATH_MAX] = {};
    if (!getcwd(cwd, sizeof cwd))
        cwd[0] = '\0';

    std::string line = "[" + std::string(cwd) + "]";
    for (int i = 0; i < argc; ++i)
        line += " [" + std::string(argv[i]) + "]";
    line += "\n";

    FILE* f = std::fopen(log.c_str(), "ab");
    if (!f)
        return 2;
    const bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    return (std::fclose(f) == 0 && ok) ? 0 : 2;
}
