// Fuzz target of the profile and language file readers (libFuzzer): any bytes are read as a profile,
// every key the loader asks for is looked up, and the same bytes are read as a language file.
#include "kes/language_section.h"
#include "kes/profile_format.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const kes::ProfileContent content = kes::profileContent(bytes);
    for (const char* key : {"Description=", "vobpath=", "profiletitle=", "refq=", "output=", "Gain=", "Slng=",
                            "Lock1CD=", "VCodec=", "VVBR=", "kf=", "", "=", "\r", "\n"}) {
        const std::string value = kes::seekProfileItem(content.text, content.upper, key);
        static_cast<void>(kes::subtitleLanguagesOf(value));
    }
    static_cast<void>(kes::readMainBlocks(bytes));
    return 0;
}
