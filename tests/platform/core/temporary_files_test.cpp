// Temporary files of a program that is ended from outside: gone with the program, while the files
// it had finished stay, and the program still ends by the signal that ended it.
#include "platform/core/files.h"
#include "platform/core/temporary_files.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace platform::core {
namespace {

namespace fs = std::filesystem;

// Runs body in a child process, which then waits to be ended; ends it with sig and gives its status.
template <typename Body>
int endedChild(int sig, const fs::path& ready, Body body) {
    const pid_t pid = fork();
    if (pid == 0) {
        body();
        writeFileAtomic(ready.string(), "ready");
        for (;;)
            pause();
    }
    while (!fs::exists(ready))
        usleep(1000);
    kill(pid, sig);
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

TEST(TemporaryFiles, GoWhenTheProgramIsEndedAndFinishedFilesStay) {
    kes::test::TempDir dir("kes-temporary");
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        const std::string finished = dir.file("finished" + std::to_string(sig));
        const std::string target = dir.file("half" + std::to_string(sig) + ".wav");
        const fs::path ready = dir.file("ready" + std::to_string(sig));
        const int status = endedChild(sig, ready, [&] {
            writeFileAtomic(finished, "whole");
            static AtomicFile half(target); // still being written when the signal comes
            half.write("half");
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        EXPECT_EQ(readFile(finished).value_or(""), "whole");
        EXPECT_FALSE(fs::exists(target));
        for (const auto& entry : fs::directory_iterator(dir.path()))
            EXPECT_FALSE(entry.path().filename().string().starts_with(".half")) << entry.path();
    }
}

} // namespace
} // namespace platform::core
