// "rundll32.exe library,Entry arguments": loads the library named before the comma from the current
// folder or the system folder (a shared object under its Windows name) and calls its entry with the
// rest of the command line. The exit status is the entry's result.
#include "outside/rundll32/rundll_entry.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

namespace core = platform::core;

constexpr int ExitUsage = 2;
constexpr int ExitFailed = 1;
constexpr int ShowNormal = 1;

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "rundll32.exe: %s\n", message.c_str());
    return code;
}

// The system folder: KESTROVA_SYSTEM_DIR, or system/ in the program folder above this program's
// extern/ folder.
std::string systemFolder() {
    if (const char* dir = std::getenv("KESTROVA_SYSTEM_DIR"); dir && *dir)
        return dir;
    std::array<char, 4096> self{};
    const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (n <= 0)
        return {};
    const std::string externDir = core::extractFilePath(std::string(self.data(), static_cast<size_t>(n)));
    const std::string programDir = core::extractFilePath(externDir.substr(0, externDir.size() - 1));
    return core::joinPath(programDir, "system");
}

// The library's file: a name with a folder as it stands; a bare name from the current folder, then
// from the system folder.
std::string findLibrary(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return core::fileExists(name) ? core::resolvePath(name) : std::string();
    for (const std::string& folder : {core::currentDir(), systemFolder()}) {
        if (folder.empty())
            continue;
        const std::string path = core::joinPath(folder, name);
        if (core::fileExists(path))
            return core::resolvePath(path);
    }
    return {};
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return fail(ExitUsage, "usage: rundll32.exe library,entry [arguments]");
    const std::string target = argv[1];
    const size_t comma = target.find(',');
    if (comma == std::string::npos || comma == 0 || comma + 1 == target.size())
        return fail(ExitUsage, "\"" + target + "\" does not name a library and its entry (library,entry)");
    const std::string name = target.substr(0, comma);
    const std::string entryName = target.substr(comma + 1);
    std::string arguments;
    for (int i = 2; i < argc; ++i)
        arguments += (i > 2 ? " " : "") + std::string(argv[i]);

    const std::string path = findLibrary(name);
    if (path.empty())
        return fail(ExitFailed, "cannot find " + name + " in the current folder or the system folder");
    void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return fail(ExitFailed, "cannot load " + path + ": " + ::dlerror());
    // As on the original platform, the ANSI form of the entry ("EntryA") stands in for a missing one.
    void* symbol = ::dlsym(library, entryName.c_str());
    if (!symbol)
        symbol = ::dlsym(library, (entryName + "A").c_str());
    if (!symbol) {
        ::dlclose(library);
        return fail(ExitFailed, path + " has no entry " + entryName);
    }
    const auto entry = reinterpret_cast<RundllEntry>(symbol);
    const int status = entry(nullptr, library, arguments.c_str(), ShowNormal);
    std::fflush(stdout);
    ::dlclose(library);
    return status;
}
