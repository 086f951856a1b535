#include "quillon/multiple_file_inputer.h"

#include "platform/core/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

namespace quillon {

namespace {
constexpr char kCaptionOpen[] = "MultipleFileInputer::open";
constexpr char kCaptionSeek[] = "MultipleFileInputer::seek";
constexpr char kCaptionSeekFile[] = "MultipleFileInputer::seekFileAndPosition";
constexpr char kCaptionRead[] = "MultipleFileInputer::readBlock";
constexpr char kCaptionError[] = "MultipleFileInputer - Error";
} // namespace

MultipleFileInputer::~MultipleFileInputer() {
    close();
}

void MultipleFileInputer::close() {
    for (int fd : handles_)
        if (fd >= 0)
            ::close(fd);
    handles_.clear();
    sizes_.clear();
    isOpen_ = false;
    total_ = 0;
    position_ = 0;
    fileIndex_ = 0;
    fileOffset_ = 0;
    fileSize_ = 0;
    currentHandle_ = -1;
}

void MultipleFileInputer::open(const FileList& list) {
    close();
    if (list.count() == 0)
        return;
    try {
        sizes_ = list.sizes();
        handles_.assign(list.names().size(), -1);
    } catch (const std::bad_alloc&) {
        sink_.warning(kCaptionOpen, "Could not get memory for list of file handles.");
        close();
        return;
    }
    total_ = list.total();
    for (size_t i = 0; i < handles_.size(); ++i) {
        const std::string path = platform::core::resolvePath(list.names()[i]);
        // Without blocking, so that a FIFO in the list cannot stop the open; only regular files are
        // read.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            sink_.warning(kCaptionOpen, "Failed to open a file in the list.");
            close();
            return;
        }
        handles_[i] = fd;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            sink_.warning(kCaptionOpen, list.names()[i] + " is not a regular file.");
            close();
            return;
        }
        // A hint only: the reads are sequential. Its failure changes nothing.
        (void)posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    isOpen_ = true;
    // The stream starts in the first file that has bytes.
    fileIndex_ = 0;
    while (fileIndex_ < count() - 1 && sizes_[static_cast<size_t>(fileIndex_)] == 0)
        ++fileIndex_;
    currentHandle_ = handles_[static_cast<size_t>(fileIndex_)];
    fileSize_ = sizes_[static_cast<size_t>(fileIndex_)];
    position_ = 0;
    fileOffset_ = 0;
}

void MultipleFileInputer::seek(int64_t pos) {
    if (pos < 0 || pos >= total_) {
        sink_.warning(kCaptionSeek, "position out of bounds");
        return;
    }
    if (!isOpen_) {
        sink_.warning(kCaptionSeek, "file is not open");
        return;
    }
    if (pos == position_)
        return;
    int32_t i = 0;
    int64_t rest = pos;
    while (rest >= sizes_[static_cast<size_t>(i)]) {
        rest -= sizes_[static_cast<size_t>(i)];
        ++i;
        if (i >= count()) {
            sink_.warning(kCaptionSeek, "file index beyond end");
            return;
        }
    }
    // The position changes only once the file pointer has moved with it.
    if (moveTo(i, rest))
        position_ = pos;
}

void MultipleFileInputer::seekFileAndPosition(int32_t index, int64_t offset) {
    moveTo(index, offset);
}

bool MultipleFileInputer::moveTo(int32_t index, int64_t offset) {
    if (index < 0 || index >= count()) {
        sink_.warning(kCaptionSeekFile, "fileIndex out of bounds");
        return false;
    }
    const size_t at = static_cast<size_t>(index);
    if (offset < 0 || offset >= sizes_[at]) {
        sink_.warning(kCaptionSeekFile, "position out of bounds");
        return false;
    }
    if (::lseek(handles_[at], static_cast<off_t>(offset), SEEK_SET) != static_cast<off_t>(offset)) {
        sink_.warning(kCaptionSeekFile, "could not move the file pointer");
        return false;
    }
    currentHandle_ = handles_[at];
    fileSize_ = sizes_[at];
    fileOffset_ = offset;
    fileIndex_ = index;
    return true;
}

void MultipleFileInputer::enterNextFile() {
    int32_t next = fileIndex_ + 1;
    while (next < count() && sizes_[static_cast<size_t>(next)] == 0)
        ++next;
    if (next < count())
        moveTo(next, 0);
}

int64_t MultipleFileInputer::readBlock(void* buffer, int64_t n) {
    if (n > total_ - position_) {
        sink_.warning(kCaptionRead, "asked to read to many bytes");
        return 0;
    }
    if (!isOpen_) {
        sink_.warning(kCaptionError, "file is not open");
        return 0;
    }
    if (n <= 0)
        return 0;
    auto* out = static_cast<char*>(buffer);
    int64_t wanted = n;
    int64_t delivered = 0;
    for (;;) {
        const int64_t piece = std::min({kReadPiece, wanted, fileSize_ - fileOffset_});
        if (piece <= 0)
            return delivered;
        const ssize_t got = ::read(currentHandle_, out, static_cast<size_t>(piece));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return delivered; // a failed read, or a file shorter than when the list was loaded
        position_ += got;
        fileOffset_ += got;
        out += got;
        delivered += got;
        if (fileOffset_ == fileSize_ && fileIndex_ < count() - 1)
            enterNextFile();
        if (got == wanted)
            return delivered;
        wanted -= got;
    }
}

} // namespace quillon
