#include "platform/dshow/base_filter.h"

#include "platform/com/com_ptr.h"
#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/dshow/base_pin.h"
#include "platform/dshow/enum_pins.h"
#include "platform/dshow/guids.h"

#include <algorithm>

namespace platform::dshow {

CBaseFilter::CBaseFilter(const char* objectName, IUnknown* outer, CCritSec* lock, REFCLSID clsid)
    : CUnknown(objectName, outer), lock_(lock), clsid_(clsid) {}

CBaseFilter::~CBaseFilter() {
    if (clock_)
        clock_->Release();
}

HRESULT CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IBaseFilter)
        return GetInterface(static_cast<IBaseFilter*>(this), ppv);
    if (riid == IID_IMediaFilter)
        return GetInterface(static_cast<IMediaFilter*>(this), ppv);
    if (riid == IID_IPersist)
        return GetInterface(static_cast<IPersist*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBaseFilter::GetClassID(CLSID* clsid) {
    if (!clsid)
        return E_POINTER;
    *clsid = clsid_;
    return S_OK;
}

HRESULT CBaseFilter::Stop() {
    CAutoLock lock(lock_);
    HRESULT result = S_OK;
    if (state_ != State_Stopped) {
        // Every connected pin is deactivated, whatever the others answer.
        for (int i = 0; i < GetPinCount(); ++i) {
            CBasePin* pin = GetPin(i);
            if (pin && pin->IsConnected()) {
                const HRESULT hr = pin->Inactive();
                if (FAILED(hr) && SUCCEEDED(result))
                    result = hr;
            }
        }
    }
    state_ = State_Stopped;
    return result;
}

HRESULT CBaseFilter::Pause() {
    CAutoLock lock(lock_);
    if (state_ == State_Stopped) {
        for (int i = 0; i < GetPinCount(); ++i) {
            CBasePin* pin = GetPin(i);
            if (pin && pin->IsConnected()) {
                const HRESULT hr = pin->Active();
                if (FAILED(hr))
                    return hr;
            }
        }
    }
    state_ = State_Paused;
    return S_OK;
}

HRESULT CBaseFilter::Run(REFERENCE_TIME start) {
    CAutoLock lock(lock_);
    start_ = start;
    if (state_ == State_Stopped) {
        const HRESULT hr = Pause();
        if (FAILED(hr))
            return hr;
    }
    if (state_ != State_Running) {
        for (int i = 0; i < GetPinCount(); ++i) {
            CBasePin* pin = GetPin(i);
            if (pin && pin->IsConnected()) {
                const HRESULT hr = pin->Run(start);
                if (FAILED(hr))
                    return hr;
            }
        }
    }
    state_ = State_Running;
    return S_OK;
}

HRESULT CBaseFilter::GetState(DWORD, FILTER_STATE* state) {
    if (!state)
        return E_POINTER;
    *state = state_;
    return S_OK;
}

HRESULT CBaseFilter::SetSyncSource(IReferenceClock* clock) {
    CAutoLock lock(lock_);
    if (clock)
        clock->AddRef();
    if (clock_)
        clock_->Release();
    clock_ = clock;
    return S_OK;
}

HRESULT CBaseFilter::GetSyncSource(IReferenceClock** clock) {
    if (!clock)
        return E_POINTER;
    CAutoLock lock(lock_);
    *clock = clock_;
    if (clock_)
        clock_->AddRef();
    return S_OK;
}

HRESULT CBaseFilter::EnumPins(IEnumPins** pins) {
    if (!pins)
        return E_POINTER;
    *pins = new CEnumPins(this, nullptr);
    (*pins)->AddRef();
    return S_OK;
}

HRESULT CBaseFilter::FindPin(LPCOLESTR id, IPin** pin) {
    if (!id || !pin)
        return E_POINTER;
    *pin = nullptr;
    CAutoLock lock(lock_);
    const std::u16string_view wanted = wideView(id);
    for (int i = 0; i < GetPinCount(); ++i) {
        CBasePin* candidate = GetPin(i);
        if (candidate && candidate->Name() == wanted) {
            *pin = candidate;
            candidate->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT CBaseFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (!info)
        return E_POINTER;
    const size_t n = std::min(name_.size(), MAX_FILTER_NAME - 1);
    std::copy_n(name_.data(), n, info->achName);
    info->achName[n] = u'\0';
    info->pGraph = graph_;
    if (graph_)
        graph_->AddRef();
    return S_OK;
}

HRESULT CBaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCOLESTR name) {
    CAutoLock lock(lock_);
    graph_ = graph;
    sink_ = nullptr;
    if (graph) {
        // The sink belongs to the graph, which outlives the filter's membership: no reference kept.
        ComPtr<IMediaEventSink> sink;
        if (SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, sink.putVoid())))
            sink_ = sink.get();
    }
    name_ = name ? std::u16string(wideView(name, MAX_FILTER_NAME - 1)) : std::u16string();
    return S_OK;
}

HRESULT CBaseFilter::QueryVendorInfo(LPOLESTR*) {
    return E_NOTIMPL;
}

bool CBaseFilter::IsActive() {
    return state_ != State_Stopped;
}

bool CBaseFilter::IsStopped() {
    return state_ == State_Stopped;
}

HRESULT CBaseFilter::NotifyEvent(LONG code, intptr_t param1, intptr_t param2) {
    IMediaEventSink* sink = sink_;
    if (!sink)
        return E_NOTIMPL;
    // EC_COMPLETE carries the sending filter, as graphs expect.
    if (code == EC_COMPLETE && param2 == 0)
        param2 = reinterpret_cast<intptr_t>(static_cast<IBaseFilter*>(this));
    return sink->Notify(code, param1, param2);
}

} // namespace platform::dshow
