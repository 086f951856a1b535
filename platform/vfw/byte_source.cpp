#include "platform/vfw/byte_source.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::vfw {

namespace {

class FileSource : public ByteSource {
public:
    FileSource(int fd, int64_t size) : fd_(fd), size_(size) {}
    ~FileSource() override { ::close(fd_); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    int64_t size() const override { return size_; }
    bool readAt(int64_t offset, void* buffer, size_t count) const override {
        if (offset < 0 || offset > size_ || static_cast<int64_t>(count) > size_ - offset)
            return false;
        auto* out = static_cast<uint8_t*>(buffer);
        size_t done = 0;
        while (done < count) {
            const ssize_t got = pread(fd_, out + done, count - done, static_cast<off_t>(offset) + done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            done += static_cast<size_t>(got);
        }
        return true;
    }

private:
    int fd_;
    int64_t size_;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : bytes_(data, data + size) {}
    int64_t size() const override { return static_cast<int64_t>(bytes_.size()); }
    bool readAt(int64_t offset, void* buffer, size_t count) const override {
        if (offset < 0 || static_cast<uint64_t>(offset) > bytes_.size() || count > bytes_.size() - offset)
            return false;
        if (count > 0)
            std::memcpy(buffer, bytes_.data() + offset, count);
        return true;
    }

private:
    std::vector<uint8_t> bytes_;
};

} // namespace

std::vector<uint8_t> ByteSource::readBlock(int64_t offset, size_t count) const {
    if (offset < 0 || offset >= size())
        return {};
    const auto available = static_cast<uint64_t>(size() - offset);
    std::vector<uint8_t> block(static_cast<size_t>(std::min<uint64_t>(count, available)));
    if (!readAt(offset, block.data(), block.size()))
        return {};
    return block;
}

bool ByteSource::readLE32(int64_t offset, uint32_t& value) const {
    uint8_t b[4];
    if (!readAt(offset, b, sizeof b))
        return false;
    value = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
            static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
    return true;
}

std::unique_ptr<ByteSource> openFileSource(std::string_view path) {
    const std::string resolved = core::resolvePath(path);
    if (resolved.empty())
        return nullptr;
    // Only a regular file, never waited on: a pipe of that name is refused at once.
    const int fd = core::openForReading(resolved);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FileSource>(fd, static_cast<int64_t>(st.st_size));
}

std::unique_ptr<ByteSource> memorySource(const uint8_t* data, size_t size) {
    return std::make_unique<MemorySource>(data, size);
}

uint8_t LeReader::u8(size_t offset) {
    if (offset >= size_) {
        overrun_ = true;
        return 0;
    }
    return data_[offset];
}

uint16_t LeReader::u16(size_t offset) {
    if (offset > size_ || size_ - offset < 2) {
        overrun_ = true;
        return 0;
    }
    return static_cast<uint16_t>(data_[offset] | data_[offset + 1] << 8);
}

uint32_t LeReader::u32(size_t offset) {
    if (offset > size_ || size_ - offset < 4) {
        overrun_ = true;
        return 0;
    }
    return static_cast<uint32_t>(data_[offset]) | static_cast<uint32_t>(data_[offset + 1]) << 8 |
           static_cast<uint32_t>(data_[offset + 2]) << 16 | static_cast<uint32_t>(data_[offset + 3]) << 24;
}

uint64_t LeReader::u64(size_t offset) {
    const uint64_t low = u32(offset);
    const uint64_t high = u32(offset + 4);
    return low | high << 32;
}

void putLE16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void putLE32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void setLE32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace platform::vfw
