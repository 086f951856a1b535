#include "cover/cover_language.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"

#include <vector>

namespace cover {

namespace core = platform::core;

namespace {

constexpr std::string_view LanguageFolder = "LANG";
constexpr std::string_view ChoiceFile = "default.ini";
constexpr std::string_view DefaultLanguage = "English.lng";

std::vector<std::string_view> splitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.push_back(bytes.substr(start, i - start));
        i += (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < bytes.size())
        lines.push_back(bytes.substr(start));
    return lines;
}

// Stores the entry of a line "#n=text" when n is a whole number within the table.
void takeEntry(std::string_view line, CoverTexts& texts) {
    if (line.size() < 2 || line[0] != '#')
        return;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return;
    std::int32_t number = 0;
    if (!core::tryStrToInt(line.substr(1, eq - 1), number) || number < 1 || number > CoverTextCount)
        return;
    texts[static_cast<std::size_t>(number)] = core::cp1252ToUtf8(line.substr(eq + 1));
}

} // namespace

CoverTexts readCoverSection(std::string_view bytes) {
    CoverTexts texts;
    const auto lines = splitLines(bytes);
    std::size_t i = 0;
    while (i < lines.size() && lines[i] != CoverSectionHeading)
        ++i;
    for (++i; i < lines.size(); ++i) {
        takeEntry(lines[i], texts);
        if (lines[i].find(CoverSectionEnd) != std::string_view::npos)
            break;
    }
    return texts;
}

std::string coverLanguageFile(std::string_view programDir) {
    const std::string folder = core::joinPath(programDir, LanguageFolder);
    const std::string choice = core::joinPath(folder, ChoiceFile);
    if (core::fileExists(choice)) {
        const auto lines = core::readLines(choice);
        const std::string name = (lines && !lines->empty()) ? lines->front() : std::string();
        return core::joinPath(folder, name);
    }
    // A folder that refuses the choice file only means the next window tries again; this one uses
    // the English file either way.
    const bool written = core::writeLines(choice, {std::string(DefaultLanguage)});
    static_cast<void>(written);
    return core::joinPath(folder, DefaultLanguage);
}

std::optional<CoverTexts> loadCoverTexts(std::string_view programDir) {
    const std::string path = coverLanguageFile(programDir);
    if (!core::fileExists(path))
        return std::nullopt;
    const std::int64_t size = core::fileSize(path);
    if (size < 0 || static_cast<std::uint64_t>(size) > MaxCoverLanguageBytes)
        return std::nullopt;
    const auto bytes = core::readFile(path);
    if (!bytes)
        return std::nullopt;
    return readCoverSection(*bytes);
}

} // namespace cover
