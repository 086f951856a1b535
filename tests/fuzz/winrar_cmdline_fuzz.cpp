// Fuzz target of the archiver's command line (libFuzzer): the input is split as the platform splits a
// command line and the words after the program name are its arguments. A line taken names an archive
// with an extension and files, and no stored name reaches outside the folder it is extracted to.
#include "outside/winrar/winrar_args.h"
#include "platform/core/paths.h"
#include "platform/core/process.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> split = platform::core::splitCommandLine(kes::fuzz::bytesOf(data, size));
    if (split.empty())
        return 0;
    std::string error;
    const auto args =
        outside::winrar::parseArguments(std::vector<std::string>(split.begin() + 1, split.end()), error);
    if (!args)
        return 0;
    if (args->archive.empty() || args->files.empty() || platform::core::extractFileExt(args->archive).empty())
        std::abort();
    for (const std::string& file : args->files) {
        const std::string name = outside::winrar::storedName(file, args->excludePaths);
        if (!name.empty() && name.front() == '/')
            std::abort();
        if (!args->excludePaths &&
            (name == ".." || name.rfind("../", 0) == 0 || name.find("/../") != std::string::npos ||
             (name.size() >= 3 && name.compare(name.size() - 3, 3, "/..") == 0)))
            std::abort();
    }
    return 0;
}
