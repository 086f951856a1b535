#pragma once

// Conversions between the system's 8-bit texts (UTF-8, and paths as the file system's bytes) and the
// UTF-16 texts of interfaces. A byte that is not part of valid UTF-8 becomes the lone surrogate
// U+DC80..U+DCFF and turns back into the same byte, so every path survives the round trip.

#include "platform/com/types.h"

#include <string>
#include <string_view>

namespace platform::com {

std::u16string wideFromBytes(std::string_view bytes);
std::string bytesFromWide(std::u16string_view wide);
// Length of a NUL-terminated wide text; 0 for nullptr.
size_t wideLength(LPCOLESTR text);
// The text up to its NUL, bounded by limit units (a text without NUL within limit is cut there).
std::u16string_view wideView(LPCOLESTR text, size_t limit = SIZE_MAX);

} // namespace platform::com
