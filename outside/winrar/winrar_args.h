#pragma once

// The archiver's command line: "a [-ep] archive[.rar] file..." ("--" ends the switches), and the name
// a file is stored under.

#include <optional>
#include <string>
#include <vector>

namespace outside::winrar {

struct Arguments {
    bool excludePaths = false; // -ep: the folders are left out of the stored names
    std::string archive;       // ".rar" added when it has no extension
    std::vector<std::string> files;
};

// The words after the program name, the command first. Nothing, with error set, for another command,
// an unknown switch, or a line without archive or files.
std::optional<Arguments> parseArguments(const std::vector<std::string>& words, std::string& error);

// The stored name of a file: without its folders with -ep; otherwise the path as given, without a
// leading "/" and without "." and ".." parts, so that extraction stays inside its folder.
std::string storedName(const std::string& path, bool excludePaths);

} // namespace outside::winrar
