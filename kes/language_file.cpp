#include "kes/language_file.h"

#include "platform/core/files.h"
#include "platform/core/text.h"

namespace kes {

namespace core = platform::core;

std::vector<std::string_view> splitLanguageLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.push_back(bytes.substr(start, i - start));
        // CR LF is one line end; a lone CR or LF is one too.
        i += (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < bytes.size())
        lines.push_back(bytes.substr(start));
    return lines;
}

bool beginsWithEntryMark(std::string_view line) {
    return !line.empty() && line.front() == EntryMark;
}

std::optional<LanguageEntry> parseEntryLine(std::string_view line) {
    if (line.size() < 2 || line.front() != EntryMark)
        return std::nullopt;
    const size_t separator = line.find(EntrySeparator);
    if (separator == std::string_view::npos)
        return std::nullopt;
    int32_t number = 0;
    if (!core::tryStrToInt(line.substr(1, separator - 1), number))
        return std::nullopt;
    return LanguageEntry{number, core::cp1252ToUtf8(line.substr(separator + 1))};
}

int countEntryLines(std::string_view bytes) {
    int count = 0;
    for (const auto line : splitLanguageLines(bytes))
        if (beginsWithEntryMark(line))
            ++count;
    return count;
}

std::optional<std::string> readLanguageFile(std::string_view path) {
    if (!core::fileExists(path))
        return std::nullopt;
    const int64_t size = core::fileSize(path);
    if (size < 0 || size > MaxLanguageFileBytes)
        return std::nullopt;
    auto bytes = core::readFile(path, MaxLanguageFileBytes);
    if (!bytes)
        return std::nullopt;
    return bytes;
}

bool LangFileComplete(std::string_view path) {
    const auto bytes = readLanguageFile(path);
    return bytes && countEntryLines(*bytes) == CompleteEntryCount;
}

} // namespace kes
