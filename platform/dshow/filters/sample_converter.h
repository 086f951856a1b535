#pragma once

// The sample conversion of the audio decoder (its "AsmFloatFull.dll" part): any decoded block becomes
// interleaved 16-bit little-endian stereo at the decoder's output rate. 16-bit blocks that already
// have that layout and rate pass through unchanged; everything else goes through libswresample.

#include "platform/dshow/filters/pcm_block.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace platform::dshow::filters {

class SampleConverter {
public:
    virtual ~SampleConverter() = default;
    // Appends the block's samples, converted, to out. False when the block's layout cannot be converted.
    virtual bool convert(const PcmBlock& block, std::vector<uint8_t>& out) = 0;
    // The end of the stream: appends what the resampler still holds.
    virtual void drain(std::vector<uint8_t>& out) = 0;
    // Drops what the resampler holds (after a seek).
    virtual void reset() = 0;
    virtual int outputRate() const = 0;
};

constexpr int kOutputChannels = 2;
constexpr int kOutputBytesPerFrame = 4; // two 16-bit samples

std::unique_ptr<SampleConverter> makeSampleConverter(int outputRate);

} // namespace platform::dshow::filters
