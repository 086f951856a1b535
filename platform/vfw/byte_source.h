#pragma once

// Bounds-checked access to the bytes of a file being read: a source of bytes at offsets (a file or a
// block in memory) and a little-endian reader over a block that was read from it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::vfw {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual int64_t size() const = 0;
    // Reads exactly count bytes at offset; false when they are not all there or the read fails.
    virtual bool readAt(int64_t offset, void* buffer, size_t count) const = 0;

    // Up to count bytes at offset (fewer at the end of the source); empty on a failure.
    std::vector<uint8_t> readBlock(int64_t offset, size_t count) const;
    bool readLE32(int64_t offset, uint32_t& value) const;
};

// A file opened for reading (the path resolved without regard to case); null when it cannot be opened.
std::unique_ptr<ByteSource> openFileSource(std::string_view path);
// Bytes in memory, copied.
std::unique_ptr<ByteSource> memorySource(const uint8_t* data, size_t size);

// A little-endian reader over a block: reads past the end give 0 and set a flag.
class LeReader {
public:
    LeReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit LeReader(const std::vector<uint8_t>& block) : data_(block.data()), size_(block.size()) {}

    uint8_t u8(size_t offset);
    uint16_t u16(size_t offset);
    uint32_t u32(size_t offset);
    int16_t s16(size_t offset) { return static_cast<int16_t>(u16(offset)); }
    uint64_t u64(size_t offset);
    size_t size() const { return size_; }
    bool overrun() const { return overrun_; }

private:
    const uint8_t* data_;
    size_t size_;
    bool overrun_ = false;
};

void putLE16(std::vector<uint8_t>& out, uint16_t value);
void putLE32(std::vector<uint8_t>& out, uint32_t value);
void setLE32(uint8_t* at, uint32_t value);

} // namespace platform::vfw
