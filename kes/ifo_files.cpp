#include "kes/ifo_files.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

namespace kes {

namespace core = platform::core;

namespace {
constexpr const char* IfoSuffix = "0.IFO";
constexpr const char* SubExtension = ".sub";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

std::string IfoNameOfVob(std::string_view vob) {
    const std::string folder = core::extractFilePath(vob);
    std::string name = core::extractFileName(vob);
    const std::string ext = core::extractFileExt(name);
    size_t cut = ext.empty() ? name.size() : name.find(ext);
    if (cut == std::string::npos)
        cut = name.size();
    while (cut > 0 && isDigit(name[cut - 1]))
        --cut;
    const std::string ifo = folder + name.substr(0, cut) + IfoSuffix;
    return core::fileExists(ifo) ? ifo : std::string(NoIfoFile);
}

std::string SubNameOfAvi(std::string_view finalAvi) {
    // Only the file name's extension goes: a folder whose name holds the same text keeps it.
    return core::changeFileExt(finalAvi, SubExtension);
}

std::optional<std::string> readIfoHead(std::string_view path) {
    // Only the head is read, and only of a regular file: a pipe is not waited on.
    return core::readFileHead(path, static_cast<int64_t>(IfoHeadSize));
}

std::optional<uint8_t> IfoBytes::byte(size_t offset) const {
    if (!has(offset, 1))
        return std::nullopt;
    return static_cast<uint8_t>(bytes_[offset]);
}

} // namespace kes
