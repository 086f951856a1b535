#include "platform/core/volumes.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <sys/statvfs.h>

namespace platform::core {

namespace {

constexpr int64_t LargestMountTable = 4 << 20;

// File systems that live on a local disk or partition.
constexpr std::array<std::string_view, 17> LocalTypes = {
    "ext2",  "ext3", "ext4", "xfs",      "btrfs", "vfat",    "msdos",  "exfat",  "ntfs",
    "ntfs3", "f2fs", "jfs",  "reiserfs", "zfs",   "hfsplus", "nilfs2", "fuseblk"};

struct MountEntry {
    std::string device;
    std::string mountPoint;
    std::string fsType;
};

// Undoes the mount table's octal escapes ("\040" is a blank in a mount point).
std::string unescapeField(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            field.substr(i + 1, 3).find_first_not_of("01234567") == std::string_view::npos) {
            const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value <= UCHAR_MAX) {
                out.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<MountEntry> readMountTable() {
    const char* env = std::getenv("KESTROVA_MOUNTS");
    const std::string table = (env && *env) ? env : "/proc/self/mounts";
    std::vector<MountEntry> entries;
    // The kernel's tables report size 0; a file named by KESTROVA_MOUNTS must still be reasonable.
    if (fileSize(table) > LargestMountTable)
        return entries;
    const auto lines = readLines(table);
    if (!lines)
        return entries;
    for (const auto& line : *lines) {
        std::vector<std::string_view> fields;
        size_t start = 0;
        const std::string_view text(line);
        while (start < text.size() && fields.size() < 3) {
            const size_t begin = text.find_first_not_of(" \t", start);
            if (begin == std::string_view::npos)
                break;
            size_t end = text.find_first_of(" \t", begin);
            if (end == std::string_view::npos)
                end = text.size();
            fields.push_back(text.substr(begin, end - begin));
            start = end;
        }
        if (fields.size() < 3 || fields[0].starts_with('#'))
            continue;
        entries.push_back({unescapeField(fields[0]), unescapeField(fields[1]), std::string(fields[2])});
    }
    return entries;
}

bool isLocal(const MountEntry& e) {
    if (std::find(LocalTypes.begin(), LocalTypes.end(), e.fsType) == LocalTypes.end())
        return false;
    if (e.fsType == "zfs")
        return true; // named by pool and dataset, not by a device
    return e.device.starts_with("/dev/") && !e.device.starts_with("/dev/loop");
}

bool fillSpace(Volume& v) {
    struct statvfs st {};
    if (::statvfs(v.mountPoint.c_str(), &st) != 0)
        return false;
    v.freeBytes = static_cast<uint64_t>(st.f_bfree) * st.f_frsize;
    v.totalBytes = static_cast<uint64_t>(st.f_blocks) * st.f_frsize;
    return true;
}

// True when mountPoint is path or one of its folders.
bool holds(std::string_view mountPoint, std::string_view path) {
    if (mountPoint == "/")
        return true;
    return path.starts_with(mountPoint) &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == PathDelim);
}

// The real path of the nearest existing folder of path (a file still to be written lies on the volume
// of its folder).
std::string realExistingPath(std::string_view path) {
    std::string probe = resolvePath(path);
    if (!probe.empty() && probe.front() != PathDelim)
        probe = joinPath(currentDir(), probe);
    for (int depth = 0; depth < PATH_MAX && !probe.empty(); ++depth) {
        if (char* real = ::realpath(probe.c_str(), nullptr)) {
            std::string out(real);
            std::free(real);
            return out;
        }
        while (probe.size() > 1 && probe.back() == PathDelim)
            probe.pop_back();
        const size_t delim = probe.rfind(PathDelim);
        if (delim == std::string::npos)
            return {};
        probe = delim == 0 ? std::string(1, PathDelim) : probe.substr(0, delim);
    }
    return {};
}

} // namespace

std::vector<Volume> fixedVolumes() {
    std::vector<Volume> volumes;
    for (const auto& e : readMountTable()) {
        if (!isLocal(e))
            continue;
        const bool seen = std::any_of(volumes.begin(), volumes.end(),
                                      [&e](const Volume& v) { return v.mountPoint == e.mountPoint; });
        if (seen)
            continue;
        Volume v{e.mountPoint, e.device, e.fsType};
        if (fillSpace(v))
            volumes.push_back(std::move(v));
    }
    return volumes;
}

std::optional<Volume> volumeOf(std::string_view path) {
    const std::string real = realExistingPath(path);
    if (real.empty())
        return std::nullopt;
    const MountEntry* best = nullptr;
    const auto entries = readMountTable();
    for (const auto& e : entries) {
        // The longest mount point wins; among equal ones the later mount, which hides the earlier.
        if (holds(e.mountPoint, real) && (!best || e.mountPoint.size() >= best->mountPoint.size()))
            best = &e;
    }
    if (!best)
        return std::nullopt;
    Volume v{best->mountPoint, best->device, best->fsType};
    if (!fillSpace(v))
        return std::nullopt;
    return v;
}

} // namespace platform::core
