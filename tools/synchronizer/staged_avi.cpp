// Staging of an AVI output beside its destination.
#include "tools/synchronizer/staged_avi.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <filesystem>
#include <system_error>

namespace tools::synchronizer {

namespace core = platform::core;

namespace {

// Offset of the second byte of the main AVI header's flags, and the value of that byte and the next.
constexpr int64_t InterleaveFlagsOffset = 45;
constexpr uint16_t InterleaveFlagsValue = 0x0001;
// A hidden name beside the destination; the AVI writer adds its own temporary name under it.
constexpr char StagingPrefix[] = ".";
constexpr char StagingSuffix[] = ".kes-partial";

} // namespace

StagedAvi::StagedAvi(std::string_view destination) {
    target_ = core::resolvePath(destination);
    targetExisted_ = core::fileExists(target_);
    staging_ =
        core::extractFilePath(target_) + StagingPrefix + core::extractFileName(target_) + StagingSuffix;
}

StagedAvi::~StagedAvi() {
    // A destructor cannot report: a staging file that cannot be removed stays hidden beside an
    // untouched destination.
    static_cast<void>(discard());
}

bool StagedAvi::markInterleaved() {
    return core::fileExists(staging_) &&
           core::patchLE16(staging_, InterleaveFlagsOffset, InterleaveFlagsValue);
}

bool StagedAvi::commit() {
    if (done_ || !core::fileExists(staging_))
        return false;
    // rename(2) replaces the destination in one step; the core helper refuses an existing target.
    std::error_code error;
    std::filesystem::rename(staging_, target_, error);
    if (error)
        return false;
    done_ = true;
    return true;
}

bool StagedAvi::discard() {
    if (done_)
        return true;
    done_ = true;
    return !core::fileExists(staging_) || core::deleteFile(staging_);
}

OutputFate finishStaged(StagedAvi& staged, JobEnd end, bool markAsInterleaved) {
    OutputFate fate;
    const bool keep = end == JobEnd::Complete || (end == JobEnd::Stopped && !staged.targetExisted());
    if (!keep) {
        static_cast<void>(staged.discard()); // the staging name is hidden; the destination is untouched
        return fate;
    }
    if ((markAsInterleaved && !staged.markInterleaved()) || !staged.commit()) {
        fate.commitFailed = true;
        static_cast<void>(staged.discard());
        return fate;
    }
    fate.kept = true;
    return fate;
}

} // namespace tools::synchronizer
