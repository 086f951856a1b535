#pragma once

// Named pipes for the tests of readers that open files by name. Nobody writes to such a pipe, so a
// reader that opened it and waited, or read it to its end, would never come back.

#include <chrono>
#include <functional>
#include <string>

namespace kes::test {

// Makes a named pipe of that path; throws when the system cannot.
void makeFifo(const std::string& path);

// Runs the call on a thread of its own and says whether it came back within the limit. When it did
// not, the pipe is opened for writing and closed again until the call ends (its reader sees the end),
// so that the test fails instead of hanging.
bool returnsWithin(const std::string& fifo, const std::function<void()>& call,
                   std::chrono::milliseconds limit = std::chrono::seconds(10));

} // namespace kes::test
