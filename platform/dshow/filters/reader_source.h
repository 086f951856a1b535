#pragma once

// The parser engine's byte source over a source filter's reader (IAsyncReader): each read goes through
// SyncReadAligned in samples of an allocator the reader agreed to. A short read (S_FALSE, or fewer bytes
// than asked) is the end of the stream; a failed read is an error.

#include "platform/com/com_ptr.h"
#include "platform/dshow/filters/byte_source.h"
#include "platform/dshow/sample_interfaces.h"

namespace platform::dshow::filters {

using namespace platform::dshow;

class AsyncReaderSource final : public ByteSource {
public:
    // The allocator must be committed while reads are made.
    AsyncReaderSource(IAsyncReader* reader, IMemAllocator* allocator);

    SourceRead read(int64_t offset, std::span<uint8_t> into) override;
    std::optional<int64_t> length() override;

private:
    platform::com::ComPtr<IAsyncReader> reader_;
    platform::com::ComPtr<IMemAllocator> allocator_;
};

} // namespace platform::dshow::filters
