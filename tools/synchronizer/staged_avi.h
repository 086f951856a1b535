#pragma once

// An AVI output written under a staging name in the destination's folder and moved over the
// destination only when the job decides to keep it, so that a failed job never replaces a whole file
// with a partial one. Destroying it without a commit removes the staging file.

#include <string>
#include <string_view>

namespace tools::synchronizer {

class StagedAvi {
public:
    explicit StagedAvi(std::string_view destination);
    ~StagedAvi();
    StagedAvi(const StagedAvi&) = delete;
    StagedAvi& operator=(const StagedAvi&) = delete;

    // Where the AVI writer creates the file.
    const std::string& stagingPath() const { return staging_; }
    // The destination as it resolves on disk.
    const std::string& target() const { return target_; }
    // A file stood under the destination's name when the job started.
    bool targetExisted() const { return targetExisted_; }

    // Marks the written file as interleaved: bytes 01 00 at offset 45, the second and third byte of
    // the main header's flags (the interleaved flag set, flag bits 9 to 23 cleared). False when the
    // staging file is missing (the writer could not complete it) or cannot be patched.
    bool markInterleaved();
    // Moves the staging file over the destination in one step. False, with the destination as it was,
    // when the staging file is missing or cannot be moved.
    bool commit();
    // Removes the staging file; false when it stays on disk.
    bool discard();

private:
    std::string target_;
    std::string staging_;
    bool targetExisted_ = false;
    bool done_ = false;
};

// How a job ended, for what becomes of its staged output.
enum class JobEnd {
    Complete, // kept
    Stopped,  // cut short: kept only when no file stood under the name
    Failed,   // discarded
};

struct OutputFate {
    bool kept = false;         // the output stands under the destination's name
    bool commitFailed = false; // a complete or stopped output could not be stored
};

// Call after the AVI writer released the staging file; `markAsInterleaved` patches a kept file's flags.
OutputFate finishStaged(StagedAvi& staged, JobEnd end, bool markAsInterleaved);

} // namespace tools::synchronizer
