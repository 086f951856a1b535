#include "kes/vob_list.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"

namespace kes {

namespace core = platform::core;

namespace {

constexpr std::string_view VobExtUpper = ".VOB";
constexpr std::string_view NextVobExt = ".vob";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The spelling on disk of an existing file, found without regard to case.
std::string asOnDisk(const std::string& path) {
    return core::resolvePath(path);
}

} // namespace

std::string nextNumberText(std::string_view digits) {
    std::string next(digits);
    for (auto it = next.rbegin(); it != next.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return next;
        }
        *it = '0';
    }
    return "1" + next;
}

VobRun findVobRun(std::string_view firstVob) {
    VobRun run;
    const std::string first(firstVob);
    if (!core::fileExists(first)) {
        run.firstMissing = true;
        return run;
    }
    run.files.push_back(first);

    // Only the file name's own extension counts: a folder such as "my.VOBs" holds no ".VOB".
    const std::string ext = core::extractFileExt(first);
    if (core::upperAscii(ext) != VobExtUpper)
        return run;

    size_t numberEnd = first.size() - ext.size();
    size_t numberStart = numberEnd;
    while (numberStart > 0 && isDigit(first[numberStart - 1]))
        --numberStart;
    const std::string prefix = first.substr(0, numberStart);
    std::string number = first.substr(numberStart, numberEnd - numberStart);

    for (;;) {
        number = nextNumberText(number);
        const std::string candidate = prefix + number + std::string(NextVobExt);
        if (!core::fileExists(candidate))
            break;
        if (static_cast<int>(run.files.size()) == VobTableSize) {
            run.truncated = true;
            break;
        }
        const std::string onDisk = asOnDisk(candidate);
        if (FileInUse(onDisk))
            run.inUse.push_back(onDisk);
        run.files.push_back(onDisk);
    }
    return run;
}

std::string vobListPath(std::string_view vobfileText) {
    return core::extractFilePath(vobfileText) + std::string(VobListName);
}

std::string vobListBytes(const std::vector<std::string>& files, bool shortForm) {
    std::string bytes;
    for (const auto& file : files) {
        bytes += shortForm ? ShortPath(file) : file;
        bytes += "\r\n";
    }
    return bytes;
}

std::string ShortPath(std::string_view path) {
    return std::string(path);
}

bool FileInUse(std::string_view path) {
    return core::fileExists(path) && core::fileLocked(path);
}

} // namespace kes
