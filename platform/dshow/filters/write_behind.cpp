#include "platform/dshow/filters/write_behind.h"

#include <algorithm>

namespace platform::dshow::filters {

namespace {
// Queued blocks looked at, newest first, for one whose bytes a new write replaces.
constexpr size_t kReplaceLookBack = 8;
// Writes from this size on get room to gather the ones that continue them.
constexpr size_t kGatherFrom = 4096;

bool overlaps(int64_t offset, size_t size, int64_t otherOffset, size_t otherSize) {
    return offset < otherOffset + static_cast<int64_t>(otherSize) &&
           otherOffset < offset + static_cast<int64_t>(size);
}
} // namespace

WriteBehind::WriteBehind(std::unique_ptr<PositionedFile> file) : WriteBehind(std::move(file), Limits{}) {}

WriteBehind::WriteBehind(std::unique_ptr<PositionedFile> file, Limits limits)
    : file_(std::move(file)), limits_(limits) {
    thread_ = std::thread([this] { run(); });
}

WriteBehind::~WriteBehind() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool WriteBehind::tryReplace(int64_t offset, std::span<const uint8_t> bytes) {
    // Only a block nothing newer overlaps may take the new bytes: the order of writes to the same
    // place must stay as it was given.
    size_t looked = 0;
    for (auto it = queue_.rbegin(); it != queue_.rend() && looked < kReplaceLookBack; ++it, ++looked) {
        if (it->offset == offset && it->bytes.size() == bytes.size()) {
            std::copy(bytes.begin(), bytes.end(), it->bytes.begin());
            return true;
        }
        if (overlaps(offset, bytes.size(), it->offset, it->bytes.size()))
            return false;
    }
    return false;
}

bool WriteBehind::write(int64_t offset, std::span<const uint8_t> bytes) {
    std::unique_lock lock(mutex_);
    if (failed_ || offset < 0)
        return false;
    if (bytes.empty())
        return true;
    if (tryReplace(offset, bytes))
        return true;
    // Without room, the thread is asked to take whatever waits; a write larger than the bound waits
    // until nothing else does.
    const auto room = [&] {
        return failed_ || pending_ == 0 || pending_ + bytes.size() <= limits_.pendingBytes;
    };
    if (!room()) {
        ++flushing_;
        changed_.notify_all();
        changed_.wait(lock, room);
        --flushing_;
    }
    if (failed_)
        return false;
    pending_ += bytes.size();
    queued_ += bytes.size();
    Block* last = queue_.empty() ? nullptr : &queue_.back();
    if (last && last->offset + static_cast<int64_t>(last->bytes.size()) == offset &&
        last->bytes.size() + bytes.size() <= limits_.gatherBytes) {
        last->bytes.insert(last->bytes.end(), bytes.begin(), bytes.end());
    } else {
        Block block;
        block.offset = offset;
        // Room to gather what follows, for writes of a size that streams are made of.
        if (bytes.size() >= kGatherFrom)
            block.bytes.reserve(std::max(bytes.size(), limits_.gatherBytes));
        block.bytes.assign(bytes.begin(), bytes.end());
        queue_.push_back(std::move(block));
    }
    // The thread is woken for a batch worth writing, not for every small write.
    const bool batch = queued_ >= limits_.gatherBytes;
    lock.unlock();
    if (batch)
        changed_.notify_all();
    return true;
}

bool WriteBehind::flush() {
    std::unique_lock lock(mutex_);
    ++flushing_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return failed_ || (queue_.empty() && !busy_); });
    --flushing_;
    return !failed_;
}

bool WriteBehind::commit() {
    const bool written = flush();
    return file_->commit() && written;
}

void WriteBehind::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] {
            return closing_ || queued_ >= limits_.gatherBytes || (flushing_ > 0 && !queue_.empty());
        });
        if (queue_.empty())
            return; // closing with nothing left
        // Everything queued so far, written in the order given.
        std::deque<Block> batch;
        batch.swap(queue_);
        queued_ = 0;
        busy_ = true;
        const bool skip = failed_; // after a failure what waits is dropped
        lock.unlock();
        bool ok = !skip;
        size_t done = 0;
        for (const Block& block : batch) {
            ok = ok && file_->write(block.offset, block.bytes);
            done += block.bytes.size();
        }
        lock.lock();
        busy_ = false;
        pending_ -= done;
        if (!ok)
            failed_ = true;
        changed_.notify_all();
    }
}

} // namespace platform::dshow::filters
