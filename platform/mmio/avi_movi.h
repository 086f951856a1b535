#pragma once

// The bytes of an AVI file's "movi" lists, found by walking its chunks: the list of the "RIFF" "AVI "
// chunk and those of every OpenDML "RIFF" "AVIX" chunk after it (any AVI over 1 GB has them).

#include <cstdint>
#include <optional>
#include <string_view>

namespace platform::mmio {

// The sum of the "movi" lists' sizes (each as its "LIST" size field gives it, held to the file).
// Nothing when the file does not begin with a "RIFF" "AVI " chunk holding a "movi" list.
std::optional<int64_t> aviMoviBytes(std::string_view path);

} // namespace platform::mmio
