#pragma once

// Files and folders. Every name is resolved without regard to case (paths.h) before use.

#include "platform/core/temporary_files.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::core {

bool fileExists(std::string_view path);      // a file (not a folder) of that name exists
bool directoryExists(std::string_view path); // a folder of that name exists
bool createDirectory(std::string_view path); // one level, no parents; false when it fails or exists
bool deleteFile(std::string_view path);      // false when nothing was deleted
bool removeDirectory(std::string_view path); // an empty folder
// Renames a file; fails (false) when the target already exists or the source does not.
bool renameFile(std::string_view from, std::string_view to);
// Copies a file; with failIfExists an existing target is left alone and the call fails.
bool copyFile(std::string_view from, std::string_view to, bool failIfExists = true);
// The size in bytes, or -1 when the file cannot be examined.
int64_t fileSize(std::string_view path);

// Opens a regular file for reading and gives its descriptor (the caller closes it), or -1 with errno
// set. It never blocks: a FIFO without a writer, a device or a folder is refused at once, so that
// every reader that opens by name ends on a file that never ends.
int openForReading(std::string_view path);
// The same with other open flags (O_RDWR for a file patched in place); O_CREAT is not for this.
int openRegularFile(std::string_view path, int flags);

// Whole files as bytes. Only regular files are read (a pipe or a device gives nothing), and a file of
// more than maxBytes gives nothing: no file the programs read whole comes near the default.
inline constexpr int64_t MaxWholeFileBytes = int64_t{512} * 1024 * 1024;
std::optional<std::string> readFile(std::string_view path, int64_t maxBytes = MaxWholeFileBytes);
// The first maxBytes bytes of a regular file (all of a shorter one); nothing for anything else.
std::optional<std::string> readFileHead(std::string_view path, int64_t maxBytes);
// Replaces the file atomically: the bytes go to a temporary file in the same folder, which is then
// renamed over the target, so a failure never leaves a partly written file where a whole one stood.
bool writeFileAtomic(std::string_view path, std::string_view bytes);

// Line files. Reading splits at CR LF, LF or a lone CR; a last line without an end is kept, an empty
// last line after a final line end is not. Writing ends every line with CR LF (atomically).
std::optional<std::vector<std::string>> readLines(std::string_view path,
                                                  int64_t maxBytes = MaxWholeFileBytes);
bool writeLines(std::string_view path, const std::vector<std::string>& lines);
// Text split at CR LF, LF or a lone CR, as readLines splits it.
std::vector<std::string> splitLines(std::string_view bytes);

// Little-endian integers at a byte offset of an existing file; patching never truncates or extends it.
std::optional<uint32_t> readLE32(std::string_view path, int64_t offset);
std::optional<uint16_t> readLE16(std::string_view path, int64_t offset);
bool patchLE32(std::string_view path, int64_t offset, uint32_t value);
bool patchLE16(std::string_view path, int64_t offset, uint16_t value);

// Names of the entries of a folder (files and folders, without "." and ".."), sorted by name.
std::vector<std::string> listDirectory(std::string_view folder);
// Names of the files of a folder whose extension matches ext ignoring case (ext with its dot).
std::vector<std::string> listFilesWithExt(std::string_view folder, std::string_view ext);

// True when the two paths name the same file (same device and inode).
bool sameFile(std::string_view a, std::string_view b);

// An advisory-lock test: true when another process holds a lock on the file.
bool fileLocked(std::string_view path);

// A file written to a temporary name in the target's folder and renamed over the target on commit.
// Destroying it without commit removes the temporary file and leaves the target as it was.
class AtomicFile {
public:
    explicit AtomicFile(std::string_view target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    bool write(std::string_view bytes);
    // Flushes, closes and renames; false (and the target untouched) on any failure so far.
    bool commit();
    // As commit, but fails (target untouched) when the target exists by then.
    bool commitNoReplace();
    const std::string& tempPath() const { return temp_; }

private:
    bool finish(); // flushes and closes; false on any failure so far

    std::string target_;
    std::string temp_;
    std::unique_ptr<TemporaryFile> held_; // removed should the program be ended meanwhile
    int fd_ = -1;
    bool failed_ = false;
    std::int64_t written_ = 0; // bytes written so far
    std::int64_t started_ = 0; // of which handed to the disk's writeback
    static constexpr std::int64_t WritebackStep = std::int64_t{8} << 20;
};

} // namespace platform::core
