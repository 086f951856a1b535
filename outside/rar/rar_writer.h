#pragma once

// Writing RAR 4 archives with the files stored (not compressed): a new archive, or an existing one
// with files added, a member of the same name replaced where it stood.

#include "outside/rar/rar_format.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace outside::rar {

struct RarInput {
    std::string name; // the name inside the archive ("/" separates folders)
    std::string data;
    uint32_t dosTime = 0;
    uint32_t mode = 0644; // permission bits of the file
};

// The MS-DOS date and time of a moment in local time (the form RAR stores), clamped to 1980-2107.
uint32_t dosTimeOf(std::time_t time);

// The file block of a stored member: its header and its data.
std::string storedFileBlock(const RarInput& input);

// The archive's bytes: with existing bytes, their members are kept in order (a member whose name
// matches an input, without regard to case, is replaced where it stood, with the service blocks
// that follow it), and the other inputs follow. Throws RarError when the existing archive cannot be
// read or is a volume, locked or solid.
std::string buildArchive(std::optional<std::string_view> existing, const std::vector<RarInput>& inputs);

} // namespace outside::rar
