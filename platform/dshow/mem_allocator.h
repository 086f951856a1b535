#pragma once

// The memory allocator: a fixed set of samples, each of cbBuffer bytes after cbPrefix bytes, whose
// data starts at a multiple of cbAlign. Properties may change only while decommitted with every
// sample back; GetBuffer waits for a free sample and fails once the allocator is decommitted. The
// memory is freed when the allocator is decommitted and the last sample has come back.

#include "platform/com/cunknown.h"
#include "platform/dshow/media_sample.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace platform::dshow {

class CMemAllocator final : public CUnknown, public IMemAllocator {
public:
    CMemAllocator(const char* objectName, IUnknown* outer);
    ~CMemAllocator() override;

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
    HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) override;
    HRESULT Commit() override;
    HRESULT Decommit() override;
    HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end,
                      DWORD flags) override;
    HRESULT ReleaseBuffer(IMediaSample* sample) override;

    // Creation through a class factory.
    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

private:
    void FreeIfIdle(); // under mutex_

    std::mutex mutex_;
    std::condition_variable freed_;
    ALLOCATOR_PROPERTIES props_;
    bool committed_ = false;
    bool propsSet_ = false;
    std::vector<std::unique_ptr<CMediaSample>> samples_;
    std::vector<CMediaSample*> free_;
    std::vector<BYTE> memory_;
};

} // namespace platform::dshow
