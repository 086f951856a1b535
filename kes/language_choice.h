#pragma once

// Choosing the main window's language: the file that a language name stands for, the choice file
// "LANG/default.ini" that keeps it for the next start, the files the language menu lists, and the
// loading of the caption and message blocks into the main window's tables.

#include "kes/form1_unit.h"

#include <string>
#include <string_view>
#include <vector>

namespace kes {

// The name that loads the language in use (the one the choice file names).
inline constexpr std::string_view LanguageInUse = "DEF";
// The menu has this many items; further language files are not listed.
inline constexpr size_t MaxLanguageMenuItems = 15;
// A stray file of this name in "LANG" is deleted before the files are listed.
inline constexpr std::string_view StrayLanguageFile = "default.lng";

// The language file for a name. "DEF" with a choice file gives the file its first line names. Any
// other name, and "DEF" without a choice file (which stands for "English"), loses its first "&" (the
// accelerator of a menu caption); the choice file is rewritten with that name + ".lng", which is the
// file. The result is a path under programDir + "LANG/", or empty when the choice file names no file
// of that folder (an empty line, or a name with a folder part).
std::string chooseLanguageFile(std::string_view programDir, std::string_view name);

// What loading a language file into the tables came to.
enum class LanguageLoad {
    Loaded,
    Missing,      // no such file, or it cannot be read
    WrongVersion, // line 1 is not the version: nothing was stored
};

// Reads the caption and message blocks of a language file into the two tables. Entries the file does
// not set keep their texts; malformed entry lines and numbers outside the tables are skipped.
LanguageLoad loadMainLanguage(std::string_view path, TextTable& captions, TextTable& messages);

struct LanguageMenuEntry {
    std::string fileName; // with its extension
    std::string caption;  // the name without ".lng"
    bool complete = false;
};

// The language files of programDir + "LANG/" for the menu, sorted by name, at most
// MaxLanguageMenuItems of them; a stray "default.lng" is deleted first and never listed.
std::vector<LanguageMenuEntry> scanLanguageFiles(std::string_view programDir);

// The caption of the delete-WAV step: "/AC3" inserted right after the first "WAV" (any case) of the
// text; a text without "WAV" stays as it is.
std::string delWavCaption(std::string_view text);

} // namespace kes
