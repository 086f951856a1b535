#pragma once

// Process-wide state of the main window's unit: the folders taken at start, the numbered text tables
// of the language file, the command line of the next outside program, the VOB table and the rip's
// abort flag. One instance each, living as long as the program.

#include "kes/vob_list.h"

#include <array>
#include <string>

namespace kes {

// A table of numbered texts, 1 to Size. Reading a number outside the table, or one the language file
// did not set, gives an empty text; setting one outside the table does nothing.
class TextTable {
public:
    static constexpr int Size = 300;

    const std::string& operator[](int number) const;
    void set(int number, std::string text);
    void clear();

private:
    std::array<std::string, Size> entries_{};
};

// The current directory when the main window was created (the program folder), without a trailing "/".
extern std::string StartDir;
// The folder where codec files are looked for: KESTROVA_SYSTEM_DIR, else "system" in the program folder.
extern std::string SystemDir;
// Always "NT/2000/XP" here; it picks the caption and the power-off form of the shutdown.
extern std::string WinFamily;

extern TextTable CaptionTable;
extern TextTable MessageTable;

// The complete command line of the next outside program that TForm1::RunExtProg runs.
extern std::string ExtCommand;

// The VOB files of the run last listed by TForm1::MakeList (0-based here), and how many are in use.
extern std::array<std::string, VobTableSize> VobTable;
extern int VobCount;

// The rip's abort flag: every rip step runs only while it is clear.
extern bool RipAborted;

} // namespace kes
