#pragma once

// AC3 bytes in, 16-bit stereo PCM at the chosen rate out: the audio decoder's decoding core (with the
// stream's own down-mix and dynamic-range levels) and its sample converter.

#include "platform/dshow/filters/decode_core.h"
#include "platform/dshow/filters/sample_converter.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace outside::ac3dec {

class StreamDecoder {
public:
    // False, with error set, when the decoder is not available.
    bool open(int sampleRate, std::string& error);
    // Appends the samples decoded from the bytes to out.
    void decode(std::span<const uint8_t> bytes, std::vector<uint8_t>& out);
    // The end of the stream: appends what is still held.
    void finish(std::vector<uint8_t>& out);
    int64_t damagedFrames() const { return core_ ? core_->errors() : 0; }
    // Decoded blocks the converter could not take.
    int64_t unconverted() const { return unconverted_; }

private:
    std::unique_ptr<platform::dshow::filters::DecodeCore> core_;
    std::unique_ptr<platform::dshow::filters::SampleConverter> converter_;
    int64_t unconverted_ = 0;
};

} // namespace outside::ac3dec
