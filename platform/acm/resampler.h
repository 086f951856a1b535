#pragma once

// Sample rate, channel and sample format conversion over FFmpeg's libswresample. Mono becomes stereo
// by copying the channel and stereo becomes mono as the mean of both, without any level change.

#include "platform/acm/wave_format.h"

#include <memory>

extern "C" {
#include <libavutil/samplefmt.h>
}

struct SwrContext;

namespace platform::acm {

class Resampler {
public:
    // Interleaved 8-bit unsigned or 16-bit signed PCM in; out in the given sample format.
    static std::unique_ptr<Resampler> create(const WaveFormat& in, AVSampleFormat outFormat, int outChannels,
                                             int outRate);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // Output frames that converting inFrames more can give at most.
    int maxOutFrames(int inFrames) const;
    // Converts inFrames frames (none with in == nullptr: drains what is held back). Returns the frames
    // written into out (one pointer per plane), or -1.
    int convert(const uint8_t* in, int inFrames, uint8_t* const* out, int outCapacity);

private:
    Resampler() = default;
    SwrContext* swr_ = nullptr;
};

AVSampleFormat packedFormatOf(const WaveFormat& pcm); // U8 or S16

} // namespace platform::acm
