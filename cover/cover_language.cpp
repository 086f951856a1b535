#include "cover/cover_language.h"

#include "kes/language_file.h"
#include "kes/language_section.h"

#include "platform/core/files.h"

namespace cover {

namespace core = platform::core;

static_assert(CoverTextCount == kes::CoverTableSize, "the cover's table is the section's");

CoverTexts readCoverSection(std::string_view bytes) {
    CoverTexts texts;
    const auto lines = kes::splitLanguageLines(bytes);
    const kes::SectionRead read = kes::readSection(lines, 0, kes::CoverSection);
    if (!read.started)
        return texts;
    for (const kes::LanguageEntry& entry : read.entries)
        texts[static_cast<std::size_t>(entry.number)] = entry.text;
    return texts;
}

std::string coverLanguageFile(std::string_view programDir) {
    return kes::sectionLanguageFile(programDir);
}

std::optional<CoverTexts> loadCoverTexts(std::string_view programDir) {
    const std::string path = coverLanguageFile(programDir);
    if (!core::fileExists(path))
        return std::nullopt;
    const auto bytes = kes::readLanguageFile(path);
    if (!bytes)
        return std::nullopt;
    return readCoverSection(*bytes);
}

} // namespace cover
