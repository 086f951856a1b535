#pragma once

// The event queue of the graph manager. Filters post events from their streaming threads through
// notify(); hosts take them with get() on any thread. The queue also tracks the end of a run: each
// renderer's EC_COMPLETE is counted and one EC_COMPLETE is queued once all have sent theirs; an abort
// (EC_ERRORABORT, EC_USERABORT) is queued and followed by an EC_COMPLETE that carries the failure.
// While the graph is stopped or stopping, completion and abort events are dropped: a stop is not an
// error, and it ends the run without completing it.

#include "platform/dshow/am_event.h"
#include "platform/dshow/graph_interfaces.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace platform::dshow::graph {

class GraphEvents {
public:
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };

    // A new run starts: renderers (identities of the sending filters) must each send EC_COMPLETE. The
    // completion and abort events of an earlier run still queued are dropped.
    void startRun(std::vector<const void*> renderers);
    // The graph runs: a run without renderers completes at once.
    void running();
    // The same run goes on from a new position: every renderer must end again.
    void restartRun();
    // The graph stops: from now on completion and abort events are dropped.
    void stop();

    void notify(LONG code, LONG_PTR param1, LONG_PTR param2);
    HRESULT get(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs);
    HRESULT waitForCompletion(LONG timeoutMs, LONG* code);
    HRESULT cancelDefaultHandling(LONG code);
    HRESULT restoreDefaultHandling(LONG code);
    void setFlags(LONG flags);
    LONG flags();
    CAMEvent* readyEvent() { return &ready_; }
    size_t queued();
    // Every renderer of the current run has ended (the run completed without a failure).
    bool completedRun();

private:
    void queue(LONG code, LONG_PTR param1, LONG_PTR param2); // under mutex_
    void complete(LONG code, HRESULT status);                // under mutex_; once per run
    void onRendererComplete(LONG_PTR sender);                // under mutex_

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Event> events_;
    CAMEvent ready_{true}; // set while events_ is not empty
    bool armed_ = false;   // a run is under way: completion and aborts count
    bool completed_ = false;
    LONG completionCode_ = 0;
    bool defaultCompleteHandling_ = true;
    LONG flags_ = 0;
    std::vector<const void*> renderers_; // of the run
    std::vector<const void*> ended_;     // renderers that sent EC_COMPLETE
    size_t anonymousEnds_ = 0;           // EC_COMPLETE without a sender
};

} // namespace platform::dshow::graph
