#include "outside/mpeg2avi/frame_queue.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace mpeg2avi {

FrameQueue::~FrameQueue() {
    for (AVFrame* frame : frames_)
        av_frame_free(&frame);
}

bool FrameQueue::push(AVFrame* frame) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return closed_ || frames_.size() < capacity_; });
    if (closed_) {
        av_frame_free(&frame);
        return false;
    }
    frames_.push_back(frame);
    changed_.notify_all();
    return true;
}

bool FrameQueue::pop(AVFrame*& frame) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return closed_ || !frames_.empty(); });
    if (closed_)
        return false;
    frame = frames_.front();
    frames_.pop_front();
    changed_.notify_all();
    return true;
}

void FrameQueue::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

} // namespace mpeg2avi
