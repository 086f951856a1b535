// Fuzz target of the AC3 decoder's command line (libFuzzer): the input is split as the platform
// splits a command line and the words after the program name are its arguments. A line taken names
// the VOB, an AC3 sub-stream and exactly one of writing or playing.
#include "outside/ac3dec/ac3dec_options.h"
#include "platform/core/process.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> split = platform::core::splitCommandLine(kes::fuzz::bytesOf(data, size));
    if (split.empty())
        return 0;
    std::string error;
    const auto options =
        outside::ac3dec::parseAc3DecOptions(std::vector<std::string>(split.begin() + 1, split.end()), error);
    if (!options)
        return 0;
    if (options->vob.empty() || options->play == !options->wav.empty())
        std::abort();
    if (options->subStream < 0x80 || options->subStream > 0x87)
        std::abort();
    return 0;
}
