#include "trovel/stream_count_file.h"

#include "platform/core/paths.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace trovel {

namespace {

constexpr unsigned kLowByteMask = 0xFF;
constexpr mode_t kNewFileMode = 0666; // narrowed by the umask
constexpr int kMaxTempAttempts = 100;

std::string ioErrorText(int code) {
    return "I/O error " + std::to_string(code) + " (" + std::strerror(code) + ")";
}

} // namespace

std::optional<std::string> writeStreamCount(const std::string& folder, int count) {
    const std::string target = platform::core::resolvePath(folder + kStreamCountFile);
    // The temporary file is made like a new file, so the umask applies.
    const std::string stem = platform::core::extractFilePath(target) + "." + kStreamCountFile + "." +
                             std::to_string(getpid()) + ".";
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < kMaxTempAttempts && fd < 0; ++attempt) {
        temp = stem + std::to_string(attempt);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return ioErrorText(errno);
    const auto byte = static_cast<uint8_t>(static_cast<unsigned>(count) & kLowByteMask);
    int error = 0;
    if (::write(fd, &byte, 1) != 1)
        error = errno ? errno : EIO;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && std::rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return ioErrorText(error);
    }
    return std::nullopt;
}

} // namespace trovel
