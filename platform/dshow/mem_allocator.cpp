#include "platform/dshow/mem_allocator.h"

#include "platform/dshow/guids.h"

#include <cstdint>
#include <limits>

namespace platform::dshow {

CMemAllocator::CMemAllocator(const char* objectName, IUnknown* outer) : CUnknown(objectName, outer) {}

CMemAllocator::~CMemAllocator() = default;

CUnknown* CMemAllocator::CreateInstance(IUnknown* outer, HRESULT*) {
    return new CMemAllocator("memory allocator", outer);
}

HRESULT CMemAllocator::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IMemAllocator)
        return GetInterface(static_cast<IMemAllocator*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
    if (!request || !actual)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    if (committed_)
        return VFW_E_ALREADY_COMMITTED;
    if (free_.size() != samples_.size())
        return VFW_E_BUFFERS_OUTSTANDING;
    const LONG align = request->cbAlign;
    if (align <= 0 || (align & (align - 1)) != 0)
        return VFW_E_BADALIGN;
    if (request->cBuffers < 0 || request->cbBuffer < 0 || request->cbPrefix < 0)
        return E_INVALIDARG;
    // The buffer with its prefix is rounded up to the alignment.
    const int64_t whole = int64_t{request->cbBuffer} + request->cbPrefix;
    const int64_t rounded = (whole + align - 1) / align * align;
    if (rounded - request->cbPrefix > std::numeric_limits<LONG>::max())
        return E_OUTOFMEMORY;
    props_ = *request;
    props_.cbBuffer = static_cast<LONG>(rounded - request->cbPrefix);
    propsSet_ = true;
    *actual = props_;
    return S_OK;
}

HRESULT CMemAllocator::GetProperties(ALLOCATOR_PROPERTIES* props) {
    if (!props)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *props = props_;
    return S_OK;
}

HRESULT CMemAllocator::Commit() {
    std::lock_guard lock(mutex_);
    if (committed_)
        return S_OK;
    if (!propsSet_ || props_.cbBuffer <= 0 || props_.cBuffers <= 0)
        return VFW_E_SIZENOTSET;
    if (samples_.empty()) {
        const size_t align = static_cast<size_t>(props_.cbAlign);
        const size_t stride =
            (static_cast<size_t>(props_.cbPrefix) + static_cast<size_t>(props_.cbBuffer) + align - 1) /
            align * align;
        try {
            memory_.assign(stride * static_cast<size_t>(props_.cBuffers) + align, 0);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        // The first data byte of every sample falls on the alignment.
        const auto base =
            reinterpret_cast<uintptr_t>(memory_.data()) + static_cast<uintptr_t>(props_.cbPrefix);
        const size_t skip = (align - base % align) % align;
        for (LONG i = 0; i < props_.cBuffers; ++i) {
            BYTE* data = memory_.data() + skip + static_cast<size_t>(props_.cbPrefix) +
                         stride * static_cast<size_t>(i);
            samples_.push_back(std::make_unique<CMediaSample>(this, data, props_.cbBuffer));
            free_.push_back(samples_.back().get());
        }
    }
    committed_ = true;
    return S_OK;
}

HRESULT CMemAllocator::Decommit() {
    {
        std::lock_guard lock(mutex_);
        committed_ = false;
        FreeIfIdle();
    }
    freed_.notify_all();
    return S_OK;
}

void CMemAllocator::FreeIfIdle() {
    if (!committed_ && free_.size() == samples_.size()) {
        free_.clear();
        samples_.clear();
        memory_.clear();
        memory_.shrink_to_fit();
    }
}

HRESULT CMemAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end,
                                 DWORD flags) {
    if (!sample)
        return E_POINTER;
    *sample = nullptr;
    CMediaSample* taken = nullptr;
    {
        std::unique_lock lock(mutex_);
        if ((flags & AM_GBF_NOWAIT) == 0)
            freed_.wait(lock, [this] { return !committed_ || !free_.empty(); });
        if (!committed_)
            return VFW_E_NOT_COMMITTED;
        if (free_.empty())
            return VFW_E_TIMEOUT;
        taken = free_.back();
        free_.pop_back();
    }
    // A sample out keeps its allocator alive.
    NonDelegatingAddRef();
    taken->ResetProperties();
    if (start || end)
        taken->SetTime(start, end);
    taken->AddRef();
    *sample = taken;
    return S_OK;
}

HRESULT CMemAllocator::ReleaseBuffer(IMediaSample* sample) {
    if (!sample)
        return E_POINTER;
    {
        std::lock_guard lock(mutex_);
        free_.push_back(static_cast<CMediaSample*>(sample));
        FreeIfIdle();
    }
    freed_.notify_one();
    NonDelegatingRelease();
    return S_OK;
}

} // namespace platform::dshow
