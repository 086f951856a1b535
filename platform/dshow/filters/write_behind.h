#pragma once

// Positioned writes into a PositionedFile made by a thread of their own, so that the thread that
// makes the bytes goes on while the file system takes them. Writes are made in the order given;
// writes that continue one another are gathered into larger ones, and a write of the very bytes of
// an earlier one still waiting (a header rewritten with new sizes) replaces it. At most a bounded
// number of bytes wait: a producer that gets ahead waits for room. A failed write is reported by the
// next call and by flush() and commit().

#include "platform/dshow/filters/positioned_file.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace platform::dshow::filters {

class WriteBehind {
public:
    struct Limits {
        size_t pendingBytes = 8 * 1024 * 1024; // bytes that may wait before a write waits for room
        size_t gatherBytes = 1024 * 1024;      // largest write gathered from continuing ones
    };

    explicit WriteBehind(std::unique_ptr<PositionedFile> file);
    WriteBehind(std::unique_ptr<PositionedFile> file, Limits limits);
    // Writes what waits, without a commit (the file's own destructor leaves the target untouched).
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Copies the bytes and queues them; false once a write has failed.
    bool write(int64_t offset, std::span<const uint8_t> bytes);
    // Waits until every queued write is made; false when one failed.
    bool flush();
    // Flushes, then commits the file (renamed over its target); false on any failure.
    bool commit();

private:
    struct Block {
        int64_t offset = 0;
        std::vector<uint8_t> bytes;
    };
    void run();
    bool tryReplace(int64_t offset, std::span<const uint8_t> bytes);

    std::unique_ptr<PositionedFile> file_;
    Limits limits_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block> queue_; // waiting, oldest first; the thread takes them all at once
    size_t pending_ = 0;      // bytes queued or being written
    size_t queued_ = 0;       // bytes queued, not yet taken by the thread
    int flushing_ = 0;        // callers waiting for every write to be made
    bool busy_ = false;       // the thread is writing a block it took
    bool failed_ = false;
    bool closing_ = false;
    std::thread thread_;
};

} // namespace platform::dshow::filters
