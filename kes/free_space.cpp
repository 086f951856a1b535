#include "kes/free_space.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"

namespace kes {

namespace core = platform::core;

namespace {

constexpr long double BytesPerMb = 1024.0L * 1024.0L;
constexpr long double BytesPerGb = BytesPerMb * 1024.0L;
constexpr int MaxFolderSteps = 4096; // bounds the walk up a path

std::string mb(uint64_t bytes, int decimals) {
    return core::formatFixed(static_cast<long double>(bytes) / BytesPerMb, decimals);
}
std::string gb(uint64_t bytes) {
    return core::formatFixed(static_cast<long double>(bytes) / BytesPerGb, 2);
}

// The path itself when it exists, else its nearest existing parent folder ("." for a bare name).
std::string nearestExisting(std::string_view path) {
    std::string current(path);
    for (int step = 0; step < MaxFolderSteps && !current.empty(); ++step) {
        if (core::fileExists(current) || core::directoryExists(current))
            return current;
        while (current.size() > 1 && current.back() == core::PathDelim)
            current.pop_back();
        const size_t delim = current.rfind(core::PathDelim);
        if (delim == std::string::npos)
            return ".";
        current = delim == 0 ? std::string(1, core::PathDelim) : current.substr(0, delim);
    }
    return ".";
}

} // namespace

std::string fixedDrivesText(const std::vector<core::Volume>& volumes, std::string_view freeLabel,
                            std::string_view totalLabel) {
    std::string text;
    for (const auto& volume : volumes) {
        text += volume.mountPoint + " -> " + mb(volume.freeBytes, 1) + std::string(freeLabel) + " (" +
                gb(volume.freeBytes) + " Gb) " + std::string(totalLabel) + gb(volume.totalBytes) + " Gb\r\n";
    }
    return text;
}

std::string driveFreeText(const core::Volume& volume) {
    return volume.mountPoint + " => " + mb(volume.freeBytes, 2) + " Mb ";
}

std::string DriveFreeText(std::string_view path) {
    if (auto volume = core::volumeOf(nearestExisting(path)))
        return driveFreeText(*volume);
    core::Volume unknown;
    unknown.mountPoint = "?";
    return driveFreeText(unknown);
}

} // namespace kes
