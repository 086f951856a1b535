// "winrar.exe": the archiver's "a" command, which creates a RAR 4 archive with the files stored or
// adds them to an existing one ("-ep" leaves the folders out of the stored names). The archive is
// written to a temporary file and renamed when whole.
#include "outside/rar/rar_writer.h"
#include "outside/winrar/winrar_args.h"

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
using outside::winrar::Arguments;
using outside::winrar::parseArguments;
using outside::winrar::storedName;

constexpr int ExitUsage = 2;
constexpr int ExitFailed = 1;
constexpr mode_t PermissionBits = 07777;
constexpr const char* Usage = "usage: winrar.exe a [-ep] archive[.rar] file...";

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "winrar.exe: %s\n", message.c_str());
    return code;
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
    std::string error;
    const std::optional<Arguments> args =
        parseArguments(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!args)
        return fail(ExitUsage, error + "\n" + Usage);
    return addFiles(*args);
}
