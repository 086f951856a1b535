#include "platform/dshow/filters/positioned_file.h"

#include "platform/core/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace platform::dshow::filters {

namespace {
constexpr char kTempSuffix[] = ".XXXXXX";
constexpr mode_t kNewFileMode = 0666; // before the umask, as any new file
} // namespace

PositionedFile::PositionedFile(std::string target) : target_(std::move(target)) {
    const std::string folder = platform::core::extractFilePath(target_);
    std::string pattern = folder + "." + platform::core::extractFileName(target_) + kTempSuffix;
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const platform::core::TerminationDeferred deferred;
    fd_ = mkstemp(name.data());
    if (fd_ < 0)
        return;
    temp_ = name.data();
    held_ = std::make_unique<platform::core::TemporaryFile>(temp_);
    // mkstemp makes the file private; give it the mode a newly created file would have.
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd_, kNewFileMode & ~mask) != 0)
        failed_ = true;
}

PositionedFile::~PositionedFile() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temp_.c_str());
    }
}

bool PositionedFile::write(int64_t offset, std::span<const uint8_t> bytes) {
    if (fd_ < 0 || failed_ || offset < 0)
        return false;
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        bytes = bytes.subspan(static_cast<size_t>(n));
        offset += n;
    }
    return true;
}

bool PositionedFile::commit() {
    if (fd_ < 0)
        return false;
    bool ok = !failed_;
    if (::close(fd_) != 0)
        ok = false;
    fd_ = -1;
    if (ok && std::rename(temp_.c_str(), target_.c_str()) != 0)
        ok = false;
    if (!ok)
        ::unlink(temp_.c_str());
    held_.reset();
    return ok;
}

} // namespace platform::dshow::filters
