#pragma once

// The run of VOB files of a DVD title and its list file "vob.lst": one path per line, CR LF after
// every line, the first VOB first. Window-free: the main window turns the outcome into its boxes.

#include <string>
#include <string_view>
#include <vector>

namespace kes {

// The VOB table holds at most this many files; a longer run stops there.
inline constexpr int VobTableSize = 16;
inline constexpr std::string_view VobListName = "vob.lst";

struct VobRun {
    bool firstMissing = false;      // the first VOB does not exist: nothing else was looked at
    std::vector<std::string> files; // the run in order; the first as given, the others as on disk
    std::vector<std::string> inUse; // files of the run that another program holds
    bool truncated = false;         // the run went on beyond VobTableSize files
};

// Finds the run that starts with firstVob: the digits just before the file name's ".VOB" extension
// (any case) are counted up, keeping their width, and each next name ("prefix" + number + ".vob") is
// looked up without regard to case until one is missing. A name without that extension is a run of one.
VobRun findVobRun(std::string_view firstVob);

// The decimal digit text plus one, keeping its width unless it overflows ("08" -> "09", "99" -> "100",
// "" -> "1").
std::string nextNumberText(std::string_view digits);

// Where the list of a first-VOB text goes: its folder part as it stands, then "vob.lst".
std::string vobListPath(std::string_view vobfileText);

// The bytes of the list file: each path (in short form when shortForm is set) and CR LF.
std::string vobListBytes(const std::vector<std::string>& files, bool shortForm);

// The short form of a path; this platform has no 8.3 names, so the path comes back as it is.
std::string ShortPath(std::string_view path);

// True when the file exists and another process holds a lock on it; a missing file is not in use.
bool FileInUse(std::string_view path);

} // namespace kes
