#include "platform/dshow/pull_pin.h"

#include "platform/com/com_ptr.h"
#include "platform/dshow/guids.h"
#include "platform/dshow/mem_allocator.h"

#include <algorithm>

namespace platform::dshow {

CPullPin::CPullPin() = default;

CPullPin::~CPullPin() {
    Inactive();
    Disconnect();
}

HRESULT CPullPin::Connect(IUnknown* pin, IMemAllocator* allocator, const ALLOCATOR_PROPERTIES& props) {
    if (!pin)
        return E_POINTER;
    if (thread_.joinable())
        return VFW_E_WRONG_STATE;
    Disconnect();
    HRESULT hr = pin->QueryInterface(IID_IAsyncReader, reinterpret_cast<void**>(&reader_));
    if (FAILED(hr) || !reader_) {
        reader_ = nullptr;
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }
    ComPtr<IMemAllocator> preferred(allocator);
    if (!preferred) {
        auto* created = new CMemAllocator("pull pin allocator", nullptr);
        created->NonDelegatingAddRef();
        preferred = ComPtr<IMemAllocator>::adopt(created);
    }
    ALLOCATOR_PROPERTIES wanted = props;
    hr = reader_->RequestAllocator(preferred.get(), &wanted, &allocator_);
    if (FAILED(hr) || !allocator_) {
        allocator_ = nullptr;
        Disconnect();
        return FAILED(hr) ? hr : E_FAIL;
    }
    LONGLONG total = 0;
    if (SUCCEEDED(reader_->Length(&total, nullptr))) {
        std::lock_guard lock(rangeMutex_);
        start_ = 0;
        stop_ = total;
    }
    return S_OK;
}

HRESULT CPullPin::Disconnect() {
    if (thread_.joinable())
        return VFW_E_WRONG_STATE;
    if (allocator_) {
        allocator_->Release();
        allocator_ = nullptr;
    }
    if (reader_) {
        reader_->Release();
        reader_ = nullptr;
    }
    return S_OK;
}

HRESULT CPullPin::Seek(LONGLONG start, LONGLONG stop) {
    if (start < 0)
        return E_INVALIDARG;
    std::lock_guard lock(rangeMutex_);
    start_ = start;
    stop_ = stop;
    return S_OK;
}

HRESULT CPullPin::Length(LONGLONG* total) {
    if (!total)
        return E_POINTER;
    return reader_ ? reader_->Length(total, nullptr) : VFW_E_NOT_CONNECTED;
}

HRESULT CPullPin::Active() {
    if (!reader_ || !allocator_)
        return VFW_E_NOT_CONNECTED;
    if (thread_.joinable())
        return S_OK;
    const HRESULT hr = allocator_->Commit();
    if (FAILED(hr))
        return hr;
    stopRequested_ = false;
    thread_ = std::thread([this] { Process(); });
    return S_OK;
}

HRESULT CPullPin::Inactive() {
    if (!thread_.joinable())
        return S_FALSE;
    stopRequested_ = true;
    // Decommitting wakes a thread that waits for a free buffer.
    if (allocator_)
        allocator_->Decommit();
    thread_.join();
    return S_OK;
}

void CPullPin::Process() {
    LONGLONG position = 0;
    LONGLONG stop = 0;
    {
        std::lock_guard lock(rangeMutex_);
        position = start_;
        stop = stop_;
    }
    if (stop < 0 && FAILED(reader_->Length(&stop, nullptr))) {
        OnError(E_FAIL);
        return;
    }
    ALLOCATOR_PROPERTIES props;
    if (FAILED(allocator_->GetProperties(&props)) || props.cbBuffer <= 0) {
        OnError(VFW_E_SIZENOTSET);
        return;
    }
    while (!stopRequested_ && position < stop) {
        ComPtr<IMediaSample> sample;
        HRESULT hr = allocator_->GetBuffer(sample.put(), nullptr, nullptr, 0);
        if (FAILED(hr)) {
            if (!stopRequested_)
                OnError(hr);
            return;
        }
        const LONGLONG length = std::min<LONGLONG>(props.cbBuffer, stop - position);
        REFERENCE_TIME from = position * UNITS;
        REFERENCE_TIME to = (position + length) * UNITS;
        sample->SetTime(&from, &to);
        hr = reader_->SyncReadAligned(sample.get());
        if (FAILED(hr)) {
            OnError(hr);
            return;
        }
        const LONG got = sample->GetActualDataLength();
        if (got <= 0) {
            OnError(E_FAIL); // the reader delivered nothing where the stream should go on
            return;
        }
        hr = Receive(sample.get());
        if (hr != S_OK)
            return;
        position += got;
    }
    if (!stopRequested_)
        EndOfStream();
}

} // namespace platform::dshow
