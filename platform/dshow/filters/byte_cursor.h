#pragma once

// A bounds-checked reader over bytes in memory. A read past the end yields zero and marks the cursor
// as overrun, so a parser can read a whole header and check once; nothing is ever read outside the span.

#include <cstddef>
#include <cstdint>
#include <span>

namespace platform::dshow::filters {

class ByteCursor {
public:
    explicit ByteCursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t position() const { return pos_; }
    size_t size() const { return bytes_.size(); }
    size_t remaining() const { return pos_ < bytes_.size() ? bytes_.size() - pos_ : 0; }
    bool overrun() const { return overrun_; }
    bool has(size_t count) const { return count <= remaining(); }

    // The byte at an offset from the current position, without moving; 0 (and overrun) past the end.
    uint8_t peek(size_t offset = 0) {
        if (offset >= remaining()) {
            overrun_ = true;
            return 0;
        }
        return bytes_[pos_ + offset];
    }

    uint8_t u8() {
        const uint8_t value = peek();
        skip(1);
        return value;
    }

    uint16_t be16() {
        const uint16_t high = u8();
        return static_cast<uint16_t>((high << 8) | u8());
    }

    // Moves forward; moving past the end stops at the end and marks the overrun.
    void skip(size_t count) {
        if (count > remaining()) {
            overrun_ = true;
            pos_ = bytes_.size();
            return;
        }
        pos_ += count;
    }

    // The next count bytes as a span, moving past them; an empty span (and overrun) when too few remain.
    std::span<const uint8_t> take(size_t count) {
        if (count > remaining()) {
            skip(count);
            return {};
        }
        const auto part = bytes_.subspan(pos_, count);
        pos_ += count;
        return part;
    }

    // Everything from the current position to the end.
    std::span<const uint8_t> rest() const {
        return bytes_.subspan(pos_ < bytes_.size() ? pos_ : bytes_.size());
    }

private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
    bool overrun_ = false;
};

} // namespace platform::dshow::filters
