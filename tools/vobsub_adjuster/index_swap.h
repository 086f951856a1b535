#pragma once

// The preview's swap of the two indexes: while the movie plays, the adjusted index stands under the
// index's name (so the auto-loading subtitle filter shows it) and the index waits as "_$TMP.idx" in the
// same folder; afterwards both go back.
//
// Neither index is ever lost or overwritten: every step is a rename that refuses an existing target,
// and a note "_$TMP.idx.owner" beside the parked index names the index it belongs to, so that a swap cut
// short by a crash or a kill at any point is undone by restoreIndexes() (the adjuster runs it when an
// index is chosen and on its timer) without mixing up two indexes of the same folder.

#include <string>

namespace tools::vobsub_adjuster {

inline constexpr const char* ParkedIndexName = "_$TMP.idx";
inline constexpr const char* ParkedOwnerName = "_$TMP.idx.owner";

enum class SwapResult {
    Swapped,    // the adjusted index now stands under the index's name
    NoAdjusted, // there is no adjusted index: nothing was changed
    Failed,     // a rename failed: everything is as it was
};

SwapResult swapInAdjustedIndex(const std::string& indexPath);

enum class RestoreResult {
    NothingParked, // no parked index in the folder
    Restored,      // both indexes are back under their own names
    Conflict,      // the parked index cannot go back without overwriting a file: left as it is
};

// Puts a parked index of the folder (and the adjusted index it stood in for) back under their names.
RestoreResult restoreIndexes(const std::string& folder);

} // namespace tools::vobsub_adjuster
