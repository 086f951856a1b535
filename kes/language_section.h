#pragma once

// Reading one block of a language file into numbered entries. The main window's caption and
// message blocks and the sections of the wizard, the synchronizer and the cover printer all go through
// the one reader below; they differ only in where reading starts, which line ends it and how many
// entries their table holds.

#include "kes/language_file.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kes {

// Which line ends a block. The ending line is read like any other line first, so an entry line that
// ends the block is still stored. An entry's number part never holds a run of dashes, so "the line
// holds the marker" and "the entry's text holds the marker" are the same test for entry lines.
enum class SectionStop {
    LineEquals,   // the line is exactly the marker
    LineContains, // the line holds the marker anywhere
};

struct SectionRules {
    // Reading starts after the first line equal to the heading; an empty heading starts at once.
    std::string_view heading;
    SectionStop stop = SectionStop::LineContains;
    std::string_view stopMarker;
    // Entries numbered outside 1..lastEntry are skipped.
    int lastEntry = 0;
};

inline constexpr std::string_view MessagesHeading = "----Messages----";
inline constexpr std::string_view WizardHeading = "----Wizard----";
inline constexpr std::string_view SynchronizerHeading = "----Synchronizer----";
inline constexpr std::string_view CoverHeading = "----Cover----";
// The message block ends at the first line holding this (the next section's heading).
inline constexpr std::string_view MessageBlockEnd = "----";
// No entry text may hold this: the window sections end at the first line that does.
inline constexpr std::string_view SectionEnd = "---";

inline constexpr int WizardTableSize = 100;
inline constexpr int SynchronizerTableSize = 300;
inline constexpr int CoverTableSize = 62;

// The caption block follows the version line and ends after "----Messages----".
inline constexpr SectionRules CaptionBlock{{}, SectionStop::LineEquals, MessagesHeading, MainTableSize};
// The message block follows the caption block and ends after the first line holding "----".
inline constexpr SectionRules MessageBlock{{}, SectionStop::LineContains, MessageBlockEnd, MainTableSize};
inline constexpr SectionRules WizardSection{WizardHeading, SectionStop::LineContains, SectionEnd,
                                            WizardTableSize};
inline constexpr SectionRules SynchronizerSection{SynchronizerHeading, SectionStop::LineContains, SectionEnd,
                                                  SynchronizerTableSize};
inline constexpr SectionRules CoverSection{CoverHeading, SectionStop::LineContains, SectionEnd,
                                           CoverTableSize};

// Texts numbered 1 to size, as a window keeps its section. Numbers outside that range are refused;
// unset numbers read as "".
class SectionTable {
public:
    explicit SectionTable(int size);

    int size() const { return static_cast<int>(texts_.size()); }
    const std::string& text(int number) const;
    // False (and nothing stored) when the number is outside 1..size.
    bool set(int number, std::string text);
    // Stores every entry in range; numbers the entries do not give keep their texts.
    void apply(const std::vector<LanguageEntry>& entries);
    void clear();

private:
    std::vector<std::string> texts_;
};

struct SectionRead {
    bool started = false;               // the heading was found (always true without a heading)
    std::vector<LanguageEntry> entries; // in file order, numbers within 1..lastEntry only
    size_t next = 0;                    // index of the first line after the block
};

// Reads the block that the rules describe from lines[from] on. Lines that are not well-formed entries
// are skipped. Reading ends after the stop line or at the end of the lines.
SectionRead readSection(const std::vector<std::string_view>& lines, size_t from, const SectionRules& rules);

struct MainBlocks {
    bool versionOk = false; // line 1 is exactly the version; otherwise both lists are empty
    std::vector<LanguageEntry> captions;
    std::vector<LanguageEntry> messages;
};

// The main window's two blocks: the version line, then the caption and message entries.
MainBlocks readMainBlocks(std::string_view bytes);

// The language file that the wizard, the synchronizer and the cover printer read: the file named by the
// first line of "LANG/default.ini" in the program folder; when that choice file is missing it is created
// with "English.lng", which is then the file.
std::string sectionLanguageFile(std::string_view programDir);

// Loads a window's section from the language file that sectionLanguageFile names into its table. False,
// with the table untouched, when that file does not exist or cannot be read.
bool loadLanguageSection(std::string_view programDir, const SectionRules& rules, SectionTable& table);

} // namespace kes
