#pragma once

// Language files ("LANG/*.lng"): code page 1252 text, the version line "1.24", then blocks of numbered
// entries "#" number "=" text, each block or window section opened by a heading line "----Name----".
// This file holds the plain parsing: lines, entry lines and the completeness count. Which lines each
// window reads, and the tables it keeps them in, are the business of language_section.h.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kes {

inline constexpr std::string_view LanguageVersion = "1.24";
inline constexpr std::string_view LanguageFolder = "LANG";
inline constexpr std::string_view LanguageExtension = ".lng";
inline constexpr std::string_view DefaultLanguageName = "English.lng";
inline constexpr std::string_view LanguageChoiceFile = "default.ini";
// A complete language file holds exactly this many entry lines in all its blocks together.
inline constexpr int CompleteEntryCount = 399;
// Size of the main window's caption and message tables.
inline constexpr int MainTableSize = 300;
// Language files are a few kilobytes; anything far beyond that is not read at all.
inline constexpr int64_t MaxLanguageFileBytes = 4 * 1024 * 1024;

inline constexpr char EntryMark = '#';
inline constexpr char EntrySeparator = '=';

// One numbered entry: the number between "#" and the first "=", and everything after that "="
// (blanks included), converted from code page 1252 to UTF-8.
struct LanguageEntry {
    int number = 0;
    std::string text;
};

// The lines of a file, split at CR LF, LF or a lone CR; a last line without a line end is kept.
std::vector<std::string_view> splitLanguageLines(std::string_view bytes);

// A line that counts as an entry line for completeness: not empty and beginning with "#".
bool beginsWithEntryMark(std::string_view line);

// The entry of a line that is at least two characters long, begins with "#" and holds a whole number
// before its first "=". Any other line (text, headings, a "#" line without "=" or without a number)
// gives nothing: such lines are skipped, never fatal.
std::optional<LanguageEntry> parseEntryLine(std::string_view line);

// The number of entry lines (beginsWithEntryMark) of a file's bytes.
int countEntryLines(std::string_view bytes);

// The bytes of a language file, or nothing when it is missing, unreadable or larger than
// MaxLanguageFileBytes.
std::optional<std::string> readLanguageFile(std::string_view path);

// True when the file can be read and holds exactly CompleteEntryCount entry lines.
bool LangFileComplete(std::string_view path);

} // namespace kes
