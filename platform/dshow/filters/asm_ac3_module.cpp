// "AsmAc3.dll": the audio decoder's decoding core.

#include "platform/dshow/filters/decoder_parts.h"

#include <algorithm>
#include <cstring>

extern "C" [[gnu::visibility("default")]] platform::dshow::filters::DecodeCore*
AsmCreateDecodeCore(const platform::dshow::filters::StreamFormat* format, char* error, size_t errorSize) {
    if (!format)
        return nullptr;
    std::string why;
    auto core = platform::dshow::filters::makeDecodeCore(*format, why);
    if (!core && error && errorSize > 0) {
        const size_t n = std::min(why.size(), errorSize - 1);
        std::memcpy(error, why.data(), n);
        error[n] = '\0';
    }
    return core.release();
}
