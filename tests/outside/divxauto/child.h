#pragma once

// A child program of the automation tests, its standard error kept in a file.

#include <string>
#include <sys/types.h>
#include <vector>

namespace kes::test {

class Child {
public:
    // Starts program with the arguments (argv[0] is the program), after delayMs milliseconds.
    Child(const std::string& program, const std::vector<std::string>& args, const std::string& stderrFile,
          int delayMs = 0);
    ~Child();
    // Waits for the end; the exit status (-1 when it did not start or a signal ended it).
    int wait();

private:
    pid_t pid_ = -1;
    int status_ = -1;
    bool waited_ = false;
};

} // namespace kes::test
