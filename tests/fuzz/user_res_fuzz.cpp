// Fuzz target of "user.res", the user's picture size presets: the file is read as lines, each line is
// taken apart as a preset, and the lines kept on saving are chosen again.
#include "kes/video_page.h"
#include "platform/core/files.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = kes::fuzz::scratchFile("profiles/user.res", kes::fuzz::bytesOf(data, size));
    const auto lines = platform::core::readLines(path);
    if (!lines)
        std::abort();
    for (const std::string& line : *lines) {
        if (const auto preset = kes::parsePreset(line))
            static_cast<void>(kes::userPresetText(*preset));
    }
    if (kes::userPresetLines(*lines).size() > lines->size())
        std::abort();
    return 0;
}
