#pragma once

// The AVI library's start and the handles of one job, released in the right order (streams, then
// files, then the library's end) on every path out.

#include "platform/vfw/avifile.h"

#include <string_view>

namespace tools::synchronizer {

class AviLibraryScope {
public:
    AviLibraryScope() { platform::vfw::AVIFileInit(); }
    ~AviLibraryScope() { platform::vfw::AVIFileExit(); }
    AviLibraryScope(const AviLibraryScope&) = delete;
    AviLibraryScope& operator=(const AviLibraryScope&) = delete;
};

class AviFileRef {
public:
    AviFileRef() = default;
    ~AviFileRef() { reset(); }
    AviFileRef(const AviFileRef&) = delete;
    AviFileRef& operator=(const AviFileRef&) = delete;

    platform::vfw::PAVIFILE* out() {
        reset();
        return &file_;
    }
    platform::vfw::PAVIFILE get() const { return file_; }
    void reset() {
        if (file_ != nullptr)
            platform::vfw::AVIFileRelease(file_);
        file_ = nullptr;
    }

private:
    platform::vfw::PAVIFILE file_ = nullptr;
};

class AviStreamRef {
public:
    AviStreamRef() = default;
    ~AviStreamRef() { reset(); }
    AviStreamRef(const AviStreamRef&) = delete;
    AviStreamRef& operator=(const AviStreamRef&) = delete;

    platform::vfw::PAVISTREAM* out() {
        reset();
        return &stream_;
    }
    platform::vfw::PAVISTREAM get() const { return stream_; }
    void reset() {
        if (stream_ != nullptr)
            platform::vfw::AVIStreamRelease(stream_);
        stream_ = nullptr;
    }

private:
    platform::vfw::PAVISTREAM stream_ = nullptr;
};

// Opens a file for reading; false (and no handle: the interface clears it) on failure.
inline bool openForReading(AviFileRef& file, std::string_view path) {
    return platform::vfw::AVIFileOpen(file.out(), path, platform::vfw::OF_READ) == platform::vfw::AVIERR_OK;
}

// The first stream of a type; false (and no handle) when there is none.
inline bool firstStream(AviStreamRef& stream, const AviFileRef& file, platform::vfw::DWORD type) {
    return platform::vfw::AVIFileGetStream(file.get(), stream.out(), type, 0) == platform::vfw::AVIERR_OK;
}

} // namespace tools::synchronizer
