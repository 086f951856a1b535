#include "platform/dshow/base_pin.h"

#include "platform/com/com_ptr.h"
#include "platform/com/task_memory.h"
#include "platform/dshow/base_filter.h"
#include "platform/dshow/enum_media_types.h"
#include "platform/dshow/guids.h"

#include <algorithm>

namespace platform::dshow {

CBasePin::CBasePin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT*,
                   std::u16string_view pinName, PIN_DIRECTION direction)
    : CUnknown(objectName, nullptr), filter_(filter), lock_(lock), name_(pinName), direction_(direction) {}

CBasePin::~CBasePin() {
    ReleaseConnection();
}

HRESULT CBasePin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IPin)
        return GetInterface(static_cast<IPin*>(this), ppv);
    if (riid == IID_IQualityControl)
        return GetInterface(static_cast<IQualityControl*>(this), ppv);
    if (riid == IID_IUnknown)
        return GetInterface(static_cast<IPin*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

ULONG CBasePin::NonDelegatingAddRef() {
    return filter_->AddRef();
}
ULONG CBasePin::NonDelegatingRelease() {
    return filter_->Release();
}

bool CBasePin::IsStopped() const {
    return filter_->IsStopped();
}

void CBasePin::ReleaseConnection() {
    if (connected_) {
        connected_->Release();
        connected_ = nullptr;
    }
}

HRESULT CBasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
    if (!receivePin)
        return E_POINTER;
    CAutoLock lock(lock_);
    if (connected_)
        return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped())
        return VFW_E_NOT_STOPPED;
    if (type) {
        const CMediaType wanted(*type);
        return AgreeMediaType(receivePin, &wanted);
    }
    return AgreeMediaType(receivePin, nullptr);
}

HRESULT CBasePin::AgreeMediaType(IPin* receivePin, const CMediaType* type) {
    if (type && !type->IsPartiallySpecified())
        return AttemptConnection(receivePin, type);
    HRESULT lastError = VFW_E_NO_ACCEPTABLE_TYPES;
    // The receiving pin's types first, then this pin's own.
    IPin* const sources[2] = {receivePin, this};
    for (IPin* source : sources) {
        ComPtr<IEnumMediaTypes> types;
        if (FAILED(source->EnumMediaTypes(types.put())) || !types)
            continue;
        const HRESULT hr = TryMediaTypes(receivePin, type, types.get());
        if (SUCCEEDED(hr))
            return hr;
        if (hr != VFW_E_NO_ACCEPTABLE_TYPES)
            lastError = hr;
    }
    return lastError;
}

HRESULT CBasePin::TryMediaTypes(IPin* receivePin, const CMediaType* pattern, IEnumMediaTypes* types) {
    if (FAILED(types->Reset()))
        return VFW_E_NO_ACCEPTABLE_TYPES;
    HRESULT lastError = VFW_E_NO_ACCEPTABLE_TYPES;
    for (;;) {
        AM_MEDIA_TYPE* offered = nullptr;
        ULONG fetched = 0;
        if (types->Next(1, &offered, &fetched) != S_OK || fetched != 1 || !offered)
            return lastError;
        const CMediaType candidate(*offered);
        DeleteMediaType(offered);
        if (pattern && !pattern->MatchesPartial(&candidate))
            continue;
        const HRESULT hr = AttemptConnection(receivePin, &candidate);
        if (SUCCEEDED(hr))
            return hr;
        if (hr != VFW_E_TYPE_NOT_ACCEPTED && hr != E_FAIL)
            lastError = hr;
    }
}

HRESULT CBasePin::AttemptConnection(IPin* receivePin, const CMediaType* type) {
    HRESULT hr = CheckConnect(receivePin);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    hr = CheckMediaType(type);
    if (hr == S_OK) {
        connected_ = receivePin;
        connected_->AddRef();
        hr = SetMediaType(type);
        if (SUCCEEDED(hr)) {
            hr = receivePin->ReceiveConnection(this, type);
            if (SUCCEEDED(hr)) {
                hr = CompleteConnect(receivePin);
                if (SUCCEEDED(hr))
                    return S_OK;
                receivePin->Disconnect();
            }
        }
        ReleaseConnection();
    } else if (SUCCEEDED(hr)) {
        hr = VFW_E_TYPE_NOT_ACCEPTED;
    }
    BreakConnect();
    return hr;
}

HRESULT CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    if (!connector || !type)
        return E_POINTER;
    CAutoLock lock(lock_);
    if (connected_)
        return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped())
        return VFW_E_NOT_STOPPED;
    HRESULT hr = CheckConnect(connector);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    const CMediaType offered(*type);
    hr = CheckMediaType(&offered);
    if (hr != S_OK) {
        BreakConnect();
        return SUCCEEDED(hr) ? VFW_E_TYPE_NOT_ACCEPTED : hr;
    }
    connected_ = connector;
    connected_->AddRef();
    hr = SetMediaType(&offered);
    if (SUCCEEDED(hr))
        hr = CompleteConnect(connector);
    if (FAILED(hr)) {
        ReleaseConnection();
        BreakConnect();
        return hr;
    }
    return S_OK;
}

HRESULT CBasePin::Disconnect() {
    CAutoLock lock(lock_);
    if (!IsStopped())
        return VFW_E_NOT_STOPPED;
    if (!connected_)
        return S_FALSE;
    const HRESULT hr = BreakConnect();
    if (FAILED(hr))
        return hr;
    ReleaseConnection();
    return S_OK;
}

HRESULT CBasePin::ConnectedTo(IPin** pin) {
    if (!pin)
        return E_POINTER;
    *pin = connected_;
    if (!connected_)
        return VFW_E_NOT_CONNECTED;
    connected_->AddRef();
    return S_OK;
}

HRESULT CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (!type)
        return E_POINTER;
    CAutoLock lock(lock_);
    if (!connected_) {
        *type = CMediaType();
        type->lSampleSize = 0;
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(type, &mt_);
}

HRESULT CBasePin::QueryPinInfo(PIN_INFO* info) {
    if (!info)
        return E_POINTER;
    info->pFilter = filter_;
    filter_->AddRef();
    const size_t n = std::min(name_.size(), MAX_PIN_NAME - 1);
    std::copy_n(name_.data(), n, info->achName);
    info->achName[n] = u'\0';
    info->dir = direction_;
    return S_OK;
}

HRESULT CBasePin::QueryDirection(PIN_DIRECTION* direction) {
    if (!direction)
        return E_POINTER;
    *direction = direction_;
    return S_OK;
}

HRESULT CBasePin::QueryId(LPOLESTR* id) {
    if (!id)
        return E_POINTER;
    *id = taskMemWideCopy(name_);
    return *id ? S_OK : E_OUTOFMEMORY;
}

HRESULT CBasePin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (!type)
        return E_POINTER;
    const CMediaType offered(*type);
    const HRESULT hr = CheckMediaType(&offered);
    return hr == S_OK ? S_OK : S_FALSE;
}

HRESULT CBasePin::EnumMediaTypes(IEnumMediaTypes** types) {
    if (!types)
        return E_POINTER;
    *types = new CEnumMediaTypes(this, nullptr);
    (*types)->AddRef();
    return S_OK;
}

HRESULT CBasePin::QueryInternalConnections(IPin**, ULONG*) {
    return E_NOTIMPL;
}

HRESULT CBasePin::EndOfStream() {
    return S_OK;
}

HRESULT CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    segmentStart_ = start;
    segmentStop_ = stop;
    segmentRate_ = rate;
    return S_OK;
}

HRESULT CBasePin::Notify(IBaseFilter*, Quality) {
    return E_NOTIMPL;
}

HRESULT CBasePin::SetSink(IQualityControl* sink) {
    CAutoLock lock(lock_);
    qualitySink_ = sink;
    return S_OK;
}

HRESULT CBasePin::GetMediaType(int position, CMediaType*) {
    return position < 0 ? E_INVALIDARG : VFW_S_NO_MORE_ITEMS;
}

HRESULT CBasePin::SetMediaType(const CMediaType* type) {
    mt_ = *type;
    return S_OK;
}

HRESULT CBasePin::CheckConnect(IPin* pin) {
    PIN_DIRECTION other;
    const HRESULT hr = pin->QueryDirection(&other);
    if (FAILED(hr))
        return hr;
    return other == direction_ ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::BreakConnect() {
    return S_OK;
}
HRESULT CBasePin::CompleteConnect(IPin*) {
    return S_OK;
}
HRESULT CBasePin::Active() {
    return S_OK;
}
HRESULT CBasePin::Run(REFERENCE_TIME) {
    return S_OK;
}
HRESULT CBasePin::Inactive() {
    return S_OK;
}

} // namespace platform::dshow
