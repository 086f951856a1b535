#pragma once

// Filters, the graph they join, its clock and its event sink.

#include "platform/dshow/am_event.h"
#include "platform/dshow/pin_interfaces.h"

#include <cstdint>

namespace platform::dshow {

struct IPersist : IUnknown {
    virtual HRESULT GetClassID(CLSID* clsid) = 0;

protected:
    ~IPersist() = default;
};

struct IReferenceClock : IUnknown {
    virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;
    // Sets event once the clock reaches baseTime + streamTime.
    virtual HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, CAMEvent* event,
                               uintptr_t* cookie) = 0;
    // Sets event every period from start on.
    virtual HRESULT AdvisePeriodic(REFERENCE_TIME start, REFERENCE_TIME period, CAMEvent* event,
                                   uintptr_t* cookie) = 0;
    virtual HRESULT Unadvise(uintptr_t cookie) = 0;

protected:
    ~IReferenceClock() = default;
};

struct IMediaFilter : IPersist {
    virtual HRESULT Stop() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Run(REFERENCE_TIME start) = 0;
    virtual HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) = 0;
    virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
    virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;

protected:
    ~IMediaFilter() = default;
};

struct IBaseFilter : IMediaFilter {
    virtual HRESULT EnumPins(IEnumPins** pins) = 0;
    virtual HRESULT FindPin(LPCOLESTR id, IPin** pin) = 0;
    virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
    // The graph does not hold a reference back from the filter's side: a filter keeps the pointer only.
    virtual HRESULT JoinFilterGraph(IFilterGraph* graph, LPCOLESTR name) = 0;
    virtual HRESULT QueryVendorInfo(LPOLESTR* info) = 0;

protected:
    ~IBaseFilter() = default;
};

struct IEnumFilters : IUnknown {
    virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumFilters** copy) = 0;

protected:
    ~IEnumFilters() = default;
};

struct IFilterGraph : IUnknown {
    virtual HRESULT AddFilter(IBaseFilter* filter, LPCOLESTR name) = 0;
    virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
    virtual HRESULT EnumFilters(IEnumFilters** filters) = 0;
    virtual HRESULT FindFilterByName(LPCOLESTR name, IBaseFilter** filter) = 0;
    virtual HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT Reconnect(IPin* pin) = 0;
    virtual HRESULT Disconnect(IPin* pin) = 0;
    virtual HRESULT SetDefaultSyncSource() = 0;

protected:
    ~IFilterGraph() = default;
};

// What a graph offers its filters for events such as EC_COMPLETE.
struct IMediaEventSink : IUnknown {
    virtual HRESULT Notify(LONG code, intptr_t param1, intptr_t param2) = 0;

protected:
    ~IMediaEventSink() = default;
};

} // namespace platform::dshow
