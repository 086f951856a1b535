#include "platform/dshow/media_type.h"

#include "platform/com/task_memory.h"

#include <cstring>

namespace platform::dshow {

void FreeMediaType(AM_MEDIA_TYPE& type) {
    if (type.cbFormat != 0 || type.pbFormat) {
        CoTaskMemFree(type.pbFormat);
        type.cbFormat = 0;
        type.pbFormat = nullptr;
    }
    if (type.pUnk) {
        type.pUnk->Release();
        type.pUnk = nullptr;
    }
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
    if (!type)
        return;
    FreeMediaType(*type);
    CoTaskMemFree(type);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
    if (!target || !source)
        return E_POINTER;
    *target = *source;
    if (source->cbFormat != 0 && source->pbFormat) {
        target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
        if (!target->pbFormat) {
            target->cbFormat = 0;
            return E_OUTOFMEMORY;
        }
        std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
    } else {
        target->cbFormat = 0;
        target->pbFormat = nullptr;
    }
    if (target->pUnk)
        target->pUnk->AddRef();
    return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source) {
    auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!copy)
        return nullptr;
    if (FAILED(CopyMediaType(copy, source))) {
        CoTaskMemFree(copy);
        return nullptr;
    }
    return copy;
}

CMediaType::CMediaType() {
    InitMediaType();
}

CMediaType::CMediaType(const GUID& major, const GUID& sub) {
    InitMediaType();
    majortype = major;
    subtype = sub;
}

CMediaType::CMediaType(const AM_MEDIA_TYPE& other) : AM_MEDIA_TYPE() {
    InitMediaType();
    if (FAILED(CopyMediaType(this, &other)))
        InitMediaType();
}

CMediaType::CMediaType(const CMediaType& other) : CMediaType(static_cast<const AM_MEDIA_TYPE&>(other)) {}

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& other) {
    if (&other != this) {
        FreeMediaType(*this);
        if (FAILED(CopyMediaType(this, &other)))
            InitMediaType();
    }
    return *this;
}

CMediaType& CMediaType::operator=(const CMediaType& other) {
    return *this = static_cast<const AM_MEDIA_TYPE&>(other);
}

CMediaType::~CMediaType() {
    FreeMediaType(*this);
}

bool CMediaType::operator==(const CMediaType& other) const {
    if (majortype != other.majortype || subtype != other.subtype || formattype != other.formattype ||
        cbFormat != other.cbFormat)
        return false;
    return cbFormat == 0 || std::memcmp(pbFormat, other.pbFormat, cbFormat) == 0;
}

bool CMediaType::SetFormat(const BYTE* bytes, ULONG length) {
    ResetFormatBuffer();
    if (length == 0)
        return true;
    pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(length));
    if (!pbFormat)
        return false;
    std::memcpy(pbFormat, bytes, length);
    cbFormat = length;
    return true;
}

void CMediaType::ResetFormatBuffer() {
    CoTaskMemFree(pbFormat);
    pbFormat = nullptr;
    cbFormat = 0;
}

bool CMediaType::IsPartiallySpecified() const {
    return majortype == GUID_NULL || formattype == GUID_NULL;
}

bool CMediaType::MatchesPartial(const CMediaType* other) const {
    if (majortype != GUID_NULL && majortype != other->majortype)
        return false;
    if (subtype != GUID_NULL && subtype != other->subtype)
        return false;
    if (formattype != GUID_NULL) {
        if (formattype != other->formattype || cbFormat != other->cbFormat)
            return false;
        if (cbFormat != 0 && std::memcmp(pbFormat, other->pbFormat, cbFormat) != 0)
            return false;
    }
    return true;
}

void CMediaType::InitMediaType() {
    majortype = GUID_NULL;
    subtype = GUID_NULL;
    bFixedSizeSamples = TRUE;
    bTemporalCompression = FALSE;
    lSampleSize = 1;
    formattype = GUID_NULL;
    pUnk = nullptr;
    cbFormat = 0;
    pbFormat = nullptr;
}

} // namespace platform::dshow
