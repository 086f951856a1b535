#include "platform/dshow/enum_media_types.h"

#include "platform/dshow/base_pin.h"
#include "platform/dshow/guids.h"

namespace platform::dshow {

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* other)
    : CUnknown("media type enumerator", nullptr), pin_(pin), version_(pin->GetMediaTypeVersion()) {
    if (other) {
        position_ = other->position_;
        version_ = other->version_;
    }
    pin_->AddRef();
}

CEnumMediaTypes::~CEnumMediaTypes() {
    pin_->Release();
}

HRESULT CEnumMediaTypes::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IEnumMediaTypes)
        return GetInterface(static_cast<IEnumMediaTypes*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

bool CEnumMediaTypes::OutOfSync() const {
    return version_ != pin_->GetMediaTypeVersion();
}

HRESULT CEnumMediaTypes::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
    if (!types)
        return E_POINTER;
    if (fetched)
        *fetched = 0;
    else if (count > 1)
        return E_INVALIDARG;
    if (OutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG got = 0;
    while (got < count) {
        CMediaType type;
        if (pin_->GetMediaType(position_, &type) != S_OK)
            break;
        ++position_;
        AM_MEDIA_TYPE* copy = CreateMediaType(&type);
        if (!copy)
            break;
        types[got++] = copy;
    }
    if (fetched)
        *fetched = got;
    return got == count ? S_OK : S_FALSE;
}

HRESULT CEnumMediaTypes::Skip(ULONG count) {
    if (OutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    for (ULONG i = 0; i < count; ++i) {
        CMediaType type;
        if (pin_->GetMediaType(position_, &type) != S_OK)
            return S_FALSE;
        ++position_;
    }
    return S_OK;
}

HRESULT CEnumMediaTypes::Reset() {
    version_ = pin_->GetMediaTypeVersion();
    position_ = 0;
    return S_OK;
}

HRESULT CEnumMediaTypes::Clone(IEnumMediaTypes** copy) {
    if (!copy)
        return E_POINTER;
    if (OutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    *copy = new CEnumMediaTypes(pin_, this);
    (*copy)->AddRef();
    return S_OK;
}

} // namespace platform::dshow
