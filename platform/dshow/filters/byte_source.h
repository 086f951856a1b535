#pragma once

// Where the program stream parser pulls its bytes from: a read at an offset, where a short read means
// the stream ends there (the asynchronous reader's S_FALSE) and a failed read is an error.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace platform::dshow::filters {

struct SourceRead {
    size_t count = 0;    // bytes placed at the start of the buffer
    bool failed = false; // the read itself failed (not merely the end of the stream)
};

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual SourceRead read(int64_t offset, std::span<uint8_t> into) = 0;
    // The total length in bytes when the source knows it.
    virtual std::optional<int64_t> length() { return std::nullopt; }
};

// The first bytes of another source, as if it ended there (work that needs only a stream's start and
// must not run through all of it).
class PrefixByteSource : public ByteSource {
public:
    PrefixByteSource(ByteSource& source, int64_t limit) : source_(source), limit_(limit) {}
    SourceRead read(int64_t offset, std::span<uint8_t> into) override {
        if (offset >= limit_)
            return {};
        return source_.read(offset, into.first(static_cast<size_t>(std::min<int64_t>(
                                        static_cast<int64_t>(into.size()), limit_ - offset))));
    }
    std::optional<int64_t> length() override {
        const auto whole = source_.length();
        return whole ? std::min(*whole, limit_) : whole;
    }

private:
    ByteSource& source_;
    int64_t limit_;
};

// A source over bytes held in memory (tests, small files).
class MemoryByteSource : public ByteSource {
public:
    explicit MemoryByteSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    SourceRead read(int64_t offset, std::span<uint8_t> into) override;
    std::optional<int64_t> length() override { return static_cast<int64_t>(bytes_.size()); }

private:
    std::vector<uint8_t> bytes_;
};

// A window of a byte source: bytes at the current position are peeked (read ahead into a buffer) and
// then consumed. Once a read comes back short, nothing further is read until the next seek.
class SourceWindow {
public:
    // The largest peek; larger requests are cut to it.
    static constexpr size_t kCapacity = 256 * 1024;

    explicit SourceWindow(ByteSource& source);

    void seek(int64_t offset);
    int64_t position() const { return pos_; }
    // Up to count bytes at the position; fewer only at the end of the stream or after a failed read.
    std::span<const uint8_t> peek(size_t count);
    // Moves the position forward (past bytes that need not have been peeked).
    void advance(size_t count) { pos_ += static_cast<int64_t>(count); }
    bool failed() const { return failed_; }

private:
    void fill(size_t wanted);

    ByteSource& source_;
    std::vector<uint8_t> buffer_;
    int64_t bufferStart_ = 0; // stream offset of buffer_[0]
    size_t bufferLength_ = 0;
    int64_t pos_ = 0;
    bool ended_ = false;
    bool failed_ = false;
};

} // namespace platform::dshow::filters
