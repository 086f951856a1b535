#pragma once

// A whole conversion: the VOB set decoded, filtered and put on the AVI's frame rate on this thread,
// each output compressed and written on a thread of its own (two for the dual output), so that the
// decoder's threads, the filters and the codecs keep the cores busy together.
//
// prepare() checks everything that needs no codec (the list, the VOB files, the output folder, the
// video, the sizes), so that a bad line fails before any dialog is shown; the compressors, configured
// by their dialogs, are then attached; run() does the work and either completes every output or
// leaves none.

#include "outside/mpeg2avi/geometry.h"
#include "outside/mpeg2avi/options.h"
#include "platform/vfw/video_compressor.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mpeg2avi {

class VobInput;
class Mpeg2Source;
class AviOutput;

struct ConversionProgress {
    std::atomic<int64_t> framesDone{0};
    std::atomic<int64_t> framesTotal{0}; // an estimate until the end
    std::atomic<bool> stopRequested{false};
};

class Conversion {
public:
    static std::unique_ptr<Conversion> prepare(const ConvertOptions& options, std::string& error);
    ~Conversion();

    const Geometry& geometry() const { return geometry_; }
    FrameRate rate() const { return rate_; }
    int64_t estimatedFrames() const { return estimatedFrames_; }
    // Notes for stderr found while preparing (a crop cut to the picture, ...).
    const std::string& warning() const { return warning_; }

    // Starts output n (1 or 2) with its compressor; false with a message when it cannot be started.
    bool attach(int output, std::unique_ptr<platform::vfw::VideoCompressor> compressor, std::string& error);

    // Converts; true when every output was completed. A stop gives false with the message "Stopped.".
    bool run(ConversionProgress& progress, std::string& error);
    int64_t damagedPictures() const;
    int64_t framesWritten() const { return framesWritten_; }

private:
    Conversion() = default;
    bool convert(ConversionProgress& progress, std::vector<class FrameQueue*>& queues, std::string& error);

    ConvertOptions options_;
    std::unique_ptr<VobInput> input_;
    std::unique_ptr<Mpeg2Source> source_;
    Geometry geometry_;
    FrameRate rate_;
    int64_t estimatedFrames_ = 0;
    int64_t framesWritten_ = 0;
    std::string warning_;
    std::vector<std::unique_ptr<AviOutput>> outputs_;
};

platform::vfw::InputFormat inputFormatOf(ColourFormat colour);

} // namespace mpeg2avi
