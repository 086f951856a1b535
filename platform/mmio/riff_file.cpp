#include "platform/mmio/riff_file.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::mmio {

namespace {

constexpr int64_t MaxIoPiece = int64_t{1} << 30; // one read or write system call at most
constexpr mode_t NewFileMode = 0666;

uint32_t le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void putLe32(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

// The end of a chunk's data and padding, as the size field declares it.
int64_t declaredEnd(const ChunkInfo& ck) {
    const int64_t size = ck.declaredSize;
    return ck.dataOffset + size + (size & 1);
}

bool isContainer(FourCC id) {
    return id == FOURCC_RIFF || id == FOURCC_LIST;
}

} // namespace

std::string fourCCText(FourCC id) {
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i)
        text[static_cast<size_t>(i)] = static_cast<char>((id >> (8 * i)) & 0xFF);
    return text;
}

RiffFile::RiffFile(int fd, OpenMode mode, std::string path, std::string temp, int64_t size)
    : fd_(fd), mode_(mode), path_(std::move(path)), temp_(std::move(temp)), size_(size) {
    if (!temp_.empty())
        held_ = std::make_unique<core::TemporaryFile>(temp_);
}

RiffFile::~RiffFile() {
    if (fd_ >= 0) {
        if (mode_ == OpenMode::Create)
            discard();
        else
            ::close(fd_);
    }
}

std::unique_ptr<RiffFile> RiffFile::open(std::string_view path, OpenMode mode) {
    const std::string resolved = core::resolvePath(path);
    if (resolved.empty())
        return nullptr;
    if (mode == OpenMode::Read) {
        // Only a regular file, never waited on: a pipe of that name is refused at once.
        const int fd = core::openForReading(resolved);
        if (fd < 0)
            return nullptr;
        struct stat st {};
        if (fstat(fd, &st) != 0) {
            ::close(fd);
            return nullptr;
        }
        return std::unique_ptr<RiffFile>(new RiffFile(fd, mode, resolved, {}, st.st_size));
    }
    // A folder of that name cannot be replaced by a file.
    struct stat existing {};
    if (stat(resolved.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode))
        return nullptr;
    std::string temp = resolved + ".kes-XXXXXX";
    const core::TerminationDeferred deferred;
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    // The temporary file is private; the finished file gets the permissions a new file would get.
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd, NewFileMode & ~mask) != 0) {
        ::close(fd);
        ::unlink(temp.c_str());
        return nullptr;
    }
    return std::unique_ptr<RiffFile>(new RiffFile(fd, mode, resolved, temp, 0));
}

bool RiffFile::readExact(int64_t offset, void* buffer, int64_t count) {
    if (offset < 0 || count < 0 || offset > size_ || count > size_ - offset)
        return false;
    auto* out = static_cast<unsigned char*>(buffer);
    while (count > 0) {
        const ssize_t got = pread(fd_, out, static_cast<size_t>(std::min(count, MaxIoPiece)), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        offset += got;
        count -= got;
    }
    return true;
}

bool RiffFile::writeAt(int64_t offset, const void* buffer, int64_t count) {
    if (mode_ != OpenMode::Create || offset < 0 || count < 0)
        return false;
    const auto* in = static_cast<const unsigned char*>(buffer);
    int64_t at = offset;
    int64_t left = count;
    while (left > 0) {
        const ssize_t put = pwrite(fd_, in, static_cast<size_t>(std::min(left, MaxIoPiece)), at);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        in += put;
        at += put;
        left -= put;
    }
    size_ = std::max(size_, offset + count);
    return true;
}

int64_t RiffFile::read(void* buffer, int64_t count) {
    if (fd_ < 0 || count < 0 || (count > 0 && buffer == nullptr))
        return MMIO_IOERROR;
    int64_t done = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (done < count) {
        const ssize_t got =
            pread(fd_, out + done, static_cast<size_t>(std::min(count - done, MaxIoPiece)), pos_ + done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return MMIO_IOERROR;
        if (got == 0)
            break;
        done += got;
    }
    pos_ += done;
    return done;
}

int64_t RiffFile::write(const void* buffer, int64_t count) {
    if (fd_ < 0 || count < 0 || (count > 0 && buffer == nullptr))
        return MMIO_IOERROR;
    if (!writeAt(pos_, buffer, count))
        return MMIO_IOERROR;
    pos_ += count;
    return count;
}

int64_t RiffFile::seek(int64_t offset, int origin) {
    if (fd_ < 0)
        return MMIO_IOERROR;
    int64_t base = 0;
    if (origin == SEEK_CUR)
        base = pos_;
    else if (origin == SEEK_END)
        base = size_;
    else if (origin != SEEK_SET)
        return MMIO_IOERROR;
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0)
        return MMIO_IOERROR;
    pos_ = base + offset;
    return pos_;
}

int RiffFile::createChunk(ChunkInfo& ck, CreateKind kind) {
    if (fd_ < 0 || mode_ != OpenMode::Create)
        return MMIOERR_CANNOTWRITE;
    if (kind == CreateKind::Riff)
        ck.ckid = FOURCC_RIFF;
    else if (kind == CreateKind::List)
        ck.ckid = FOURCC_LIST;
    std::array<unsigned char, ChunkHeaderSize + FormTypeSize> header{};
    putLe32(header.data(), ck.ckid);
    const bool container = kind != CreateKind::Chunk;
    // A container's size covers its form type from the start.
    ck.cksize = container ? std::max<uint32_t>(ck.cksize, FormTypeSize) : ck.cksize;
    putLe32(header.data() + 4, ck.cksize);
    putLe32(header.data() + 8, ck.fccType);
    const int64_t length = ChunkHeaderSize + (container ? FormTypeSize : 0);
    if (write(header.data(), length) != length)
        return MMIOERR_CANNOTWRITE;
    ck.dataOffset = pos_ - length + ChunkHeaderSize;
    ck.declaredSize = ck.cksize;
    ck.created = true;
    return MMSYSERR_NOERROR;
}

int RiffFile::descend(ChunkInfo& ck, const ChunkInfo* parent, Descend how) {
    if (fd_ < 0)
        return MMIOERR_CANNOTREAD;
    int64_t end = size_;
    if (parent != nullptr)
        end = std::min(end, parent->dataOffset + static_cast<int64_t>(parent->cksize));
    int64_t at = std::max<int64_t>(pos_, parent != nullptr ? parent->dataOffset : 0);
    const FourCC wantedType = ck.fccType;
    const FourCC wantedId = ck.ckid;
    while (at + ChunkHeaderSize <= end) {
        std::array<unsigned char, ChunkHeaderSize + FormTypeSize> header{};
        if (!readExact(at, header.data(), ChunkHeaderSize))
            return MMIOERR_CANNOTREAD;
        ChunkInfo found;
        found.ckid = le32(header.data());
        found.declaredSize = le32(header.data() + 4);
        found.dataOffset = at + ChunkHeaderSize;
        int64_t size = found.declaredSize;
        // Writers that stream leave the size of the outermost RIFF chunk 0: it runs to the end of the file.
        if (parent == nullptr && found.ckid == FOURCC_RIFF && size == 0)
            size = end - found.dataOffset;
        found.cksize = static_cast<uint32_t>(
            std::clamp<int64_t>(size, 0, std::min<int64_t>(end - found.dataOffset, UINT32_MAX)));
        int64_t dataStart = found.dataOffset;
        if (isContainer(found.ckid) && found.cksize >= FormTypeSize) {
            if (!readExact(found.dataOffset, header.data() + ChunkHeaderSize, FormTypeSize))
                return MMIOERR_CANNOTREAD;
            found.fccType = le32(header.data() + ChunkHeaderSize);
            dataStart += FormTypeSize;
        }
        bool match = false;
        switch (how) {
        case Descend::Current:
            match = true;
            break;
        case Descend::FindChunk:
            match = found.ckid == wantedId;
            break;
        case Descend::FindRiff:
            match = found.ckid == FOURCC_RIFF && dataStart > found.dataOffset && found.fccType == wantedType;
            break;
        case Descend::FindList:
            match = found.ckid == FOURCC_LIST && dataStart > found.dataOffset && found.fccType == wantedType;
            break;
        }
        if (match) {
            ck = found;
            pos_ = dataStart;
            return MMSYSERR_NOERROR;
        }
        at = declaredEnd(found); // at least one header further on: the walk always ends
    }
    return MMIOERR_CHUNKNOTFOUND;
}

int RiffFile::ascend(ChunkInfo& ck) {
    if (fd_ < 0)
        return MMIOERR_CANNOTSEEK;
    if (ck.created) {
        const int64_t length = pos_ - ck.dataOffset;
        if (length < 0 || length > UINT32_MAX)
            return MMIOERR_CANNOTSEEK;
        std::array<unsigned char, 4> field{};
        putLe32(field.data(), static_cast<uint32_t>(length));
        if (!writeAt(ck.dataOffset - 4, field.data(), 4))
            return MMIOERR_CANNOTWRITE;
        ck.cksize = ck.declaredSize = static_cast<uint32_t>(length);
        if ((length & 1) != 0) {
            const unsigned char pad = 0;
            if (!writeAt(pos_, &pad, 1))
                return MMIOERR_CANNOTWRITE;
        }
        pos_ = declaredEnd(ck);
        return MMSYSERR_NOERROR;
    }
    if (ck.dataOffset < ChunkHeaderSize)
        return MMIOERR_CANNOTSEEK;
    // A size field that runs past the file leaves the position at the end of the file.
    pos_ = std::min(declaredEnd(ck), std::max(size_, ck.dataOffset));
    return MMSYSERR_NOERROR;
}

int RiffFile::close() {
    if (fd_ < 0)
        return MMSYSERR_NOERROR;
    if (mode_ == OpenMode::Read) {
        ::close(fd_);
        fd_ = -1;
        return MMSYSERR_NOERROR;
    }
    bool ok = fsync(fd_) == 0;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    ok = ok && std::rename(temp_.c_str(), path_.c_str()) == 0;
    if (!ok)
        ::unlink(temp_.c_str());
    held_.reset();
    return ok ? MMSYSERR_NOERROR : MMIOERR_CANNOTWRITE;
}

void RiffFile::discard() {
    if (fd_ < 0)
        return;
    ::close(fd_);
    fd_ = -1;
    if (mode_ == OpenMode::Create)
        ::unlink(temp_.c_str());
    held_.reset();
}

} // namespace platform::mmio
