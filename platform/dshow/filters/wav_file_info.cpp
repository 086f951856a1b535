#include "platform/dshow/filters/wav_file_info.h"

#include "platform/core/files.h"
#include "platform/dshow/filters/media_types.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace platform::dshow::filters {

namespace {

constexpr size_t kChunkHeaderSize = 8;
constexpr int64_t kRiffHeaderSize = 12;
constexpr size_t kMaxFormatSize = 64 * 1024;
constexpr int kMaxChunks = 4096; // a walk over this many chunks without "data" gives up

class Fd {
public:
    // Only a regular file is opened, and never waited on (a pipe of that name is refused at once).
    explicit Fd(const std::string& path) : fd_(platform::core::openForReading(path)) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool readAt(int fd, int64_t offset, std::span<uint8_t> into) {
    size_t done = 0;
    while (done < into.size()) {
        const ssize_t n = ::pread(fd, into.data() + done, into.size() - done,
                                  static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool isId(const uint8_t* p, const char* id) {
    return std::memcmp(p, id, 4) == 0;
}

} // namespace

std::optional<WavFileInfo> readWavFileInfo(const std::string& path) {
    Fd fd(path);
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0)
        return std::nullopt;
    const int64_t fileSize = st.st_size;
    std::array<uint8_t, kRiffHeaderSize> riff{};
    if (fileSize < kRiffHeaderSize || !readAt(fd.get(), 0, riff) || !isId(riff.data(), "RIFF") ||
        !isId(riff.data() + 8, "WAVE"))
        return std::nullopt;

    std::optional<WaveFormat> format;
    std::optional<WavFileInfo> info;
    int64_t pos = kRiffHeaderSize;
    for (int n = 0; n < kMaxChunks && pos + static_cast<int64_t>(kChunkHeaderSize) <= fileSize; ++n) {
        std::array<uint8_t, kChunkHeaderSize> head{};
        if (!readAt(fd.get(), pos, head))
            break;
        const int64_t body = pos + static_cast<int64_t>(kChunkHeaderSize);
        const int64_t size = std::min<int64_t>(le32(head.data() + 4), fileSize - body);
        if (isId(head.data(), "fmt ") && !format) {
            std::vector<uint8_t> bytes(static_cast<size_t>(std::min<int64_t>(size, kMaxFormatSize)));
            if (readAt(fd.get(), body, bytes))
                format = parseWaveFormat(bytes);
        } else if (isId(head.data(), "data") && !info) {
            info = WavFileInfo{{}, body, size};
        }
        if (format && info) {
            info->format = *format;
            return info;
        }
        pos = body + size + (size & 1);
    }
    return std::nullopt;
}

} // namespace platform::dshow::filters
