#pragma once

// Output files of the AC3 tools, written under a temporary name beside the target and renamed over it
// only when complete, so that a failure never leaves a half-written file where a whole one stood.
// Writes are gathered into large blocks.

#include "platform/dshow/filters/audio_format.h"
#include "platform/dshow/filters/positioned_file.h"
#include "platform/dshow/filters/wav_writer.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace outside::dvd_audio {

// Bytes appended one after the other.
class OutputFile {
public:
    explicit OutputFile(const std::string& target);
    // False when the temporary file could not be made (the folder is missing or not writable).
    bool isOpen() const { return file_.isOpen(); }
    bool append(std::span<const uint8_t> bytes);
    bool writeAt(int64_t offset, std::span<const uint8_t> bytes);
    int64_t size() const { return size_; }
    // Writes what is gathered and renames the file over its target; false (target untouched) when any
    // write failed.
    bool commit();

private:
    bool flush();

    platform::dshow::filters::PositionedFile file_;
    std::vector<uint8_t> pending_;
    int64_t flushed_ = 0;
    int64_t size_ = 0;
    bool failed_ = false;
};

// A 16-bit stereo PCM WAV file.
class WavFile {
public:
    explicit WavFile(const std::string& target);
    // False when the temporary file could not be made.
    bool isOpen() const { return out_.isOpen(); }
    // Writes the header for the sample rate; samples follow it.
    bool begin(int sampleRate);
    bool begun() const { return writer_ != nullptr; }
    bool append(std::span<const uint8_t> samples);
    uint64_t dataSize() const { return writer_ ? writer_->dataSize() : 0; }
    bool commit();

private:
    // The writer's positioned writes, gathered by the output file.
    class Sink final : public platform::dshow::filters::WavSink {
    public:
        explicit Sink(OutputFile& out) : out_(out) {}
        bool write(int64_t offset, std::span<const uint8_t> bytes) override;

    private:
        OutputFile& out_;
    };

    OutputFile out_;
    Sink sink_{out_};
    std::unique_ptr<platform::dshow::filters::WavWriter> writer_;
};

// "Cannot write the file X." with the reason the system gives for its folder.
std::string cannotWriteMessage(const std::string& target);

} // namespace outside::dvd_audio
