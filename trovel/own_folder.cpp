#include "trovel/own_folder.h"

#include "platform/core/paths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <system_error>

namespace trovel {

namespace {

std::string absoluteFolderOf(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error)
        absolute = path;
    return platform::core::withTrailingDelim(absolute.lexically_normal().parent_path().string());
}

// The first PATH entry that holds an executable of that name.
std::string findInPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (!path)
        return {};
    std::istringstream entries(path);
    std::string folder;
    while (std::getline(entries, folder, ':')) {
        const std::string candidate = platform::core::joinPath(folder.empty() ? "." : folder, name);
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// The program file as the kernel knows it (links resolved): the last resort.
std::string runningProgram() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.string();
}

} // namespace

std::string ownFolder(const char* argv0) {
    const std::string given = argv0 ? argv0 : "";
    if (given.find(platform::core::PathDelim) != std::string::npos)
        return absoluteFolderOf(given);
    if (const std::string found = given.empty() ? std::string() : findInPath(given); !found.empty())
        return absoluteFolderOf(found);
    const std::string exe = runningProgram();
    return exe.empty() ? platform::core::withTrailingDelim(platform::core::currentDir())
                       : absoluteFolderOf(exe);
}

} // namespace trovel
