#pragma once

// An event that threads wait on: manual-reset (stays set until reset) or auto-reset (one waiter
// takes it and it clears itself).

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform::dshow {

inline constexpr uint32_t INFINITE = 0xFFFFFFFF;

class CAMEvent {
public:
    explicit CAMEvent(bool manualReset = false) : manual_(manualReset) {}
    CAMEvent(const CAMEvent&) = delete;
    CAMEvent& operator=(const CAMEvent&) = delete;

    void Set() {
        {
            std::lock_guard lock(mutex_);
            set_ = true;
        }
        if (manual_)
            cv_.notify_all();
        else
            cv_.notify_one();
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        set_ = false;
    }
    // True when the event was (or became) set within the time; INFINITE waits without end.
    bool Wait(uint32_t milliseconds = INFINITE) {
        std::unique_lock lock(mutex_);
        const auto isSet = [this] { return set_; };
        if (milliseconds == INFINITE)
            cv_.wait(lock, isSet);
        else if (!cv_.wait_for(lock, std::chrono::milliseconds(milliseconds), isSet))
            return false;
        if (!manual_)
            set_ = false;
        return true;
    }
    bool Check() { return Wait(0); }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool manual_;
    bool set_ = false;
};

} // namespace platform::dshow
