#pragma once

// A critical section: a recursive lock that the thread holding it may enter again.

#include <mutex>

namespace platform::gdi {

class CriticalSection {
public:
    void enter() { mutex_.lock(); }
    void leave() { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

} // namespace platform::gdi
