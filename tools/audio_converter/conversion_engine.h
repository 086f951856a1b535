#pragma once

// The conversion job of the audio converter: one RIFF WAVE file into another whose "fmt " chunk holds
// the target format, optionally limited to a time range. The window drives it; tests and benchmarks
// call it directly.

#include "platform/acm/wave_format.h"
#include "platform/mmio/riff_file.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tools::audio_converter {

// The start of the error box of a codec failure in batch use; the code's name and ")" follow.
inline constexpr const char* CannotConvertText = "Cannot convert the audio into the chosen format (";

// What the job reports. The window turns these into its boxes, progress bar and timer; tests record.
class ConversionSink {
public:
    virtual ~ConversionSink() = default;
    virtual void errorBox(const std::string& text) = 0;   // error icon, one OK button
    virtual void messageBox(const std::string& text) = 0; // plain box
    virtual void jobStarted(int64_t /*total*/) {}         // progress 0, the timer runs
    virtual void progressMaximum(int64_t /*total*/) {}
    virtual void progressStep(int64_t /*bytes*/) {}
    virtual void jobEnded() {}        // the timer stops
    virtual void processMessages() {} // lets pending window messages run
};

struct ConversionRequest {
    std::string source;      // Edit1
    std::string destination; // Edit2
    bool range = false;      // Range, Range1, Range2
    std::string rangeStart;
    std::string rangeEnd;
    std::string codecText; // Label3: "" or "-" means no codec was chosen
    platform::acm::WaveFormat target;
    std::string bitRateText; // the preset's bit-rate text, for the MP3 encoder
    std::string externDir;   // where LAME_ENC.DLL is
    bool quiet = false;      // batch use: ACM failures in one error box, no closing message
    // A conversion cut short by the stop flag keeps what was written; otherwise (batch use: the next
    // step would take the cut-short file for a whole one) the destination stays as it was.
    bool keepStopped = true;
};

struct ConversionResult {
    bool failed = false;       // ended by a check or a failed call; the destination is not there
    bool resultsValid = false; // the three values below were computed
    double sourceSeconds = 0;
    double targetSeconds = 0;
    int32_t targetByteRate = 0;
};

class ConversionEngine {
public:
    explicit ConversionEngine(ConversionSink& sink) : sink_(sink) {}

    // Runs the job. userBreak is cleared when the job starts and read between blocks (Stop sets it).
    ConversionResult run(const ConversionRequest& request, bool& userBreak);

    // For the window's timer while a job runs.
    int64_t total() const { return total_; }
    int64_t remaining() const { return remaining_; }
    int64_t startMs() const { return startMs_; }
    bool running() const { return running_; }

private:
    bool runSteps(const ConversionRequest& request, bool& userBreak, ConversionResult& result);
    bool openDestination(const ConversionRequest& request, std::unique_ptr<platform::mmio::RiffFile>& dest,
                         platform::mmio::ChunkInfo& outRiff, platform::mmio::ChunkInfo& outData);
    bool openSource(const ConversionRequest& request, std::unique_ptr<platform::mmio::RiffFile>& src,
                    platform::mmio::ChunkInfo& riff, platform::mmio::ChunkInfo& data,
                    platform::acm::WaveFormat& format);
    void showMmioError(int code);
    void showAcmError(int64_t code, bool quiet);

    ConversionSink& sink_;
    int64_t total_ = 0;
    int64_t remaining_ = 0;
    int64_t startMs_ = 0;
    bool running_ = false;
};

} // namespace tools::audio_converter
