// Fuzz target of the "m2a.bat" first-line reader (libFuzzer): any bytes are read as the line, and
// every value taken must be a short decimal number. Corpus: corpus/m2a_bat.
#include "kes/m2a_bat.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void checkSize(const std::optional<std::string>& value) {
    if (!value)
        return;
    if (value->empty() || value->size() > kes::MaxSizeDigits)
        std::abort();
    for (const char c : *value) {
        if (c < '0' || c > '9')
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const kes::OnScreenSizes sizes =
        kes::parseM2aFirstLine(std::string_view(reinterpret_cast<const char*>(data), size));
    if (sizes.xCrop.has_value() != sizes.yCrop.has_value())
        std::abort();
    for (const auto* value : {&sizes.xSize, &sizes.ySize, &sizes.xCrop, &sizes.yCrop})
        checkSize(*value);
    return 0;
}
