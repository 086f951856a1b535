#pragma once

// Owners of the AVI file interface's handles for the muxer and the clip appender, so that every way out
// of a job releases what it opened: the library itself, read streams and files, a target file written
// under a work name that replaces the target only when it is complete, and a source file renamed for
// the length of a job.

#include "platform/vfw/vfw.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tools::muxer {

namespace vfw = platform::vfw;

// AVIFileInit for its lifetime.
class AviLibrary {
public:
    AviLibrary() { vfw::AVIFileInit(); }
    ~AviLibrary() { vfw::AVIFileExit(); }
    AviLibrary(const AviLibrary&) = delete;
    AviLibrary& operator=(const AviLibrary&) = delete;
};

class StreamRef {
public:
    StreamRef() = default;
    ~StreamRef() { reset(); }
    StreamRef(const StreamRef&) = delete;
    StreamRef& operator=(const StreamRef&) = delete;
    vfw::PAVISTREAM get() const { return stream_; }
    vfw::PAVISTREAM* out() {
        reset();
        return &stream_;
    }
    explicit operator bool() const { return stream_ != nullptr; }
    void reset();

private:
    vfw::PAVISTREAM stream_ = nullptr;
};

class FileRef {
public:
    FileRef() = default;
    ~FileRef() { reset(); }
    FileRef(const FileRef&) = delete;
    FileRef& operator=(const FileRef&) = delete;
    vfw::PAVIFILE get() const { return file_; }
    vfw::PAVIFILE* out() {
        reset();
        return &file_;
    }
    explicit operator bool() const { return file_ != nullptr; }
    void reset();

private:
    vfw::PAVIFILE file_ = nullptr;
};

// A new AVI file for a target path. It is written under a work name in the target's folder; commit()
// completes it, sets the interleaved flag of its main header and puts it in the target's place.
// Without commit (a failed job) the work file is removed and the target stays as it was.
class AviTarget {
public:
    AviTarget() = default;
    ~AviTarget() { discard(); }
    AviTarget(const AviTarget&) = delete;
    AviTarget& operator=(const AviTarget&) = delete;

    // False when the work file cannot be created.
    bool create(const std::string& target);
    bool created() const { return static_cast<bool>(file_); }
    // Streams in creation order: the first is the video, the second the audio.
    vfw::HRESULT createStream(const vfw::AVISTREAMINFO& info, StreamRef& stream);
    // A stream with its format set; false when either step fails.
    bool createStream(const vfw::AVISTREAMINFO& info, const std::vector<uint8_t>& format, StreamRef& stream);
    vfw::PAVIFILE file() const { return file_.get(); }

    // Releases the given streams and the file, then replaces the target. False when the file could not
    // be stored completely; the target then stays as it was.
    bool commit(StreamRef& video, StreamRef& audio);
    // Releases the file and removes the work file.
    void discard();

    const std::string& workPath() const { return work_; }

private:
    std::string target_;
    std::string work_;
    FileRef file_;
};

// The byte of the main AVI header's flags that holds the interleaved flag, and what is stored there.
inline constexpr long long InterleaveFlagOffset = 45;
inline constexpr unsigned InterleaveFlagBytes = 0x0001; // bytes 01 00
// Marks a finished AVI file as interleaved; false when the file is no AVI file or cannot be written.
bool setInterleavedFlag(const std::string& path);

// A second name in the file's own folder for the length of a job (the name under which the job opens
// the file), removed by restore() or at the latest by the destructor. The file keeps its own name the
// whole time, so a program killed during the job leaves the user's file where it was (at most with the
// extra name beside it). When the second name cannot be made (it is taken, or the file system has no
// links) the file is used under its own name.
class TemporaryName {
public:
    TemporaryName(const std::string& path, const std::string& otherName);
    ~TemporaryName() { restore(); }
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;

    // The name under which the job opens the file.
    const std::string& current() const { return current_; }
    // Removes the second name; false when that failed (the extra name stays).
    bool restore();

private:
    std::string original_;
    std::string current_;
    bool linked_ = false;
};

} // namespace tools::muxer
