#include "platform/dshow/filters/reader_source.h"

#include <algorithm>
#include <cstring>

namespace platform::dshow::filters {

AsyncReaderSource::AsyncReaderSource(IAsyncReader* reader, IMemAllocator* allocator)
    : reader_(reader), allocator_(allocator) {}

std::optional<int64_t> AsyncReaderSource::length() {
    LONGLONG total = 0;
    LONGLONG available = 0;
    if (FAILED(reader_->Length(&total, &available)) || total < 0)
        return std::nullopt;
    return total;
}

SourceRead AsyncReaderSource::read(int64_t offset, std::span<uint8_t> into) {
    SourceRead result;
    if (offset < 0)
        return result;
    const auto total = length();
    if (total)
        into = into.first(
            static_cast<size_t>(std::clamp<int64_t>(*total - offset, 0, static_cast<int64_t>(into.size()))));
    while (!into.empty()) {
        platform::com::ComPtr<IMediaSample> sample;
        if (FAILED(allocator_->GetBuffer(sample.put(), nullptr, nullptr, 0)) || !sample ||
            sample->GetSize() <= 0) {
            result.failed = true;
            return result;
        }
        const auto chunk = std::min<size_t>(into.size(), static_cast<size_t>(sample->GetSize()));
        REFERENCE_TIME start = offset * UNITS;
        REFERENCE_TIME stop = (offset + static_cast<int64_t>(chunk)) * UNITS;
        sample->SetTime(&start, &stop);
        const HRESULT hr = reader_->SyncReadAligned(sample.get());
        if (FAILED(hr)) {
            result.failed = true;
            return result;
        }
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        const auto got =
            std::min<size_t>(static_cast<size_t>(std::max<LONG>(sample->GetActualDataLength(), 0)), chunk);
        std::memcpy(into.data(), data, got);
        result.count += got;
        offset += static_cast<int64_t>(got);
        into = into.subspan(got);
        if (hr == S_FALSE || got < chunk)
            break; // the stream ends here
    }
    return result;
}

} // namespace platform::dshow::filters
