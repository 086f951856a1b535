// Fuzz target of the BMP reader (libFuzzer): any bytes are decoded, and a decoded picture is written back
// and decoded again to the same pixels.
#include "platform/gdi/bmp_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto image = platform::gdi::decodeBmp(bytes);
    if (image) {
        const std::string again =
            platform::gdi::encodeBmp(image->width, image->height, image->pixels.data(), 32);
        const auto back = platform::gdi::decodeBmp(again);
        if (!back || back->pixels != image->pixels)
            std::abort();
    }
    return 0;
}
