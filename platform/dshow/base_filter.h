#pragma once

// The base of every filter: state (stopped, paused, running), pins reached through GetPinCount and
// GetPin, the graph it joined and the clock it runs by. Run, Pause and Stop change state under the
// filter's lock and activate or deactivate every connected pin; the state may be read from any thread.

#include "platform/com/cunknown.h"
#include "platform/dshow/crit_sec.h"
#include "platform/dshow/filter_interfaces.h"

#include <atomic>
#include <string>

namespace platform::dshow {

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter {
public:
    // lock is the filter's critical section, owned by the derived filter; it outlives this object.
    CBaseFilter(const char* objectName, IUnknown* outer, CCritSec* lock, REFCLSID clsid);
    ~CBaseFilter() override;

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IPersist
    HRESULT GetClassID(CLSID* clsid) override;
    // IMediaFilter
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;
    // IBaseFilter
    HRESULT EnumPins(IEnumPins** pins) override;
    HRESULT FindPin(LPCOLESTR id, IPin** pin) override;
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT JoinFilterGraph(IFilterGraph* graph, LPCOLESTR name) override;
    HRESULT QueryVendorInfo(LPOLESTR* info) override;

    virtual int GetPinCount() = 0;
    // The n-th pin (no reference added), or nullptr.
    virtual CBasePin* GetPin(int n) = 0;
    // Changes whenever the set of pins changes, so that pin enumerators notice.
    virtual LONG GetPinVersion() { return pinVersion_; }
    void IncrementPinVersion() { ++pinVersion_; }

    bool IsActive();
    bool IsStopped();
    IFilterGraph* GetFilterGraph() const { return graph_; }
    const std::u16string& FilterName() const { return name_; }
    // Sends an event to the graph's event sink, when the filter is in a graph that has one.
    HRESULT NotifyEvent(LONG code, intptr_t param1, intptr_t param2);

protected:
    CCritSec* lock_;
    // Changed under lock_; streaming threads and GetState read it without the lock.
    std::atomic<FILTER_STATE> state_{State_Stopped};
    IReferenceClock* clock_ = nullptr; // holds a reference
    REFERENCE_TIME start_ = 0;

private:
    CLSID clsid_;
    std::u16string name_;
    IFilterGraph* graph_ = nullptr;   // no reference: the graph owns the filter
    IMediaEventSink* sink_ = nullptr; // the graph's, no reference
    LONG pinVersion_ = 1;
};

} // namespace platform::dshow
