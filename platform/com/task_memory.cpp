#include "platform/com/task_memory.h"

#include <cstdlib>
#include <cstring>

namespace platform::com {

void* CoTaskMemAlloc(size_t bytes) {
    return std::malloc(bytes);
}
void* CoTaskMemRealloc(void* block, size_t bytes) {
    return std::realloc(block, bytes);
}
void CoTaskMemFree(void* block) {
    std::free(block);
}

LPOLESTR taskMemWideCopy(std::u16string_view text) {
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
    if (!copy)
        return nullptr;
    if (!text.empty())
        std::memcpy(copy, text.data(), text.size() * sizeof(OLECHAR));
    copy[text.size()] = u'\0';
    return copy;
}

} // namespace platform::com
