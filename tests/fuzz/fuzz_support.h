#pragma once

// Shared by the fuzz targets: a scratch folder of the process for entry points that read a path, and
// the input cut into text fields.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kes::fuzz {

// The input as text.
inline std::string_view bytesOf(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A folder of this process under the system's temporary folder, made on first use and removed when
// the process ends.
const std::string& scratchFolder();

// Writes bytes to a file of the scratch folder (sub-folders made as needed) and gives its path.
std::string scratchFile(std::string_view name, std::string_view bytes);

// The input cut at every NUL byte, at most `limit` fields (the last keeps the rest).
std::vector<std::string> fields(std::string_view bytes, size_t limit);

} // namespace kes::fuzz
