#pragma once

// AC3 bytes in, 16-bit stereo PCM at the chosen rate out: the audio decoder engine (the decoding core
// with the stream's own down-mix and dynamic-range levels, and its sample converter), which keeps the
// stream's time across lost data from the packets' time stamps.

#include "platform/dshow/filters/audio_decoder.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace outside::ac3dec {

class StreamDecoder {
public:
    // False, with error set, when the decoder is not available.
    bool open(int sampleRate, std::string& error);
    // Appends the samples decoded from a packet's bytes to out; pts is the packet's time stamp.
    // startTime is the time of the first sample appended (100 ns), once the stream's clock is known.
    void decode(std::span<const uint8_t> bytes, std::optional<int64_t> pts, std::vector<uint8_t>& out,
                std::optional<int64_t>* startTime = nullptr);
    // The end of the stream: appends what is still held.
    void finish(std::vector<uint8_t>& out);
    int64_t damagedFrames() const { return decoder_ ? decoder_->errors() : 0; }
    // Output frames of silence put in where data was lost.
    int64_t framesFilled() const { return decoder_ ? decoder_->framesFilled() : 0; }

private:
    std::unique_ptr<platform::dshow::filters::AudioDecoder> decoder_;
};

} // namespace outside::ac3dec
