#include "platform/dshow/filters/stock_pins.h"

#include <algorithm>
#include <cstring>

namespace platform::dshow::filters {

StockInputPin::StockInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock,
                             std::u16string_view name, StreamHandler& handler)
    : CBaseInputPin(objectName, filter, lock, nullptr, name), handler_(handler) {}

HRESULT StockInputPin::CheckMediaType(const CMediaType* type) {
    if (!type)
        return E_POINTER;
    return handler_.checkInputType(*type);
}

HRESULT StockInputPin::CompleteConnect(IPin* receivePin) {
    const HRESULT hr = CBaseInputPin::CompleteConnect(receivePin);
    return FAILED(hr) ? hr : handler_.inputConnected(mt_);
}

HRESULT StockInputPin::BreakConnect() {
    handler_.inputDisconnected();
    return CBaseInputPin::BreakConnect();
}

HRESULT StockInputPin::Receive(IMediaSample* sample) {
    const HRESULT hr = CBaseInputPin::Receive(sample);
    if (hr != S_OK)
        return hr;
    return handler_.receive(sample);
}

HRESULT StockInputPin::EndOfStream() {
    if (IsStopped())
        return VFW_E_WRONG_STATE;
    if (IsFlushing())
        return S_FALSE;
    return handler_.endOfStream();
}

HRESULT StockInputPin::BeginFlush() {
    CBaseInputPin::BeginFlush();
    handler_.beginFlush();
    return S_OK;
}

HRESULT StockInputPin::EndFlush() {
    handler_.endFlush();
    return CBaseInputPin::EndFlush();
}

HRESULT StockInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    CBaseInputPin::NewSegment(start, stop, rate);
    handler_.newSegment(start, stop, rate);
    return S_OK;
}

StockOutputPin::StockOutputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock,
                               std::u16string_view name, LONG bufferCount, LONG bufferSize)
    : CBaseOutputPin(objectName, filter, lock, nullptr, name), bufferCount_(bufferCount),
      bufferSize_(bufferSize) {}

void StockOutputPin::setTypes(std::vector<CMediaType> types) {
    types_ = std::move(types);
    IncrementTypeVersion();
}

HRESULT StockOutputPin::CheckMediaType(const CMediaType* type) {
    if (!type)
        return E_POINTER;
    const bool offered =
        std::any_of(types_.begin(), types_.end(), [&](const CMediaType& t) { return t == *type; });
    return offered ? S_OK : S_FALSE;
}

HRESULT StockOutputPin::GetMediaType(int position, CMediaType* type) {
    if (position < 0)
        return E_INVALIDARG;
    if (static_cast<size_t>(position) >= types_.size())
        return VFW_S_NO_MORE_ITEMS;
    if (!type)
        return E_POINTER;
    *type = types_[static_cast<size_t>(position)];
    return S_OK;
}

HRESULT StockOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) {
    if (!allocator || !props)
        return E_POINTER;
    props->cBuffers = std::max(props->cBuffers, bufferCount_);
    props->cbBuffer = std::max(props->cbBuffer, bufferSize_);
    if (props->cbAlign <= 0)
        props->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual;
    const HRESULT hr = allocator->SetProperties(props, &actual);
    if (FAILED(hr))
        return hr;
    return actual.cbBuffer >= bufferSize_ && actual.cBuffers >= 1 ? S_OK : E_FAIL;
}

HRESULT StockOutputPin::deliverBytes(std::span<const uint8_t> bytes, std::optional<SampleTimes> times,
                                     bool discontinuity, bool syncPoint) {
    bool first = true;
    while (first || !bytes.empty()) {
        IMediaSample* sample = nullptr;
        HRESULT hr = GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr))
            return hr;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        const size_t count =
            std::min(bytes.size(), static_cast<size_t>(std::max<LONG>(sample->GetSize(), 0)));
        if (count == 0 && !bytes.empty()) {
            sample->Release();
            return VFW_E_BUFFER_OVERFLOW;
        }
        if (count > 0)
            std::memcpy(data, bytes.data(), count);
        sample->SetActualDataLength(static_cast<LONG>(count));
        if (first && times) {
            SampleTimes t = *times;
            sample->SetTime(&t.start, &t.stop);
        }
        sample->SetDiscontinuity(first && discontinuity ? TRUE : FALSE);
        sample->SetSyncPoint(syncPoint ? TRUE : FALSE);
        hr = Deliver(sample);
        sample->Release();
        if (hr != S_OK)
            return hr;
        bytes = bytes.subspan(count);
        first = false;
    }
    return S_OK;
}

HRESULT StockOutputPin::deliverAt(int64_t offset, std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        IMediaSample* sample = nullptr;
        HRESULT hr = GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr))
            return hr;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        const size_t count =
            std::min(bytes.size(), static_cast<size_t>(std::max<LONG>(sample->GetSize(), 0)));
        if (count == 0) {
            sample->Release();
            return VFW_E_BUFFER_OVERFLOW;
        }
        std::memcpy(data, bytes.data(), count);
        sample->SetActualDataLength(static_cast<LONG>(count));
        REFERENCE_TIME start = offset;
        REFERENCE_TIME stop = offset + static_cast<REFERENCE_TIME>(count);
        sample->SetTime(&start, &stop);
        hr = Deliver(sample);
        sample->Release();
        if (hr != S_OK)
            return hr;
        bytes = bytes.subspan(count);
        offset += static_cast<int64_t>(count);
    }
    return S_OK;
}

bool isQuietRefusal(HRESULT hr) {
    return hr == S_FALSE || hr == VFW_E_WRONG_STATE || hr == VFW_E_NOT_COMMITTED || hr == VFW_E_NOT_CONNECTED;
}

} // namespace platform::dshow::filters
