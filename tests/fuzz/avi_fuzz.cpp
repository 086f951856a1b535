// libFuzzer target of the AVI, WAVE and MP3 readers, the index builders and the frame getter.
#include "platform/vfw/avi_fuzz.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::vfw::exerciseAviBytes(data, size);
    return 0;
}
