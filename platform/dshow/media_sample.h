#pragma once

// A media sample: a buffer of its allocator with times, flags and the length of the data in it. When
// its last reference goes, the sample returns to its allocator instead of being deleted.

#include "platform/dshow/media_type.h"
#include "platform/dshow/sample_interfaces.h"

#include <atomic>

namespace platform::dshow {

class CMediaSample : public IMediaSample {
public:
    // buffer stays owned by the allocator.
    CMediaSample(IMemAllocator* allocator, BYTE* buffer, LONG size);
    virtual ~CMediaSample();
    CMediaSample(const CMediaSample&) = delete;
    CMediaSample& operator=(const CMediaSample&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    // At 0 the sample goes back to its allocator.
    ULONG Release() override;

    HRESULT GetPointer(BYTE** buffer) override;
    LONG GetSize() override { return size_; }
    HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
    HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
    HRESULT IsSyncPoint() override { return syncPoint_ ? S_OK : S_FALSE; }
    HRESULT SetSyncPoint(BOOL value) override;
    HRESULT IsPreroll() override { return preroll_ ? S_OK : S_FALSE; }
    HRESULT SetPreroll(BOOL value) override;
    LONG GetActualDataLength() override { return actual_; }
    HRESULT SetActualDataLength(LONG length) override;
    HRESULT GetMediaType(AM_MEDIA_TYPE** type) override;
    HRESULT SetMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT IsDiscontinuity() override { return discontinuity_ ? S_OK : S_FALSE; }
    HRESULT SetDiscontinuity(BOOL value) override;
    HRESULT GetMediaTime(LONGLONG* start, LONGLONG* end) override;
    HRESULT SetMediaTime(LONGLONG* start, LONGLONG* end) override;

    // Clears times, flags, length and type before the sample is handed out again.
    void ResetProperties();

private:
    IMemAllocator* allocator_; // not owned: the allocator owns its samples
    BYTE* buffer_;
    LONG size_;
    LONG actual_ = 0;
    std::atomic<ULONG> refs_{0};
    bool timeValid_ = false;
    bool stopValid_ = false;
    bool mediaTimeValid_ = false;
    bool syncPoint_ = false;
    bool preroll_ = false;
    bool discontinuity_ = false;
    REFERENCE_TIME start_ = 0;
    REFERENCE_TIME end_ = 0;
    LONGLONG mediaStart_ = 0;
    LONGLONG mediaEnd_ = 0;
    AM_MEDIA_TYPE* type_ = nullptr; // task memory
};

} // namespace platform::dshow
