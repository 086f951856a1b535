// Fuzz target of "sn.fnd", the stream count the extractor leaves in extern/: the count is read back as
// the main window reads it, and a stream text is taken apart for its digit.
#include "kes/audio_stream_lines.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = kes::fuzz::bytesOf(data, size);
    kes::fuzz::scratchFile(std::string("extern/") + kes::StreamCountFile, bytes);
    const auto count = kes::readStreamCount(kes::fuzz::scratchFolder() + "/extern/");
    if (count.has_value() == bytes.empty() || (count && (*count < 0 || *count > 255)))
        std::abort();
    if (const auto digit = kes::streamDigit(bytes); digit && (*digit < '0' || *digit > '9'))
        std::abort();
    return 0;
}
