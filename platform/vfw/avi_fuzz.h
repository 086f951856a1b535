#pragma once

// An entry point for fuzzing and corpus tests: parses bytes as an AVI or WAVE file held in memory and
// walks every stream (info, format, reads of every sample, key-frame searches, a few decoded frames).
// Returns the number of streams found, or -1 when the bytes are no file the interface can open.

#include <cstddef>
#include <cstdint>

namespace platform::vfw {

int exerciseAviBytes(const uint8_t* data, size_t size);

} // namespace platform::vfw
