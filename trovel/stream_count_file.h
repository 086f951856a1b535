#pragma once

// "sn.fnd": the number of audio streams found, as one raw byte (its low 8 bits), in Tonegrab's own
// folder. A new count replaces the file whole.

#include <optional>
#include <string>

namespace trovel {

inline constexpr const char* kStreamCountFile = "sn.fnd";

// Writes the count into folder (which ends with '/'). Nothing on success; else the text of the
// input/output error.
std::optional<std::string> writeStreamCount(const std::string& folder, int count);

} // namespace trovel
