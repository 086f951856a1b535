// Fuzz target of the IFO video reader (libFuzzer): any bytes are read as an IFO file; a read must
// either fail with IfoReadError or give a length whose seconds stay below a minute.
#include "kes/ifo_video.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const kes::IfoTitleInfo info =
            kes::readIfoTitleInfo(std::string_view(reinterpret_cast<const char*>(data), size), "");
        if (std::stoi(info.seconds) < 0 || std::stoi(info.seconds) > 59 || std::stoi(info.minutes) < 0)
            std::abort();
        if (!info.standard.empty() && info.standard != "PAL" && info.standard != "NTSC")
            std::abort();
    } catch (const kes::IfoReadError&) {
        return 0; // a short or damaged file is refused
    }
    return 0;
}
