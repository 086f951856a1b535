#pragma once

// A file written by positioned writes into a temporary file beside its target, renamed over the target
// when it is committed; destroyed without a commit it leaves the target as it was.

#include "platform/core/temporary_files.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace platform::dshow::filters {

class PositionedFile {
public:
    // target: the path as resolved (without regard to case) by the caller.
    explicit PositionedFile(std::string target);
    ~PositionedFile();
    PositionedFile(const PositionedFile&) = delete;
    PositionedFile& operator=(const PositionedFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    bool write(int64_t offset, std::span<const uint8_t> bytes);
    // Closes the file and renames it over the target; false (target untouched) on any failure so far.
    bool commit();
    const std::string& target() const { return target_; }

private:
    std::string target_;
    std::string temp_;
    std::unique_ptr<platform::core::TemporaryFile> held_; // removed should the program be ended meanwhile
    int fd_ = -1;
    bool failed_ = false;
};

} // namespace platform::dshow::filters
