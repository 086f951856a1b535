#include "bench/support/bench_tools.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace kes::bench {

namespace fs = std::filesystem;

void fail(const std::string& what) {
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, what.c_str());
    std::exit(1);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double timed(std::vector<std::string> args, const std::string& errors) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!errors.empty()) {
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 2, 1); // progress printed on stdout goes there too
    }
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        fail("cannot start " + args[0]);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(args[0] + " failed" + (errors.empty() ? "" : " (see " + errors + ")"));
    return secondsSince(start);
}

std::string readText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

double psnr(const fs::path& file, const std::string& source, const fs::path& dir, bool fromEachStart) {
    const fs::path log = dir / "psnr.txt";
    const std::string graph = fromEachStart
                                  ? "[0:v]setpts=PTS-STARTPTS[a];[1:v]setpts=PTS-STARTPTS[b];[a][b]psnr"
                                  : "[0:v][1:v]psnr";
    timed({"ffmpeg", "-nostdin", "-hide_banner", "-i", file.string(), "-i", source, "-lavfi", graph, "-f",
           "null", "-"},
          log.string());
    const std::string text = readText(log);
    const size_t at = text.rfind("average:");
    if (at == std::string::npos)
        fail("no PSNR in " + log.string());
    return std::atof(text.c_str() + at + 8);
}

} // namespace kes::bench
