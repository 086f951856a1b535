#include "outside/dvd_audio/file_set_source.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace outside::dvd_audio {

using platform::dshow::filters::SourceRead;

FileSetSource::~FileSetSource() {
    closeAll();
}

void FileSetSource::closeAll() {
    for (Part& part : parts_)
        if (part.fd >= 0)
            ::close(part.fd);
    parts_.clear();
    total_ = 0;
}

bool FileSetSource::open(const std::vector<std::string>& paths) {
    closeAll();
    for (const std::string& given : paths) {
        Part part;
        part.path = platform::core::resolvePath(given);
        // Only a regular file, never waited on: a pipe of that name is refused at once.
        part.fd = platform::core::openForReading(part.path);
        struct stat info {};
        // A folder or a pipe is simply no file to read; other causes are named.
        const int cause = errno;
        if (part.fd < 0 || ::fstat(part.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            error_ = "The file " + given + " cannot be read" +
                     (part.fd < 0 && cause != EINVAL && cause != EISDIR
                          ? std::string(" (") + std::strerror(cause) + ")."
                          : ".");
            if (part.fd >= 0)
                ::close(part.fd);
            closeAll();
            return false;
        }
        part.start = total_;
        part.size = info.st_size;
        total_ += part.size;
        parts_.push_back(std::move(part));
    }
    return true;
}

SourceRead FileSetSource::read(int64_t offset, std::span<uint8_t> into) {
    SourceRead result;
    auto part = std::upper_bound(parts_.begin(), parts_.end(), offset,
                                 [](int64_t at, const Part& p) { return at < p.start; });
    if (part == parts_.begin() || offset < 0)
        return result;
    --part;
    while (result.count < into.size() && part != parts_.end()) {
        const int64_t within = offset - part->start;
        if (within >= part->size) {
            ++part;
            continue;
        }
        const size_t wanted = static_cast<size_t>(
            std::min<int64_t>(static_cast<int64_t>(into.size() - result.count), part->size - within));
        const ssize_t n = ::pread(part->fd, into.data() + result.count, wanted, static_cast<off_t>(within));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.failed = true;
            return result;
        }
        if (n == 0)
            return result; // the file shrank since it was opened
        result.count += static_cast<size_t>(n);
        offset += n;
    }
    return result;
}

} // namespace outside::dvd_audio
