#pragma once

// Local volumes: the mounted file systems on block devices, with their free and total bytes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::core {

struct Volume {
    std::string mountPoint; // "/", "/home", ...
    std::string device;     // "/dev/sda1"
    std::string fsType;     // "ext4"
    uint64_t freeBytes = 0; // free bytes of the volume, not the caller's quota
    uint64_t totalBytes = 0;
};

// The local file systems of the mount table, in the table's order, each mount point once. Pseudo,
// memory, overlay, squashfs and loop-mounted file systems are left out. KESTROVA_MOUNTS names another
// mount table to read (tests).
std::vector<Volume> fixedVolumes();
// The mounted volume that holds a path (the longest mount point that is a prefix of its real path),
// whatever its kind.
std::optional<Volume> volumeOf(std::string_view path);

} // namespace platform::core
