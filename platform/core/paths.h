#pragma once

// Path texts and their resolution on a case-sensitive file system.

#include <string>
#include <string_view>

namespace platform::core {

inline constexpr char PathDelim = '/';

// The folder part of a path up to and including its last delimiter ("" when there is none).
std::string extractFilePath(std::string_view path);
// The part after the last delimiter.
std::string extractFileName(std::string_view path);
// The extension of the file name including its dot ("" when the file name has no dot).
// Only the file name is searched: a dot in a folder name is no extension.
std::string extractFileExt(std::string_view path);
// The path with the file name's extension replaced by ext (which carries its dot, or is empty);
// a file name without a dot gets ext appended.
std::string changeFileExt(std::string_view path, std::string_view ext);
// The path with text inserted before the last dot of the file name (appended when it has none).
std::string insertBeforeExt(std::string_view path, std::string_view text);
// Joins a folder and a name with exactly one delimiter between them.
std::string joinPath(std::string_view folder, std::string_view name);
// The folder with a trailing delimiter added when it has none.
std::string withTrailingDelim(std::string_view folder);

// Resolves a path without regard to case, one component at a time: each component is taken as it
// stands when it exists, otherwise the single entry of that folder that matches it ignoring ASCII
// case (the first by name when several do). Components from the first that does not exist on stay as
// given, so the result names a new file with the spelling the caller chose. Relative paths are
// resolved against the current directory and stay relative.
std::string resolvePath(std::string_view path);

// The process's current directory, without a trailing delimiter ("/" for the root).
std::string currentDir();
// Changes the current directory (resolved without regard to case); false when it cannot.
bool setCurrentDir(std::string_view dir);

} // namespace platform::core
