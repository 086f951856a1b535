#pragma once

// A bounded queue of picture references between the decoding thread and an encoding thread. A null
// picture marks the end; close() wakes both sides for a stop.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

struct AVFrame;

namespace mpeg2avi {

class FrameQueue {
public:
    explicit FrameQueue(size_t capacity) : capacity_(capacity) {}
    ~FrameQueue();

    // Waits for room; false (the picture is freed) when the queue was closed.
    bool push(AVFrame* frame);
    // Waits for a picture; false when the queue was closed. A null picture is the end of the input.
    bool pop(AVFrame*& frame);
    void close();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<AVFrame*> frames_;
    size_t capacity_;
    bool closed_ = false;
};

} // namespace mpeg2avi
