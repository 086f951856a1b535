#include "platform/dshow/input_pin.h"

#include "platform/dshow/guids.h"
#include "platform/dshow/mem_allocator.h"

namespace platform::dshow {

CBaseInputPin::CBaseInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr,
                             std::u16string_view pinName)
    : CBasePin(objectName, filter, lock, hr, pinName, PINDIR_INPUT) {}

CBaseInputPin::~CBaseInputPin() {
    if (allocator_)
        allocator_->Release();
}

HRESULT CBaseInputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IMemInputPin)
        return GetInterface(static_cast<IMemInputPin*>(this), ppv);
    return CBasePin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBaseInputPin::GetAllocator(IMemAllocator** allocator) {
    if (!allocator)
        return E_POINTER;
    CAutoLock lock(lock_);
    if (!allocator_) {
        auto* created = new CMemAllocator("input pin allocator", nullptr);
        created->NonDelegatingAddRef();
        allocator_ = created;
    }
    allocator_->AddRef();
    *allocator = allocator_;
    return S_OK;
}

HRESULT CBaseInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
    if (!allocator)
        return E_POINTER;
    CAutoLock lock(lock_);
    allocator->AddRef();
    if (allocator_)
        allocator_->Release();
    allocator_ = allocator;
    readOnly_ = readOnly != FALSE;
    return S_OK;
}

HRESULT CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) {
    return E_NOTIMPL;
}

HRESULT CBaseInputPin::Receive(IMediaSample* sample) {
    if (!sample)
        return E_POINTER;
    if (IsStopped())
        return VFW_E_WRONG_STATE;
    if (flushing_)
        return S_FALSE;
    return S_OK;
}

HRESULT CBaseInputPin::ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) {
    if (!samples || !processed)
        return E_POINTER;
    *processed = 0;
    HRESULT hr = S_OK;
    while (*processed < count) {
        hr = Receive(samples[*processed]);
        if (hr != S_OK)
            break;
        ++*processed;
    }
    return hr;
}

HRESULT CBaseInputPin::BeginFlush() {
    flushing_ = true;
    return S_OK;
}

HRESULT CBaseInputPin::EndFlush() {
    flushing_ = false;
    return S_OK;
}

HRESULT CBaseInputPin::BreakConnect() {
    if (allocator_) {
        allocator_->Decommit();
        allocator_->Release();
        allocator_ = nullptr;
    }
    return S_OK;
}

HRESULT CBaseInputPin::Inactive() {
    flushing_ = false;
    return allocator_ ? allocator_->Decommit() : S_OK;
}

} // namespace platform::dshow
