// Fuzz target of Tonegrab's command line: the input is split as the platform splits a command line,
// and the arguments after the program name are taken as the extractor's five parameters.
#include "platform/core/process.h"
#include "tests/fuzz/fuzz_support.h"
#include "trovel/command_line.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> split = platform::core::splitCommandLine(kes::fuzz::bytesOf(data, size));
    if (split.empty())
        return 0;
    const std::vector<std::string> arguments(split.begin() + 1, split.end());
    const auto parameters = trovel::parseParameters(arguments);
    if (parameters && arguments.size() != trovel::kParameterCount)
        std::abort();
    if (parameters && parameters->streamDigit &&
        (*parameters->streamDigit < 0 || *parameters->streamDigit > 9))
        std::abort();
    return 0;
}
