#pragma once

// Task memory: blocks that one component allocates and another frees (texts and arrays handed out
// through interfaces). Every module uses the process's one heap, so any side may free.

#include "platform/com/types.h"

#include <cstddef>
#include <string_view>

namespace platform::com {

void* CoTaskMemAlloc(size_t bytes);
void* CoTaskMemRealloc(void* block, size_t bytes);
void CoTaskMemFree(void* block);

// A NUL-terminated task-memory copy of a wide text; nullptr when it cannot be allocated.
LPOLESTR taskMemWideCopy(std::u16string_view text);

} // namespace platform::com
