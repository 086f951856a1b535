#include "platform/core/paths.h"

#include "platform/core/text.h"

#include <cerrno>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform::core {

namespace {

size_t lastDelim(std::string_view path) {
    return path.rfind(PathDelim);
}

// The index of the dot that starts the file name's extension, or npos.
size_t extensionDot(std::string_view path) {
    const size_t delim = lastDelim(path);
    const size_t nameStart = delim == std::string_view::npos ? 0 : delim + 1;
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < nameStart)
        return std::string_view::npos;
    return dot;
}

bool entryExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

struct DirCloser {
    void operator()(DIR* dir) const {
        if (dir)
            closedir(dir);
    }
};

// The entry of folder that matches name ignoring ASCII case (the first by byte order when several
// do), or "" when none does or the folder cannot be read.
std::string findIgnoringCase(const std::string& folder, std::string_view name) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir)
        return {};
    std::string best;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view candidate(entry->d_name);
        if (candidate == "." || candidate == "..")
            continue;
        if (equalsIgnoreCase(candidate, name) && (best.empty() || candidate < best))
            best = candidate;
    }
    return best;
}

} // namespace

std::string extractFilePath(std::string_view path) {
    const size_t delim = lastDelim(path);
    return delim == std::string_view::npos ? std::string() : std::string(path.substr(0, delim + 1));
}

std::string extractFileName(std::string_view path) {
    const size_t delim = lastDelim(path);
    return std::string(delim == std::string_view::npos ? path : path.substr(delim + 1));
}

std::string extractFileExt(std::string_view path) {
    const size_t dot = extensionDot(path);
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string changeFileExt(std::string_view path, std::string_view ext) {
    const size_t dot = extensionDot(path);
    std::string out(dot == std::string_view::npos ? path : path.substr(0, dot));
    out += ext;
    return out;
}

std::string insertBeforeExt(std::string_view path, std::string_view text) {
    const size_t dot = extensionDot(path);
    if (dot == std::string_view::npos)
        return std::string(path) + std::string(text);
    std::string out(path.substr(0, dot));
    out += text;
    out += path.substr(dot);
    return out;
}

std::string joinPath(std::string_view folder, std::string_view name) {
    if (folder.empty())
        return std::string(name);
    while (!name.empty() && name.front() == PathDelim)
        name.remove_prefix(1);
    return withTrailingDelim(folder) + std::string(name);
}

std::string withTrailingDelim(std::string_view folder) {
    std::string out(folder);
    if (out.empty() || out.back() != PathDelim)
        out.push_back(PathDelim);
    return out;
}

std::string resolvePath(std::string_view path) {
    if (path.empty())
        return {};
    const bool absolute = path.front() == PathDelim;
    std::string out = absolute ? std::string(1, PathDelim) : std::string();
    // `probe` is the path as resolved so far, usable for file system calls ("" stands for ".").
    bool missing = false;
    size_t start = absolute ? 1 : 0;
    while (start <= path.size()) {
        size_t end = path.find(PathDelim, start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view component = path.substr(start, end - start);
        const bool last = end == path.size();
        if (!component.empty()) {
            std::string chosen(component);
            if (!missing && component != "." && component != "..") {
                const std::string exact = out + chosen;
                if (!entryExists(exact)) {
                    const std::string match = findIgnoringCase(out, component);
                    if (match.empty())
                        missing = true;
                    else
                        chosen = match;
                }
            }
            out += chosen;
            if (!last)
                out.push_back(PathDelim);
        } else if (last && !out.empty() && out.back() != PathDelim) {
            out.push_back(PathDelim); // keeps a trailing delimiter the caller gave
        }
        start = end + 1;
    }
    return out;
}

std::string currentDir() {
    std::vector<char> buf(4096);
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (getcwd(buf.data(), buf.size()))
            return std::string(buf.data());
        if (errno != ERANGE)
            return {};
        buf.resize(buf.size() * 2);
    }
    return {};
}

bool setCurrentDir(std::string_view dir) {
    if (dir.empty())
        return false;
    return chdir(resolvePath(dir).c_str()) == 0;
}

} // namespace platform::core
