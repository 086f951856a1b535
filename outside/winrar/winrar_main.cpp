// "winrar.exe": the archiver's "a" command, which creates a RAR 4 archive with the files stored or
// adds them to an existing one ("-ep" leaves the folders out of the stored names). The archive is
// written to a temporary file and renamed when whole.
#include "outside/rar/rar_writer.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <sys/stat.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace rar = outside::rar;
namespace core = platform::core;

constexpr int ExitUsage = 2;
constexpr int ExitFailed = 1;
constexpr mode_t PermissionBits = 07777;
constexpr const char* Usage = "usage: winrar.exe a [-ep] archive[.rar] file...";

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "winrar.exe: %s\n", message.c_str());
    return code;
}

// The stored name of a file: without its folders with -ep; otherwise the path as given, without a
// leading "/" and without "." and ".." parts, so that extraction stays inside its folder.
std::string storedName(const std::string& path, bool excludePaths) {
    if (excludePaths)
        return core::extractFileName(path);
    std::string name;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, end - start);
        if (!part.empty() && part != "." && part != "..")
            name += (name.empty() ? "" : "/") + part;
        start = end + 1;
    }
    return name;
}

struct Arguments {
    bool excludePaths = false;
    std::string archive;
    std::vector<std::string> files;
};

std::optional<Arguments> parseArguments(int argc, char** argv, std::string& error) {
    Arguments args;
    bool switches = true;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (switches && arg == "--") {
            switches = false;
        } else if (switches && arg.size() > 1 && arg[0] == '-') {
            if (arg != "-ep" && arg != "-EP") {
                error = "unknown switch " + arg;
                return std::nullopt;
            }
            args.excludePaths = true;
        } else if (args.archive.empty()) {
            args.archive = arg;
        } else {
            args.files.push_back(arg);
        }
    }
    if (args.archive.empty() || args.files.empty()) {
        error = args.archive.empty() ? "no archive named" : "no files to add";
        return std::nullopt;
    }
    if (core::extractFileExt(args.archive).empty())
        args.archive += ".rar";
    return args;
}

std::optional<rar::RarInput> readInput(const std::string& path, bool excludePaths, std::string& error) {
    const std::string resolved = core::resolvePath(path);
    struct stat info {};
    if (::stat(resolved.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "cannot open " + path + (::stat(resolved.c_str(), &info) == 0 ? " (not a file)" : "");
        return std::nullopt;
    }
    std::optional<std::string> data = core::readFile(resolved);
    if (!data) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    rar::RarInput input;
    input.name = storedName(path, excludePaths);
    if (input.name.empty()) {
        error = "no name to store for " + path;
        return std::nullopt;
    }
    input.data = std::move(*data);
    input.dosTime = rar::dosTimeOf(info.st_mtime);
    input.mode = info.st_mode & PermissionBits;
    return input;
}

int addFiles(const Arguments& args) {
    std::vector<rar::RarInput> inputs;
    for (const std::string& file : args.files) {
        if (core::fileExists(args.archive) && core::sameFile(file, args.archive))
            return fail(ExitFailed, "cannot add the archive " + args.archive + " to itself");
        std::string error;
        std::optional<rar::RarInput> input = readInput(file, args.excludePaths, error);
        if (!input)
            return fail(ExitFailed, error + "; the archive is left as it was");
        inputs.push_back(std::move(*input));
    }
    std::optional<std::string> existing;
    if (core::fileExists(args.archive)) {
        existing = core::readFile(args.archive);
        if (!existing)
            return fail(ExitFailed, "cannot read the archive " + args.archive);
    }
    std::string bytes;
    try {
        bytes =
            rar::buildArchive(existing ? std::optional<std::string_view>(*existing) : std::nullopt, inputs);
    } catch (const rar::RarError& e) {
        return fail(ExitFailed, args.archive + ": " + e.what());
    }
    if (!core::writeFileAtomic(args.archive, bytes))
        return fail(ExitFailed, "cannot write the archive " + args.archive);
    std::printf("%s archive %s\n", existing ? "Updating" : "Creating", args.archive.c_str());
    for (const rar::RarInput& input : inputs)
        std::printf("Adding    %s    OK\n", input.name.c_str());
    std::printf("Done\n");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return fail(ExitUsage, Usage);
    const std::string command = argv[1];
    if (command != "a" && command != "A")
        return fail(ExitUsage,
                    "unknown command " + command + " (only \"a\", add files, is supported)\n" + Usage);
    std::string error;
    const std::optional<Arguments> args = parseArguments(argc, argv, error);
    if (!args)
        return fail(ExitUsage, error + "\n" + Usage);
    return addFiles(*args);
}
