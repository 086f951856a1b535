#include "outside/dvd_audio/title_vobs.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace outside::dvd_audio {

namespace core = platform::core;

std::vector<std::string> titleVobFiles(const std::string& first, size_t maxFiles) {
    std::vector<std::string> files{first};
    std::string upper = first;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const size_t dot = upper.rfind(".VOB");
    if (dot == std::string::npos || dot < core::extractFilePath(first).size())
        return files;
    size_t start = dot;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(first[start - 1])))
        --start;
    const std::string prefix = first.substr(0, start);
    const size_t width = dot - start;
    long long number = 0;
    if (width > 0 && std::from_chars(first.data() + start, first.data() + dot, number).ec != std::errc{})
        return files; // a number too long to count on
    while (files.size() < maxFiles) {
        std::string digits = std::to_string(++number);
        if (digits.size() < width)
            digits.insert(0, width - digits.size(), '0');
        const std::string candidate = core::resolvePath(prefix + digits + ".vob");
        if (!core::fileExists(candidate))
            break;
        files.push_back(candidate);
    }
    return files;
}

} // namespace outside::dvd_audio
