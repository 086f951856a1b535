#pragma once

// The cover printer's own section of the language file: the lines after "----Cover----", up to the
// first line that holds "---" (that line is still read). Entry lines are "#" number "=" text; entries
// 1 to 61 are captions of the window, entry 62 the message for a layout file that is too short.
// The section is read by the one language reader of the program (kes/language_section.h).

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace cover {

inline constexpr int CoverTextCount = 62;
inline constexpr int ShortLayoutMessage = 62;
// Its text when the language file has none.
inline constexpr const char* ShortLayoutText = "This file is not a valid cover layout.";

// Entries 1..CoverTextCount (index 0 unused); an entry the file does not give is empty.
using CoverTexts = std::array<std::string, CoverTextCount + 1>;

// The section of a language file's bytes (code page 1252), converted to UTF-8.
CoverTexts readCoverSection(std::string_view bytes);

// The language file of the program folder: "LANG/" + the first line of "LANG/default.ini"; when that
// file is missing it is created with "English.lng", which is then the language file.
std::string coverLanguageFile(std::string_view programDir);

// The section of the program folder's language file; nothing when that file does not exist or cannot
// be read (the window keeps its own English captions then).
std::optional<CoverTexts> loadCoverTexts(std::string_view programDir);

} // namespace cover
