#pragma once

// Test helpers: generated tones and FFmpeg decoding of what the encoders made.

#include "platform/acm/wave_format.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kes::test {

// Interleaved 16-bit PCM: a sine of freq Hz on every channel.
std::string makeTone(uint32_t rate, int channels, int64_t frames, double freq, double amplitude = 12000.0);

struct DecodedAudio {
    int sampleRate = 0;
    int channels = 0;
    std::vector<float> first; // the first channel, -1..1
    int packets = 0;
    bool ok = false;
};

// WMA version 2 packets of format.nBlockAlign bytes each, with the format's extra data.
DecodedAudio decodeWma(const std::string& data, const platform::acm::WaveFormat& format);
// An MP3 frame stream.
DecodedAudio decodeMp3(const std::string& data);

// The share of the signal's energy at freq (0..1): near 1 for a clean tone of that frequency.
double toneShare(const std::vector<float>& samples, int rate, double freq);

// A RIFF/WAVE file with a 16-byte PCM "fmt " and the given data.
std::string pcmWave(uint32_t rate, int channels, const std::string& data, int bits = 16);

} // namespace kes::test
