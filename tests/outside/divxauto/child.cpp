#include "tests/outside/divxauto/child.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace kes::test {

Child::Child(const std::string& program, const std::vector<std::string>& args, const std::string& stderrFile,
             int delayMs) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        if (delayMs > 0)
            ::usleep(static_cast<useconds_t>(delayMs) * 1000);
        const int fd = ::open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0)
            ::dup2(fd, 2);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
}

Child::~Child() {
    wait();
}

int Child::wait() {
    if (pid_ <= 0 || waited_)
        return status_;
    int status = 0;
    if (::waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status))
        status_ = WEXITSTATUS(status);
    waited_ = true;
    return status_;
}

} // namespace kes::test
