#pragma once

// A byte source over files read one after the other as a single stream (the VOB files of a title,
// whose packets never straddle two files), with reads at any offset.

#include "platform/dshow/filters/byte_source.h"

#include <string>
#include <vector>

namespace outside::dvd_audio {

class FileSetSource final : public platform::dshow::filters::ByteSource {
public:
    FileSetSource() = default;
    ~FileSetSource() override;
    FileSetSource(const FileSetSource&) = delete;
    FileSetSource& operator=(const FileSetSource&) = delete;

    // Opens every file; false, with error() naming the file, when one cannot be opened or is no
    // regular file.
    bool open(const std::vector<std::string>& paths);
    const std::string& error() const { return error_; }

    platform::dshow::filters::SourceRead read(int64_t offset, std::span<uint8_t> into) override;
    std::optional<int64_t> length() override { return total_; }

private:
    struct Part {
        std::string path;
        int fd = -1;
        int64_t start = 0;
        int64_t size = 0;
    };
    void closeAll();

    std::vector<Part> parts_;
    int64_t total_ = 0;
    std::string error_;
};

} // namespace outside::dvd_audio
