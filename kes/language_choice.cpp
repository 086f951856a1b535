#include "kes/language_choice.h"

#include "kes/language_file.h"
#include "kes/language_section.h"
#include "kes/text_helpers.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"

#include <optional>

namespace kes {

namespace core = platform::core;

namespace {

constexpr std::string_view DefaultLanguageCaption = "&English";
constexpr std::string_view AccelMark = "&";
constexpr std::string_view UpperExtension = ".LNG";
constexpr std::string_view WavMark = "WAV";
constexpr std::string_view Ac3Insert = "/AC3";
// The choice file is one short line; a larger file is not a choice file.
constexpr int64_t MaxChoiceFileBytes = 4096;

std::string languageFolder(std::string_view programDir) {
    return core::withTrailingDelim(core::joinPath(programDir, LanguageFolder));
}

// The first line of the choice file, or nothing when it is missing or cannot be read.
std::optional<std::string> choiceFileName(const std::string& choiceFile) {
    if (!core::fileExists(choiceFile))
        return std::nullopt;
    const int64_t size = core::fileSize(choiceFile);
    if (size < 0 || size > MaxChoiceFileBytes)
        return std::string();
    const auto lines = core::readLines(choiceFile);
    if (!lines)
        return std::string();
    return lines->empty() ? std::string() : lines->front();
}

} // namespace

std::string chooseLanguageFile(std::string_view programDir, std::string_view name) {
    const std::string folder = languageFolder(programDir);
    const std::string choiceFile = folder + std::string(LanguageChoiceFile);
    if (name == LanguageInUse) {
        if (const auto chosen = choiceFileName(choiceFile)) {
            if (chosen->empty() || chosen->find(core::PathDelim) != std::string::npos)
                return {};
            return folder + *chosen;
        }
    }
    std::string language(name == LanguageInUse ? DefaultLanguageCaption : name);
    if (const int mark = core::pos(AccelMark, language); mark > 0)
        language = core::deleteText(language, mark, 1);
    if (language.empty() || language.find(core::PathDelim) != std::string::npos)
        return {};
    const std::string fileName = language + std::string(LanguageExtension);
    // A choice that cannot be written only means the next start comes up in the language of before.
    const bool written = core::writeLines(choiceFile, {fileName});
    static_cast<void>(written);
    return folder + fileName;
}

LanguageLoad loadMainLanguage(std::string_view path, TextTable& captions, TextTable& messages) {
    const auto bytes = path.empty() ? std::nullopt : readLanguageFile(path);
    if (!bytes)
        return LanguageLoad::Missing;
    MainBlocks blocks = readMainBlocks(*bytes);
    if (!blocks.versionOk)
        return LanguageLoad::WrongVersion;
    for (auto& entry : blocks.captions)
        captions.set(entry.number, std::move(entry.text));
    for (auto& entry : blocks.messages)
        messages.set(entry.number, std::move(entry.text));
    return LanguageLoad::Loaded;
}

std::vector<LanguageMenuEntry> scanLanguageFiles(std::string_view programDir) {
    const std::string folder = languageFolder(programDir);
    if (core::fileExists(folder + std::string(StrayLanguageFile))) {
        // A stray file that cannot be deleted is still never listed.
        const bool deleted = core::deleteFile(folder + std::string(StrayLanguageFile));
        static_cast<void>(deleted);
    }
    std::vector<LanguageMenuEntry> entries;
    for (const auto& fileName : core::listFilesWithExt(folder, LanguageExtension)) {
        if (entries.size() >= MaxLanguageMenuItems)
            break;
        if (core::equalsIgnoreCase(fileName, StrayLanguageFile))
            continue;
        LanguageMenuEntry entry;
        entry.fileName = fileName;
        entry.caption = fileName;
        if (const int at = core::pos(UpperExtension, UpperCopy(fileName)); at > 0)
            entry.caption = core::deleteText(fileName, at, static_cast<int>(UpperExtension.size()));
        entry.complete = LangFileComplete(folder + fileName);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string delWavCaption(std::string_view text) {
    const int at = core::pos(WavMark, UpperCopy(text));
    if (at == 0)
        return std::string(text);
    std::string caption(text);
    caption.insert(static_cast<size_t>(at - 1) + WavMark.size(), Ac3Insert);
    return caption;
}

} // namespace kes
