#pragma once

// What reads report to the progress window: the stream position and the file being read. Reads
// store them on the puller's thread; the window's timer takes them on its own thread.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace quillon {

class ProgressFeed {
public:
    void reset();
    void setPosition(int64_t position) { position_.store(position, std::memory_order_relaxed); }
    int64_t position() const { return position_.load(std::memory_order_relaxed); }
    void setCurrentFile(const std::string& path);
    // The file's path when it changed since the last call.
    std::optional<std::string> takeCurrentFile();

private:
    std::atomic<int64_t> position_{0};
    std::mutex mutex_;
    std::string currentFile_;
    bool fileChanged_ = false;
};

} // namespace quillon
