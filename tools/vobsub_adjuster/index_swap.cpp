#include "tools/vobsub_adjuster/index_swap.h"

#include "tools/vobsub_adjuster/idx_index.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

namespace tools::vobsub_adjuster {

namespace core = platform::core;

namespace {

std::string inFolder(const std::string& folder, const std::string& name) {
    return core::joinPath(folder, name);
}

// The index a parked index belongs to, from its note; empty when there is no usable note.
std::string ownerOf(const std::string& folder) {
    const auto note = core::readFile(inFolder(folder, ParkedOwnerName));
    if (!note)
        return {};
    std::string name = *note;
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
        name.pop_back();
    // Only a plain file name of this folder counts.
    if (name.empty() || name.find('/') != std::string::npos || name == ParkedIndexName)
        return {};
    return name;
}

} // namespace

SwapResult swapInAdjustedIndex(const std::string& indexPath) {
    const std::string folder = core::extractFilePath(indexPath);
    const std::string adjusted = adjustedIndexPath(indexPath);
    const std::string parked = inFolder(folder, ParkedIndexName);
    const std::string owner = inFolder(folder, ParkedOwnerName);
    if (!core::fileExists(adjusted))
        return SwapResult::NoAdjusted;
    if (core::fileExists(parked) || !core::fileExists(indexPath))
        return SwapResult::Failed;
    // The note first: from here on every state can be undone.
    if (!core::writeFileAtomic(owner, core::extractFileName(indexPath) + "\n"))
        return SwapResult::Failed;
    if (!core::renameFile(indexPath, parked)) {
        core::deleteFile(owner);
        return SwapResult::Failed;
    }
    if (!core::renameFile(adjusted, indexPath)) {
        core::renameFile(parked, indexPath);
        core::deleteFile(owner);
        return SwapResult::Failed;
    }
    return SwapResult::Swapped;
}

RestoreResult restoreIndexes(const std::string& folder) {
    const std::string parked = inFolder(folder, ParkedIndexName);
    const std::string owner = inFolder(folder, ParkedOwnerName);
    if (!core::fileExists(parked)) {
        core::deleteFile(owner); // a note left from a swap that never began
        return RestoreResult::NothingParked;
    }
    const std::string name = ownerOf(folder);
    if (name.empty())
        return RestoreResult::Conflict; // whose index it is cannot be told: keep it
    const std::string index = inFolder(folder, name);
    const std::string adjusted = adjustedIndexPath(index);
    // The adjusted index goes back to its own name first, then the parked one takes the index's name.
    if (core::fileExists(index)) {
        if (core::fileExists(adjusted) || !core::renameFile(index, adjusted))
            return RestoreResult::Conflict;
    }
    if (!core::renameFile(parked, index))
        return RestoreResult::Conflict;
    core::deleteFile(owner);
    return RestoreResult::Restored;
}

} // namespace tools::vobsub_adjuster
