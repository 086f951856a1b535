#pragma once

// The WAV writer engine: audio of any WAVEFORMATEX in, a canonical RIFF WAVE stream out (RIFF, "fmt ",
// "data"; 44 header bytes for PCM). The header is written first with empty sizes and completed when
// the writer finishes, all through positioned writes, so a file sink downstream can take them.

#include "platform/dshow/filters/audio_format.h"

#include <cstdint>
#include <span>
#include <vector>

namespace platform::dshow::filters {

// Where the WAV bytes go: each write names its offset.
class WavSink {
public:
    virtual ~WavSink() = default;
    virtual bool write(int64_t offset, std::span<const uint8_t> bytes) = 0;
};

class WavWriter {
public:
    WavWriter(WavSink& sink, WaveFormat format);

    // The header bytes for a format and a data size (sizes beyond the 32-bit fields are held at their
    // largest value).
    static std::vector<uint8_t> header(const WaveFormat& format, uint64_t dataSize);

    // Writes the header with empty sizes. False when the sink refused it.
    bool begin();
    // Appends sample bytes after what was written; false once a write failed or after finish().
    bool append(std::span<const uint8_t> bytes);
    // Writes the header with the sizes of what was appended so far, so that the stream is a valid WAV
    // at every moment, whatever happens before finish().
    bool updateSizes();
    // Pads an odd data chunk and writes the final sizes. A second call does nothing.
    bool finish();

    uint64_t dataSize() const { return dataSize_; }
    size_t headerSize() const { return headerSize_; }
    bool failed() const { return failed_; }
    // Forgets a failed write, for a sink that refused only for a while (a flush downstream): sizes count
    // only what was written, and the next header write puts them right.
    void clearFailure() { failed_ = false; }
    bool finished() const { return finished_; }

private:
    WavSink& sink_;
    WaveFormat format_;
    size_t headerSize_ = 0;
    uint64_t dataSize_ = 0;
    bool begun_ = false;
    bool finished_ = false;
    bool failed_ = false;
};

} // namespace platform::dshow::filters
