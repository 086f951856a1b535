#include "tools/synchronizer/avi_header_patch.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tools::synchronizer {

namespace core = platform::core;

namespace {

constexpr char VideoType[] = "vids";
constexpr char AudioType[] = "auds";
constexpr std::size_t TypeLength = 4;
constexpr int FieldBytes = 4;

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Closes now and reports whether the close succeeded.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

// Reads up to count bytes from offset; the bytes actually there (fewer at the end of the file).
std::optional<std::string> readPrefix(int fd, int64_t offset, std::size_t count) {
    std::string bytes(count, '\0');
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd, bytes.data() + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

uint32_t le32(const std::string& bytes, std::size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

} // namespace

std::optional<StreamHeaderPositions> findStreamHeaders(std::string_view path) {
    FileDescriptor file(core::openForReading(path));
    if (file.get() < 0)
        return std::nullopt;
    const auto bytes = readPrefix(file.get(), 0, LastHeaderScanPosition + TypeLength);
    if (!bytes)
        return std::nullopt;
    StreamHeaderPositions found;
    for (std::size_t i = 0; i + TypeLength <= bytes->size() && (found.video == 0 || found.audio == 0); ++i) {
        const char* at = bytes->data() + i;
        if (std::memcmp(at, AudioType, TypeLength) == 0)
            found.audio = static_cast<int32_t>(i);
        if (std::memcmp(at, VideoType, TypeLength) == 0)
            found.video = static_cast<int32_t>(i);
    }
    return found;
}

std::optional<StreamHeaderFields> readStreamHeaderFields(std::string_view path, int32_t position) {
    if (position <= 0)
        return std::nullopt;
    FileDescriptor file(core::openForReading(path));
    if (file.get() < 0)
        return std::nullopt;
    const auto bytes = readPrefix(file.get(), position + ScaleOffset, HeaderFieldsEnd - ScaleOffset);
    if (!bytes || bytes->size() != static_cast<std::size_t>(HeaderFieldsEnd - ScaleOffset))
        return std::nullopt;
    StreamHeaderFields fields;
    fields.scale = le32(*bytes, 0);
    fields.rate = le32(*bytes, RateOffset - ScaleOffset);
    fields.start = le32(*bytes, StartOffset - ScaleOffset);
    return fields;
}

PatchStatus patchFields(std::string_view path, const std::vector<FieldWrite>& writes) {
    if (fileIsReadOnly(path))
        return PatchStatus::CannotOpen;
    FileDescriptor file(::open(core::resolvePath(path).c_str(), O_WRONLY | O_CLOEXEC));
    if (file.get() < 0)
        return PatchStatus::CannotOpen;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return PatchStatus::CannotOpen;
    for (const FieldWrite& write : writes)
        if (write.offset < 0 || write.offset > info.st_size - FieldBytes)
            return PatchStatus::OutsideFile;
    for (const FieldWrite& write : writes) {
        const unsigned char bytes[FieldBytes] = {
            static_cast<unsigned char>(write.value), static_cast<unsigned char>(write.value >> 8),
            static_cast<unsigned char>(write.value >> 16), static_cast<unsigned char>(write.value >> 24)};
        ssize_t written = 0;
        do
            written = ::pwrite(file.get(), bytes, FieldBytes, static_cast<off_t>(write.offset));
        while (written < 0 && errno == EINTR);
        if (written != FieldBytes)
            return PatchStatus::WriteFailed;
    }
    return file.close() ? PatchStatus::Done : PatchStatus::WriteFailed;
}

std::optional<std::vector<FieldWrite>> readHeaderValues(std::string_view path) {
    const auto positions = findStreamHeaders(path);
    if (!positions || (positions->video == 0 && positions->audio == 0))
        return std::nullopt;
    std::vector<FieldWrite> values;
    for (const int32_t position : {positions->video, positions->audio}) {
        if (position == 0)
            continue;
        const auto fields = readStreamHeaderFields(path, position);
        if (!fields)
            return std::nullopt;
        values.push_back({position + ScaleOffset, fields->scale});
        values.push_back({position + RateOffset, fields->rate});
        values.push_back({position + StartOffset, fields->start});
    }
    return values;
}

bool headerValuesDiffer(std::string_view path, const std::vector<FieldWrite>& values) {
    const auto now = readHeaderValues(path);
    if (!now || now->size() != values.size())
        return true;
    for (std::size_t i = 0; i < values.size(); ++i)
        if ((*now)[i].offset != values[i].offset || (*now)[i].value != values[i].value)
            return true;
    return false;
}

bool fileIsReadOnly(std::string_view path) {
    const std::string resolved = core::resolvePath(path);
    struct stat info {};
    if (::stat(resolved.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    // The file's own write permission, as its owner set it: a user with every right (root) would
    // otherwise write files that are marked read-only.
    const uid_t user = ::geteuid();
    mode_t writeBit = S_IWOTH;
    if (user == 0)
        writeBit = S_IWUSR | S_IWGRP | S_IWOTH;
    else if (info.st_uid == user)
        writeBit = S_IWUSR;
    else if (info.st_gid == ::getegid())
        writeBit = S_IWGRP;
    if ((info.st_mode & writeBit) == 0)
        return true;
    const int fd = ::open(resolved.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return true;
    ::close(fd);
    return false;
}

} // namespace tools::synchronizer
