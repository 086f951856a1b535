// Fuzz target of the AC3 decoder "azid.exe"'s command line (libFuzzer): the input is split as the
// platform splits a command line and the words after the program name are its arguments. A line taken
// names both files, and an LFE level taken is a finite number.
#include "outside/azid/azid_options.h"
#include "platform/core/process.h"
#include "tests/fuzz/fuzz_support.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> split = platform::core::splitCommandLine(kes::fuzz::bytesOf(data, size));
    if (split.empty())
        return 0;
    std::string error;
    const auto options =
        outside::azid::parseAzidOptions(std::vector<std::string>(split.begin() + 1, split.end()), error);
    if (!options)
        return 0;
    if (options->input.empty() || options->output.empty())
        std::abort();
    if (options->lfeLevelDb && !std::isfinite(*options->lfeLevelDb))
        std::abort();
    return 0;
}
