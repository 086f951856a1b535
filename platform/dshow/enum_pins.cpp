#include "platform/dshow/enum_pins.h"

#include "platform/dshow/base_filter.h"
#include "platform/dshow/base_pin.h"
#include "platform/dshow/guids.h"

namespace platform::dshow {

CEnumPins::CEnumPins(CBaseFilter* filter, const CEnumPins* other)
    : CUnknown("pin enumerator", nullptr), filter_(filter), version_(filter->GetPinVersion()) {
    if (other) {
        position_ = other->position_;
        version_ = other->version_;
    }
    filter_->AddRef();
}

CEnumPins::~CEnumPins() {
    filter_->Release();
}

HRESULT CEnumPins::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IEnumPins)
        return GetInterface(static_cast<IEnumPins*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

bool CEnumPins::OutOfSync() const {
    return version_ != filter_->GetPinVersion();
}

HRESULT CEnumPins::Next(ULONG count, IPin** pins, ULONG* fetched) {
    if (!pins)
        return E_POINTER;
    if (fetched)
        *fetched = 0;
    else if (count > 1)
        return E_INVALIDARG;
    if (OutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG got = 0;
    while (got < count && position_ < filter_->GetPinCount()) {
        CBasePin* pin = filter_->GetPin(position_++);
        if (!pin)
            continue;
        pins[got++] = pin;
        pin->AddRef();
    }
    if (fetched)
        *fetched = got;
    return got == count ? S_OK : S_FALSE;
}

HRESULT CEnumPins::Skip(ULONG count) {
    if (OutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    const int left = filter_->GetPinCount() - position_;
    if (static_cast<LONG>(count) > left) {
        position_ += left;
        return S_FALSE;
    }
    position_ += static_cast<int>(count);
    return S_OK;
}

HRESULT CEnumPins::Reset() {
    version_ = filter_->GetPinVersion();
    position_ = 0;
    return S_OK;
}

HRESULT CEnumPins::Clone(IEnumPins** copy) {
    if (!copy)
        return E_POINTER;
    if (OutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    *copy = new CEnumPins(filter_, this);
    (*copy)->AddRef();
    return S_OK;
}

} // namespace platform::dshow
