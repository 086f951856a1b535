#include "outside/winrar/winrar_args.h"

#include "platform/core/paths.h"

#include <algorithm>

namespace outside::winrar {

namespace core = platform::core;

std::optional<Arguments> parseArguments(const std::vector<std::string>& words, std::string& error) {
    if (words.empty() || (words[0] != "a" && words[0] != "A")) {
        error = words.empty() ? std::string("no command given")
                              : "unknown command " + words[0] + " (only \"a\", add files, is supported)";
        return std::nullopt;
    }
    Arguments args;
    bool switches = true;
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string& arg = words[i];
        if (switches && arg == "--") {
            switches = false;
        } else if (switches && arg.size() > 1 && arg[0] == '-') {
            if (arg != "-ep" && arg != "-EP") {
                error = "unknown switch " + arg;
                return std::nullopt;
            }
            args.excludePaths = true;
        } else if (args.archive.empty()) {
            args.archive = arg;
        } else {
            args.files.push_back(arg);
        }
    }
    if (args.archive.empty() || args.files.empty()) {
        error = args.archive.empty() ? "no archive named" : "no files to add";
        return std::nullopt;
    }
    if (core::extractFileExt(args.archive).empty())
        args.archive += ".rar";
    return args;
}

std::string storedName(const std::string& path, bool excludePaths) {
    if (excludePaths)
        return core::extractFileName(path);
    std::string name;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, end - start);
        if (!part.empty() && part != "." && part != "..")
            name += (name.empty() ? "" : "/") + part;
        start = end + 1;
    }
    return name;
}

} // namespace outside::winrar
