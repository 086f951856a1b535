// Fuzz target of the JPEG decoder that the cover printer and the bitmap loader share: any bytes are
// decoded; a picture that comes back has a size within the decoder's limits.
#include "cover/cover_picture.h"
#include "platform/gdi/graphic.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const auto bitmap = cover::decodeJpeg(kes::fuzz::bytesOf(data, size));
        if (bitmap && (bitmap->width() < 0 || bitmap->height() < 0))
            std::abort();
    } catch (const platform::gdi::GraphicError&) {
        return 0; // a damaged picture is refused with a message
    }
    return 0;
}
