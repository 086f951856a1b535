#include "platform/core/files.h"

#include "platform/core/paths.h"
#include "platform/core/text.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::core {

namespace {

constexpr mode_t NewFileMode = 0666; // narrowed by the umask
constexpr mode_t NewFolderMode = 0777;
constexpr size_t CopyBufferSize = 1 << 16;
constexpr int MaxTempAttempts = 100;

// A suffix for temporary names that differs between processes, threads and calls.
std::string tempSuffix() {
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937 random(std::random_device{}());
    return std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(random() % 1000000);
}

// An open file descriptor closed on scope exit.
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
    bool ok() const { return fd_ >= 0; }
    // Closes now and reports whether the close succeeded (write errors can surface here).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

bool statPath(const std::string& path, struct stat& st) {
    return ::stat(path.c_str(), &st) == 0;
}

bool writeAll(int fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool preadAll(int fd, char* buf, size_t size, off_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, buf + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool pwriteAll(int fd, const char* buf, size_t size, off_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, buf + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Renames without replacing: the kernel's no-replace rename, else a hard link and unlink for files,
// else (file systems with neither) a check followed by a plain rename.
bool renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return false;
    if (::link(from.c_str(), to.c_str()) == 0)
        return ::unlink(from.c_str()) == 0;
    if (errno == EEXIST)
        return false;
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0)
        return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// Reads to the end, refusing more than maxBytes: a file that keeps growing is not read without end.
std::optional<std::string> readWhole(int fd, int64_t maxBytes) {
    std::string out;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        if (st.st_size > maxBytes)
            return std::nullopt;
        out.reserve(static_cast<size_t>(st.st_size));
    }
    std::array<char, CopyBufferSize> buf{};
    for (;;) {
        const ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return out;
        if (static_cast<int64_t>(out.size()) + n > maxBytes)
            return std::nullopt;
        out.append(buf.data(), static_cast<size_t>(n));
    }
}

template <size_t N>
std::optional<std::array<unsigned char, N>> readBytesAt(std::string_view path, int64_t offset) {
    if (offset < 0)
        return std::nullopt;
    Fd fd(openForReading(path));
    std::array<unsigned char, N> bytes{};
    if (!fd.ok() || !preadAll(fd.get(), reinterpret_cast<char*>(bytes.data()), N, offset))
        return std::nullopt;
    return bytes;
}

template <size_t N>
bool patchBytesAt(std::string_view path, int64_t offset, const std::array<unsigned char, N>& bytes) {
    if (offset < 0)
        return false;
    Fd fd(::open(resolvePath(path).c_str(), O_WRONLY | O_CLOEXEC));
    struct stat st {};
    if (!fd.ok() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (offset > st.st_size || static_cast<int64_t>(N) > st.st_size - offset)
        return false; // patching never extends the file
    if (!pwriteAll(fd.get(), reinterpret_cast<const char*>(bytes.data()), N, offset))
        return false;
    return fd.close();
}

struct DirCloser {
    void operator()(DIR* dir) const {
        if (dir)
            closedir(dir);
    }
};

} // namespace

std::vector<std::string> splitLines(std::string_view bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(bytes.substr(start, i - start));
            i += (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < bytes.size())
        lines.emplace_back(bytes.substr(start));
    return lines;
}

int openForReading(std::string_view path) {
    return openRegularFile(path, O_RDONLY);
}

int openRegularFile(std::string_view path, int flags) {
    if (path.empty()) {
        errno = ENOENT;
        return -1;
    }
    // Opened without blocking, so that a FIFO nobody writes to does not hold the caller at the open;
    // then anything but a regular file is refused, since a pipe or a device may never end.
    const int fd = ::open(resolvePath(path).c_str(), flags | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st {};
    const int status = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || status < 0 ||
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        const int saved = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

bool fileExists(std::string_view path) {
    struct stat st {};
    return !path.empty() && statPath(resolvePath(path), st) && !S_ISDIR(st.st_mode);
}

bool directoryExists(std::string_view path) {
    struct stat st {};
    return !path.empty() && statPath(resolvePath(path), st) && S_ISDIR(st.st_mode);
}

bool createDirectory(std::string_view path) {
    return !path.empty() && ::mkdir(resolvePath(path).c_str(), NewFolderMode) == 0;
}

bool deleteFile(std::string_view path) {
    if (path.empty())
        return false;
    const std::string resolved = resolvePath(path);
    struct stat st {};
    if (::lstat(resolved.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    return ::unlink(resolved.c_str()) == 0;
}

bool removeDirectory(std::string_view path) {
    return !path.empty() && ::rmdir(resolvePath(path).c_str()) == 0;
}

bool renameFile(std::string_view from, std::string_view to) {
    if (from.empty() || to.empty())
        return false;
    const std::string source = resolvePath(from);
    const std::string target = resolvePath(to);
    struct stat sourceStat {};
    if (::lstat(source.c_str(), &sourceStat) != 0)
        return false;
    struct stat targetStat {};
    if (::lstat(target.c_str(), &targetStat) == 0) {
        // The target exists. Only a change of case of the same entry goes ahead: it gets the caller's
        // spelling, in the folder where the entry stands.
        const bool sameEntry =
            sourceStat.st_dev == targetStat.st_dev && sourceStat.st_ino == targetStat.st_ino;
        const std::string spelled = extractFilePath(target) + extractFileName(to);
        if (!sameEntry || extractFilePath(source) != extractFilePath(target) || spelled == source)
            return false;
        return renameNoReplace(source, spelled);
    }
    return renameNoReplace(source, target);
}

bool copyFile(std::string_view from, std::string_view to, bool failIfExists) {
    if (from.empty() || to.empty())
        return false;
    Fd in(openForReading(from));
    struct stat st {};
    if (!in.ok() || ::fstat(in.get(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    const std::string target = resolvePath(to);
    if (failIfExists && ::access(target.c_str(), F_OK) == 0)
        return false;
    if (sameFile(from, to))
        return false; // copying a file onto itself would truncate it
    AtomicFile out(target);
    if (!out.isOpen())
        return false;
    std::array<char, CopyBufferSize> buf{};
    for (;;) {
        const ssize_t n = ::read(in.get(), buf.data(), buf.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (!out.write(std::string_view(buf.data(), static_cast<size_t>(n))))
            return false;
    }
    if (::chmod(out.tempPath().c_str(), st.st_mode & 07777) != 0)
        return false;
    if (!failIfExists)
        return out.commit();
    return out.commitNoReplace();
}

int64_t fileSize(std::string_view path) {
    struct stat st {};
    if (path.empty() || !statPath(resolvePath(path), st) || S_ISDIR(st.st_mode))
        return -1;
    return static_cast<int64_t>(st.st_size);
}

std::optional<std::string> readFile(std::string_view path, int64_t maxBytes) {
    if (path.empty())
        return std::nullopt;
    // Opened without blocking, so that a pipe nobody writes to does not hold the caller; only regular
    // files are read, since a pipe or a device may never end.
    Fd fd(openForReading(path));
    if (!fd.ok())
        return std::nullopt;
    return readWhole(fd.get(), maxBytes);
}

std::optional<std::string> readFileHead(std::string_view path, int64_t maxBytes) {
    Fd fd(openForReading(path));
    if (!fd.ok() || maxBytes < 0)
        return std::nullopt;
    std::string out(static_cast<size_t>(maxBytes), '\0');
    size_t got = 0;
    while (got < out.size()) {
        const ssize_t n = ::read(fd.get(), out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    out.resize(got);
    return out;
}

bool writeFileAtomic(std::string_view path, std::string_view bytes) {
    AtomicFile file(path);
    return file.write(bytes) && file.commit();
}

std::optional<std::vector<std::string>> readLines(std::string_view path, int64_t maxBytes) {
    const auto bytes = readFile(path, maxBytes);
    if (!bytes)
        return std::nullopt;
    return splitLines(*bytes);
}

bool writeLines(std::string_view path, const std::vector<std::string>& lines) {
    std::string bytes;
    for (const auto& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    return writeFileAtomic(path, bytes);
}

std::optional<uint32_t> readLE32(std::string_view path, int64_t offset) {
    const auto b = readBytesAt<4>(path, offset);
    if (!b)
        return std::nullopt;
    return static_cast<uint32_t>((*b)[0]) | (static_cast<uint32_t>((*b)[1]) << 8) |
           (static_cast<uint32_t>((*b)[2]) << 16) | (static_cast<uint32_t>((*b)[3]) << 24);
}

std::optional<uint16_t> readLE16(std::string_view path, int64_t offset) {
    const auto b = readBytesAt<2>(path, offset);
    if (!b)
        return std::nullopt;
    return static_cast<uint16_t>((*b)[0] | ((*b)[1] << 8));
}

bool patchLE32(std::string_view path, int64_t offset, uint32_t value) {
    const std::array<unsigned char, 4> bytes = {
        static_cast<unsigned char>(value & 0xFF), static_cast<unsigned char>((value >> 8) & 0xFF),
        static_cast<unsigned char>((value >> 16) & 0xFF), static_cast<unsigned char>((value >> 24) & 0xFF)};
    return patchBytesAt(path, offset, bytes);
}

bool patchLE16(std::string_view path, int64_t offset, uint16_t value) {
    const std::array<unsigned char, 2> bytes = {static_cast<unsigned char>(value & 0xFF),
                                                static_cast<unsigned char>((value >> 8) & 0xFF)};
    return patchBytesAt(path, offset, bytes);
}

std::vector<std::string> listDirectory(std::string_view folder) {
    std::vector<std::string> names;
    const std::string resolved = folder.empty() ? std::string(".") : resolvePath(folder);
    std::unique_ptr<DIR, DirCloser> dir(::opendir(resolved.c_str()));
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> listFilesWithExt(std::string_view folder, std::string_view ext) {
    std::vector<std::string> names;
    const std::string resolved = folder.empty() ? std::string(".") : resolvePath(folder);
    for (auto& name : listDirectory(resolved)) {
        struct stat st {};
        if (equalsIgnoreCase(extractFileExt(name), ext) && statPath(joinPath(resolved, name), st) &&
            !S_ISDIR(st.st_mode))
            names.push_back(std::move(name));
    }
    return names;
}

bool sameFile(std::string_view a, std::string_view b) {
    struct stat sa {};
    struct stat sb {};
    if (a.empty() || b.empty() || !statPath(resolvePath(a), sa) || !statPath(resolvePath(b), sb))
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool fileLocked(std::string_view path) {
    if (path.empty())
        return false;
    Fd fd(::open(resolvePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.ok())
        return false;
    // Record locks (fcntl) of other processes.
    struct flock query {};
    query.l_type = F_WRLCK;
    query.l_whence = SEEK_SET;
    if (::fcntl(fd.get(), F_GETLK, &query) == 0 && query.l_type != F_UNLCK)
        return true;
    // Whole-file locks (flock): try to take one ourselves and give it back at once.
    // Closing the descriptor releases a lock taken here.
    return ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

AtomicFile::AtomicFile(std::string_view target) : target_(resolvePath(target)) {
    if (target_.empty()) {
        failed_ = true;
        return;
    }
    // The temporary file is created like a new file, so the umask applies without being changed
    // (changing it would race with other threads); an existing target's mode is copied afterwards.
    const std::string stem = extractFilePath(target_) + "." + extractFileName(target_) + ".tmp-";
    const TerminationDeferred deferred;
    for (int attempt = 0; attempt < MaxTempAttempts && fd_ < 0; ++attempt) {
        temp_ = stem + tempSuffix();
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, NewFileMode);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        failed_ = true;
        temp_.clear();
        return;
    }
    held_ = std::make_unique<TemporaryFile>(temp_);
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0 && ::fchmod(fd_, st.st_mode & 07777) != 0)
        failed_ = true;
}

AtomicFile::~AtomicFile() {
    if (fd_ >= 0)
        ::close(fd_);
    if (!temp_.empty())
        ::unlink(temp_.c_str());
}

bool AtomicFile::write(std::string_view bytes) {
    if (fd_ < 0 || failed_)
        return false;
    if (!writeAll(fd_, bytes)) {
        failed_ = true;
        return false;
    }
    // Long files start on their way to the disk while more is written, so that the flush at commit
    // has less left to wait for. The request is a hint: when it fails, the flush still writes
    // everything and reports what goes wrong.
    written_ += static_cast<std::int64_t>(bytes.size());
    if (written_ - started_ >= WritebackStep) {
        [[maybe_unused]] const int hinted =
            ::sync_file_range(fd_, started_, written_ - started_, SYNC_FILE_RANGE_WRITE);
        started_ = written_;
    }
    return true;
}

bool AtomicFile::finish() {
    if (fd_ < 0)
        return false;
    const int fd = fd_;
    fd_ = -1;
    const bool synced = ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    return synced && closed && !failed_;
}

bool AtomicFile::commit() {
    if (!finish() || ::rename(temp_.c_str(), target_.c_str()) != 0)
        return false;
    temp_.clear();
    held_.reset();
    return true;
}

bool AtomicFile::commitNoReplace() {
    if (!finish() || !renameNoReplace(temp_, target_))
        return false;
    temp_.clear();
    held_.reset();
    return true;
}

} // namespace platform::core
