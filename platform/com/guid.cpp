#include "platform/com/guid.h"

#include <cstdio>

namespace platform::com {

std::string guidToString(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned{g.Data1},
                  unsigned{g.Data2}, unsigned{g.Data3}, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                  g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

size_t GuidHash::operator()(const GUID& g) const noexcept {
    size_t h = g.Data1;
    h = h * 31 + g.Data2;
    h = h * 31 + g.Data3;
    for (uint8_t b : g.Data4)
        h = h * 31 + b;
    return h;
}

} // namespace platform::com
