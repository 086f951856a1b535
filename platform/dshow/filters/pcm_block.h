#pragma once

// Decoded samples as they pass from the decoding core to the sample converter: the one type both
// sides share, so that each can live in its own library (the decoder's "AsmAc3.dll" and
// "AsmFloatFull.dll") without either knowing the other's internals.

#include <array>
#include <cstdint>
#include <functional>

namespace platform::dshow::filters {

enum class SampleType { S16, S32, Float, Double };

constexpr int kMaxBlockChannels = 8;

struct PcmBlock {
    SampleType type = SampleType::S16;
    bool planar = false;
    int channels = 0;
    uint64_t channelMask = 0; // speaker positions (WAVEFORMATEXTENSIBLE bits); 0 = the usual for the count
    int sampleRate = 0;
    int frames = 0;
    // Planar: one plane per channel. Interleaved: planes[0] holds every channel.
    std::array<const uint8_t*, kMaxBlockChannels> planes{};
};

using PcmBlockSink = std::function<void(const PcmBlock&)>;

} // namespace platform::dshow::filters
