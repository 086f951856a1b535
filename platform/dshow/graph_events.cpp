#include "platform/dshow/graph_events.h"

#include <algorithm>
#include <chrono>

namespace platform::dshow::graph {

namespace {

// A host that never reads its events must not make the queue grow without end: beyond this many,
// only the events that end a run are still queued.
constexpr size_t kQueueLimit = 4096;

bool endsRun(LONG code) {
    return code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT;
}

// Waits on cv until done() or the time-out (negative: no end); false on time-out.
template <typename Done>
bool waitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, LONG timeoutMs, Done done) {
    if (timeoutMs < 0) {
        cv.wait(lock, done);
        return true;
    }
    return cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), done);
}

} // namespace

void GraphEvents::startRun(std::vector<const void*> renderers) {
    std::lock_guard lock(mutex_);
    std::erase_if(events_, [](const Event& e) { return endsRun(e.code); });
    if (events_.empty())
        ready_.Reset();
    renderers_ = std::move(renderers);
    ended_.clear();
    anonymousEnds_ = 0;
    completed_ = false;
    completionCode_ = 0;
    armed_ = true;
}

void GraphEvents::running() {
    std::lock_guard lock(mutex_);
    if (armed_ && renderers_.empty())
        complete(EC_COMPLETE, S_OK);
}

void GraphEvents::restartRun() {
    std::lock_guard lock(mutex_);
    if (!armed_)
        return;
    ended_.clear();
    anonymousEnds_ = 0;
    completed_ = false;
    completionCode_ = 0;
}

void GraphEvents::stop() {
    std::lock_guard lock(mutex_);
    armed_ = false;
    changed_.notify_all();
}

void GraphEvents::notify(LONG code, LONG_PTR param1, LONG_PTR param2) {
    std::lock_guard lock(mutex_);
    if (endsRun(code) && !armed_)
        return;
    if (code == EC_COMPLETE) {
        if (!defaultCompleteHandling_)
            queue(code, param1, param2);
        onRendererComplete(param2);
        return;
    }
    queue(code, param1, param2);
    if (code == EC_USERABORT)
        complete(code, E_ABORT);
    else if (code == EC_ERRORABORT)
        complete(code, FAILED(static_cast<HRESULT>(param1)) ? static_cast<HRESULT>(param1) : E_FAIL);
}

void GraphEvents::onRendererComplete(LONG_PTR sender) {
    const void* id = reinterpret_cast<const void*>(sender);
    if (!id) {
        ++anonymousEnds_;
    } else if (std::find(renderers_.begin(), renderers_.end(), id) != renderers_.end()) {
        if (std::find(ended_.begin(), ended_.end(), id) == ended_.end())
            ended_.push_back(id);
    } else {
        return; // a filter that does not end a stream of this run
    }
    if (ended_.size() + anonymousEnds_ >= renderers_.size())
        complete(EC_COMPLETE, S_OK);
}

bool GraphEvents::completedRun() {
    std::lock_guard lock(mutex_);
    return armed_ && completed_ && completionCode_ == EC_COMPLETE;
}

void GraphEvents::complete(LONG code, HRESULT status) {
    if (completed_)
        return;
    completed_ = true;
    completionCode_ = code;
    if (defaultCompleteHandling_)
        queue(EC_COMPLETE, status, 0);
    changed_.notify_all();
}

void GraphEvents::queue(LONG code, LONG_PTR param1, LONG_PTR param2) {
    if (flags_ & AM_MEDIAEVENT_NONOTIFY)
        return;
    if (events_.size() >= kQueueLimit && !endsRun(code))
        return;
    events_.push_back({code, param1, param2});
    ready_.Set();
    changed_.notify_all();
}

HRESULT GraphEvents::get(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs) {
    if (!code || !param1 || !param2)
        return E_POINTER;
    std::unique_lock lock(mutex_);
    if (!waitFor(changed_, lock, timeoutMs, [this] { return !events_.empty(); })) {
        *code = 0;
        *param1 = 0;
        *param2 = 0;
        return E_ABORT;
    }
    const Event e = events_.front();
    events_.pop_front();
    if (events_.empty())
        ready_.Reset();
    *code = e.code;
    *param1 = e.param1;
    *param2 = e.param2;
    return S_OK;
}

HRESULT GraphEvents::waitForCompletion(LONG timeoutMs, LONG* code) {
    if (!code)
        return E_POINTER;
    *code = 0;
    std::unique_lock lock(mutex_);
    if (!armed_)
        return VFW_E_WRONG_STATE;
    if (!waitFor(changed_, lock, timeoutMs, [this] { return completed_ || !armed_; }))
        return E_ABORT;
    if (!completed_)
        return VFW_E_WRONG_STATE; // stopped while waiting
    *code = completionCode_;
    return S_OK;
}

HRESULT GraphEvents::cancelDefaultHandling(LONG code) {
    if (code != EC_COMPLETE)
        return S_FALSE; // no other event has a default handling
    std::lock_guard lock(mutex_);
    defaultCompleteHandling_ = false;
    return S_OK;
}

HRESULT GraphEvents::restoreDefaultHandling(LONG code) {
    if (code != EC_COMPLETE)
        return S_FALSE;
    std::lock_guard lock(mutex_);
    defaultCompleteHandling_ = true;
    return S_OK;
}

void GraphEvents::setFlags(LONG flags) {
    std::lock_guard lock(mutex_);
    flags_ = flags;
}

LONG GraphEvents::flags() {
    std::lock_guard lock(mutex_);
    return flags_;
}

size_t GraphEvents::queued() {
    std::lock_guard lock(mutex_);
    return events_.size();
}

} // namespace platform::dshow::graph
