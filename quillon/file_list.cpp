#include "quillon/file_list.h"

#include "platform/core/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>

namespace quillon {

namespace {

constexpr char kCaptionQuery[] = "Query?";

// An open descriptor closed on scope exit.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
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

// Opens without blocking: a FIFO or a device named as a list or a VOB must not wait for a writer.
// Only regular files are read after the open (regularFileSize tells the rest apart).
int openForReading(std::string_view path) {
    const std::string resolved = platform::core::resolvePath(path);
    return ::open(resolved.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

// Size of a regular file, or -1.
int64_t regularFileSize(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return static_cast<int64_t>(st.st_size);
}

// Reads exactly size bytes; false on an error or an early end.
bool readExactly(int fd, char* buffer, int64_t size) {
    int64_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, buffer + done, static_cast<size_t>(size - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}

} // namespace

void FileList::free() {
    names_.clear();
    names_.shrink_to_fit();
    sizes_.clear();
    sizes_.shrink_to_fit();
    total_ = 0;
}

void FileList::takeFrom(FileList& other) {
    names_ = std::move(other.names_);
    sizes_ = std::move(other.sizes_);
    total_ = other.total_;
    other.free();
}

std::optional<std::string> FileList::readListFile(std::string_view path, int64_t acceptedSize) {
    Fd fd(openForReading(path));
    if (fd.get() < 0)
        return std::nullopt;
    const int64_t size = regularFileSize(fd.get());
    if (size < 0 || size > kListMaxSize)
        return std::nullopt;
    if (size > kListQuestionSize && size != acceptedSize) {
        char text[64 + 4096];
        std::snprintf(
            text, sizeof text,
            "The file %.4000s is %d bytes in size.\nThis file may not be a valid script.  Continue loading?",
            std::string(path).c_str(), static_cast<int>(size));
        if (!sink_.question(kCaptionQuery, text))
            return std::nullopt;
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    if (!readExactly(fd.get(), bytes.data(), size))
        return std::nullopt;
    fileSize_ = size;
    return bytes;
}

std::vector<std::string> FileList::splitLines(std::string_view text) {
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find_first_of("\r\n", at);
        const size_t stop = end == std::string_view::npos ? text.size() : end;
        if (stop > at)
            lines.emplace_back(text.substr(at, stop - at));
        at = stop + 1;
    }
    return lines;
}

void FileList::load(std::optional<std::string_view> path, int64_t acceptedSize) {
    free();
    fileSize_ = -1;
    if (!path)
        return;
    try {
        const auto text = readListFile(*path, acceptedSize);
        if (!text)
            return;
        std::vector<std::string> names = splitLines(*text);
        std::vector<int64_t> sizes(names.size(), 0);
        int64_t total = 0;
        for (size_t i = 0; i < names.size(); ++i) {
            Fd fd(openForReading(names[i]));
            const int64_t size = fd.get() >= 0 ? regularFileSize(fd.get()) : -1;
            sizes[i] = size > 0 ? size : 0;
            total += sizes[i];
        }
        names_ = std::move(names);
        sizes_ = std::move(sizes);
        total_ = total;
    } catch (const std::bad_alloc&) {
        free(); // no memory for the names or sizes: the list stays empty
    }
}

} // namespace quillon
