#include "kes/language_section.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <utility>

namespace kes {

namespace core = platform::core;

namespace {

bool endsBlock(std::string_view line, const SectionRules& rules) {
    switch (rules.stop) {
    case SectionStop::LineEquals:
        return line == rules.stopMarker;
    case SectionStop::LineContains:
        return line.find(rules.stopMarker) != std::string_view::npos;
    }
    return false;
}

std::string languagePath(std::string_view programDir, std::string_view name) {
    return core::joinPath(core::joinPath(programDir, LanguageFolder), name);
}

} // namespace

SectionTable::SectionTable(int size) : texts_(static_cast<size_t>(size > 0 ? size : 0)) {}

const std::string& SectionTable::text(int number) const {
    static const std::string empty;
    if (number < 1 || number > size())
        return empty;
    return texts_[static_cast<size_t>(number - 1)];
}

bool SectionTable::set(int number, std::string text) {
    if (number < 1 || number > size())
        return false;
    texts_[static_cast<size_t>(number - 1)] = std::move(text);
    return true;
}

void SectionTable::apply(const std::vector<LanguageEntry>& entries) {
    for (const auto& entry : entries)
        set(entry.number, entry.text);
}

void SectionTable::clear() {
    for (auto& text : texts_)
        text.clear();
}

SectionRead readSection(const std::vector<std::string_view>& lines, size_t from, const SectionRules& rules) {
    SectionRead result;
    size_t i = from;
    if (!rules.heading.empty()) {
        while (i < lines.size() && lines[i] != rules.heading)
            ++i;
        if (i >= lines.size()) {
            result.next = lines.size();
            return result;
        }
        ++i;
    }
    result.started = true;
    for (; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        auto entry = parseEntryLine(line);
        if (entry && entry->number >= 1 && entry->number <= rules.lastEntry)
            result.entries.push_back(std::move(*entry));
        if (endsBlock(line, rules)) {
            ++i;
            break;
        }
    }
    result.next = i;
    return result;
}

MainBlocks readMainBlocks(std::string_view bytes) {
    MainBlocks blocks;
    const auto lines = splitLanguageLines(bytes);
    if (lines.empty() || lines.front() != LanguageVersion)
        return blocks;
    blocks.versionOk = true;
    SectionRead captions = readSection(lines, 1, CaptionBlock);
    blocks.captions = std::move(captions.entries);
    blocks.messages = readSection(lines, captions.next, MessageBlock).entries;
    return blocks;
}

std::string sectionLanguageFile(std::string_view programDir) {
    const std::string choice = languagePath(programDir, LanguageChoiceFile);
    if (core::fileExists(choice)) {
        const auto lines = core::readLines(choice);
        const std::string name = (lines && !lines->empty()) ? lines->front() : std::string();
        return languagePath(programDir, name);
    }
    // Whether or not the choice file can be written, this load uses the English file; a folder that
    // refuses it only means the next window asks again.
    const bool written = core::writeLines(choice, {std::string(DefaultLanguageName)});
    static_cast<void>(written);
    return languagePath(programDir, DefaultLanguageName);
}

bool loadLanguageSection(std::string_view programDir, const SectionRules& rules, SectionTable& table) {
    const auto bytes = readLanguageFile(sectionLanguageFile(programDir));
    if (!bytes)
        return false;
    table.apply(readSection(splitLanguageLines(*bytes), 0, rules).entries);
    return true;
}

} // namespace kes
