#include "tools/stream_graph/vob_list_writer.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"

#include <cctype>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tools::stream_graph {

namespace {

constexpr std::string_view kVobExt = ".VOB";
constexpr std::string_view kAddedExt = ".vob";
// Longer runs of digits are not taken as a part number (they would not fit one).
constexpr size_t kMaxPartDigits = 9;

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

struct PartNumber {
    std::string prefix; // the path up to and including the non-digit before the number
    int64_t number = 0;
};

// The part number just before ".VOB", when it is preceded by a non-digit that follows a digit.
std::optional<PartNumber> partNumberOf(const std::string& path) {
    if (path.size() < kVobExt.size() ||
        platform::core::upperAscii(path.substr(path.size() - kVobExt.size())) != kVobExt)
        return std::nullopt;
    const size_t end = path.size() - kVobExt.size();
    size_t start = end;
    while (start > 0 && isDigit(path[start - 1]))
        --start;
    const size_t digits = end - start;
    if (digits == 0 || digits > kMaxPartDigits || start < 2 || isDigit(path[start - 1]) ||
        !isDigit(path[start - 2]))
        return std::nullopt;
    PartNumber part;
    part.prefix = path.substr(0, start);
    for (size_t i = start; i < end; ++i)
        part.number = part.number * 10 + (path[i] - '0');
    return part;
}

} // namespace

std::vector<std::string> vobSetNames(const std::string& chosen) {
    std::vector<std::string> names{chosen};
    const auto part = partNumberOf(chosen);
    if (!part)
        return names;
    for (int64_t k = 1; names.size() < kMaxVobListNames; ++k) {
        const std::string name = part->prefix + std::to_string(part->number + k) + std::string(kAddedExt);
        const std::string onDisk = platform::core::resolvePath(name);
        if (!platform::core::fileExists(onDisk))
            break;
        names.push_back(onDisk);
    }
    return names;
}

VobListResult writeVobList(const std::string& chosen) {
    VobListResult result;
    result.listPath = platform::core::extractFilePath(chosen) + kVobListName;
    if (!platform::core::fileExists(chosen))
        return result;
    result.names = vobSetNames(chosen);
    // A list that already names this set, as the main window leaves it before a rip, stays as it is:
    // rewriting it would cost a flush to the disk at every start.
    std::string bytes;
    for (const auto& name : result.names)
        bytes += name + "\r\n";
    const auto present = platform::core::readFile(result.listPath, static_cast<int64_t>(bytes.size()) + 1);
    if (present && *present == bytes) {
        result.status = VobListResult::Status::Written;
        return result;
    }
    result.status = platform::core::writeLines(result.listPath, result.names)
                        ? VobListResult::Status::Written
                        : VobListResult::Status::WriteFailed;
    return result;
}

} // namespace tools::stream_graph
