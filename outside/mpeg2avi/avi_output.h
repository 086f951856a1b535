#pragma once

// One output of a conversion: a configured compressor and the video-only AVI it fills, one chunk per
// frame, key frames flagged as the compressor says. The file takes its name only when finished whole;
// an output destroyed unfinished leaves nothing behind.

#include "platform/vfw/avi_writer.h"
#include "platform/vfw/video_compressor.h"

#include <cstdint>
#include <memory>
#include <string>

struct AVFrame;

namespace mpeg2avi {

class AviOutput {
public:
    // Starts the compressor and creates the file; null with a message when either fails.
    static std::unique_ptr<AviOutput> create(std::unique_ptr<platform::vfw::VideoCompressor> compressor,
                                             const platform::vfw::CompressorInput& input,
                                             const std::string& path, std::string& error);
    ~AviOutput();

    // Compresses a picture in the input's colour format and appends it.
    bool write(const AVFrame* picture, std::string& error);
    // Ends the compressor (a first pass writes its log) and completes the file.
    bool finish(std::string& error);
    int64_t frames() const { return frames_; }
    const std::string& path() const { return path_; }

private:
    AviOutput() = default;
    std::unique_ptr<platform::vfw::VideoCompressor> compressor_;
    std::unique_ptr<platform::vfw::AviWriter> writer_;
    platform::vfw::CompressedFrame packet_;
    std::string path_;
    int stream_ = 0;
    int64_t frames_ = 0;
};

} // namespace mpeg2avi
