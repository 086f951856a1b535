#include "tests/support/fifo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace kes::test {

void makeFifo(const std::string& path) {
    if (::mkfifo(path.c_str(), 0600) != 0)
        throw std::runtime_error("cannot make the named pipe " + path);
}

bool returnsWithin(const std::string& fifo, const std::function<void()>& call,
                   std::chrono::milliseconds limit) {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    std::thread runner([&] {
        call();
        const std::lock_guard<std::mutex> lock(mutex);
        done = true;
        changed.notify_all();
    });
    std::unique_lock<std::mutex> lock(mutex);
    const bool inTime = changed.wait_for(lock, limit, [&] { return done; });
    while (!done) {
        lock.unlock();
        // Opened for reading and writing, the pipe never blocks here; closing it ends a waiting reader.
        const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
        lock.lock();
        changed.wait_for(lock, std::chrono::milliseconds(50), [&] { return done; });
    }
    lock.unlock();
    runner.join();
    return inTime;
}

} // namespace kes::test
