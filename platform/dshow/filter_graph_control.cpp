// Run, pause and stop of the filter graph manager.

#include "platform/dshow/filter_graph.h"

#include "platform/dshow/guids.h"

#include <algorithm>

namespace platform::dshow {

namespace {

// Filters run with this start time. A clock, where there is one, tells the stream time now playing;
// filters without one pace themselves.
constexpr REFERENCE_TIME kStartTime = 0;

} // namespace

void FilterGraph::beginRun() {
    const graph::FilterList filters = memberFilters();
    // The order is kept for the stop: a source may hide its pins once stopped.
    order_ = graph::startOrder(filters);
    std::vector<const void*> renderers;
    for (const auto& filter : filters)
        if (graph::isRenderer(filter.get()))
            renderers.push_back(filter.get()); // the pointer a filter sends with EC_COMPLETE
    events_.startRun(std::move(renderers));
    chooseClock();
}

void FilterGraph::chooseClock() {
    ComPtr<IReferenceClock> clock;
    for (const Member& member : members_)
        if (SUCCEEDED(member.filter->QueryInterface(IID_IReferenceClock, clock.putVoid())) && clock)
            break;
    for (const Member& member : members_)
        member.filter->SetSyncSource(clock.get());
}

void FilterGraph::dropClock() {
    // A clock that is a filter of the graph would otherwise hold itself through the filters.
    for (const Member& member : members_)
        member.filter->SetSyncSource(nullptr);
}

HRESULT FilterGraph::startFilters(bool run) {
    HRESULT result = S_OK;
    const FILTER_STATE from = state_;
    for (const auto& filter : order_) {
        HRESULT hr = S_OK;
        if (from == State_Stopped || !run)
            hr = filter->Pause();
        if (SUCCEEDED(hr) && run)
            hr = filter->Run(kStartTime);
        if (FAILED(hr))
            return hr;
        if (hr != S_OK)
            result = S_FALSE; // the filter has not finished the change yet
    }
    return result;
}

HRESULT FilterGraph::stopFilters() {
    events_.stop();
    HRESULT result = S_OK;
    const auto stopOne = [&result](IBaseFilter* filter) {
        const HRESULT hr = filter->Stop();
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    };
    for (auto it = order_.rbegin(); it != order_.rend(); ++it)
        stopOne(it->get());
    // Filters added after the run started were never started; stopping them does no harm.
    for (const Member& member : members_) {
        const void* id = graph::identityOf(member.filter.get());
        const bool ordered = std::any_of(order_.begin(), order_.end(), [id](const ComPtr<IBaseFilter>& f) {
            return graph::identityOf(f.get()) == id;
        });
        if (!ordered)
            stopOne(member.filter.get());
    }
    state_ = State_Stopped;
    dropClock();
    return result;
}

HRESULT FilterGraph::Run() {
    std::lock_guard lock(lock_);
    if (state_ == State_Running)
        return S_OK;
    if (state_ == State_Stopped)
        beginRun();
    const HRESULT hr = startFilters(true);
    if (FAILED(hr)) {
        stopFilters();
        return hr;
    }
    state_ = State_Running;
    events_.running();
    return hr;
}

HRESULT FilterGraph::Pause() {
    std::lock_guard lock(lock_);
    if (state_ == State_Paused)
        return S_OK;
    if (state_ == State_Stopped)
        beginRun();
    const HRESULT hr = startFilters(false);
    if (FAILED(hr)) {
        stopFilters();
        return hr;
    }
    state_ = State_Paused;
    return hr;
}

HRESULT FilterGraph::Stop() {
    std::lock_guard lock(lock_);
    if (state_ == State_Stopped)
        return S_OK;
    return stopFilters();
}

HRESULT FilterGraph::GetState(LONG, OAFilterState* state) {
    if (!state)
        return E_POINTER;
    *state = state_;
    return S_OK;
}

HRESULT FilterGraph::StopWhenReady() {
    const HRESULT hr = Pause();
    if (FAILED(hr))
        return hr;
    return Stop();
}

HRESULT FilterGraph::RenderFile(LPCOLESTR file) {
    return RenderFile(file, nullptr);
}

} // namespace platform::dshow
