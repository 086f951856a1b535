#include "platform/dshow/filters/byte_source.h"

#include <algorithm>
#include <cstring>

namespace platform::dshow::filters {

SourceRead MemoryByteSource::read(int64_t offset, std::span<uint8_t> into) {
    if (offset < 0 || static_cast<uint64_t>(offset) >= bytes_.size())
        return {};
    const size_t start = static_cast<size_t>(offset);
    const size_t count = std::min(into.size(), bytes_.size() - start);
    std::memcpy(into.data(), bytes_.data() + start, count);
    return {count, false};
}

SourceWindow::SourceWindow(ByteSource& source) : source_(source), buffer_(kCapacity) {}

void SourceWindow::seek(int64_t offset) {
    pos_ = std::max<int64_t>(offset, 0);
    bufferStart_ = pos_;
    bufferLength_ = 0;
    ended_ = false;
    failed_ = false;
}

std::span<const uint8_t> SourceWindow::peek(size_t count) {
    count = std::min(count, kCapacity);
    const int64_t bufferEnd = bufferStart_ + static_cast<int64_t>(bufferLength_);
    if (pos_ < bufferStart_ || pos_ > bufferEnd) {
        // Moved outside what is buffered (a long advance): start the buffer afresh at the position.
        bufferStart_ = pos_;
        bufferLength_ = 0;
    }
    const size_t offset = static_cast<size_t>(pos_ - bufferStart_);
    if (bufferLength_ - offset < count && !ended_)
        fill(count);
    const size_t start = static_cast<size_t>(pos_ - bufferStart_);
    const size_t available = bufferLength_ > start ? bufferLength_ - start : 0;
    return std::span<const uint8_t>(buffer_).subspan(start, std::min(count, available));
}

void SourceWindow::fill(size_t wanted) {
    // Keep the bytes from the position on at the front, then read into all the free space at once.
    const size_t offset = static_cast<size_t>(pos_ - bufferStart_);
    if (offset > 0) {
        std::memmove(buffer_.data(), buffer_.data() + offset, bufferLength_ - offset);
        bufferLength_ -= offset;
        bufferStart_ = pos_;
    }
    while (bufferLength_ < wanted && !ended_) {
        const std::span<uint8_t> space = std::span<uint8_t>(buffer_).subspan(bufferLength_);
        const SourceRead got = source_.read(bufferStart_ + static_cast<int64_t>(bufferLength_), space);
        const size_t count = std::min(got.count, space.size());
        bufferLength_ += count;
        if (got.failed)
            failed_ = true;
        if (got.failed || count < space.size())
            ended_ = true;
    }
}

} // namespace platform::dshow::filters
