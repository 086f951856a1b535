#include "platform/dshow/media_sample.h"

#include "platform/dshow/guids.h"

namespace platform::dshow {

namespace {
// Result of GetTime when only the start time is set.
constexpr HRESULT VFW_S_NO_STOP_TIME = 0x00040270;
constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = makeResult(0x80040249u);
constexpr HRESULT VFW_E_MEDIA_TIME_NOT_SET = makeResult(0x80040251u);
} // namespace

CMediaSample::CMediaSample(IMemAllocator* allocator, BYTE* buffer, LONG size)
    : allocator_(allocator), buffer_(buffer), size_(size) {}

CMediaSample::~CMediaSample() {
    DeleteMediaType(type_);
}

HRESULT CMediaSample::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IMediaSample || riid == IID_IUnknown) {
        *ppv = static_cast<IMediaSample*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CMediaSample::AddRef() {
    return ++refs_;
}

ULONG CMediaSample::Release() {
    const ULONG left = --refs_;
    if (left == 0)
        allocator_->ReleaseBuffer(this);
    return left;
}

HRESULT CMediaSample::GetPointer(BYTE** buffer) {
    if (!buffer)
        return E_POINTER;
    *buffer = buffer_;
    return S_OK;
}

HRESULT CMediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
    if (!start || !end)
        return E_POINTER;
    if (!timeValid_)
        return VFW_E_SAMPLE_TIME_NOT_SET;
    *start = start_;
    if (!stopValid_) {
        *end = start_ + 1;
        return VFW_S_NO_STOP_TIME;
    }
    *end = end_;
    return S_OK;
}

HRESULT CMediaSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
    timeValid_ = start != nullptr;
    stopValid_ = start && end;
    if (start)
        start_ = *start;
    if (end)
        end_ = *end;
    return S_OK;
}

HRESULT CMediaSample::SetSyncPoint(BOOL value) {
    syncPoint_ = value != FALSE;
    return S_OK;
}

HRESULT CMediaSample::SetPreroll(BOOL value) {
    preroll_ = value != FALSE;
    return S_OK;
}

HRESULT CMediaSample::SetActualDataLength(LONG length) {
    if (length < 0 || length > size_)
        return VFW_E_BUFFER_OVERFLOW;
    actual_ = length;
    return S_OK;
}

HRESULT CMediaSample::GetMediaType(AM_MEDIA_TYPE** type) {
    if (!type)
        return E_POINTER;
    *type = nullptr;
    if (!type_)
        return S_FALSE;
    *type = CreateMediaType(type_);
    return *type ? S_OK : E_OUTOFMEMORY;
}

HRESULT CMediaSample::SetMediaType(AM_MEDIA_TYPE* type) {
    DeleteMediaType(type_);
    type_ = nullptr;
    if (!type)
        return S_OK;
    type_ = CreateMediaType(type);
    return type_ ? S_OK : E_OUTOFMEMORY;
}

HRESULT CMediaSample::SetDiscontinuity(BOOL value) {
    discontinuity_ = value != FALSE;
    return S_OK;
}

HRESULT CMediaSample::GetMediaTime(LONGLONG* start, LONGLONG* end) {
    if (!start || !end)
        return E_POINTER;
    if (!mediaTimeValid_)
        return VFW_E_MEDIA_TIME_NOT_SET;
    *start = mediaStart_;
    *end = mediaEnd_;
    return S_OK;
}

HRESULT CMediaSample::SetMediaTime(LONGLONG* start, LONGLONG* end) {
    mediaTimeValid_ = start && end;
    if (mediaTimeValid_) {
        mediaStart_ = *start;
        mediaEnd_ = *end;
    }
    return S_OK;
}

void CMediaSample::ResetProperties() {
    actual_ = 0;
    timeValid_ = stopValid_ = mediaTimeValid_ = false;
    syncPoint_ = preroll_ = discontinuity_ = false;
    DeleteMediaType(type_);
    type_ = nullptr;
}

} // namespace platform::dshow
