#pragma once

// The 30-byte wave format area: the 18 bytes of a WAVEFORMATEX header (little-endian in files) and up
// to 12 bytes of format-specific extra data.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform::acm {

inline constexpr uint16_t WAVE_FORMAT_PCM = 1;
inline constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 85;
inline constexpr uint16_t WAVE_FORMAT_WMAUDIO2 = 353;

inline constexpr size_t WaveFormatHeaderSize = 18;
inline constexpr size_t WaveFormatExtraMax = 12;
inline constexpr size_t WaveFormatAreaSize = WaveFormatHeaderSize + WaveFormatExtraMax; // 30

struct WaveFormat {
    uint16_t wFormatTag = 0;
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;
    uint16_t wBitsPerSample = 0;
    uint16_t cbSize = 0; // extra bytes that follow; the area holds at most 12 of them
    std::array<uint8_t, WaveFormatExtraMax> extra{};

    bool operator==(const WaveFormat&) const = default;

    // The whole 30-byte area as stored in a "fmt " chunk.
    std::array<uint8_t, WaveFormatAreaSize> toBytes() const;
    // Reads up to 30 bytes; missing bytes count as zero, so a 16-byte PCM header reads as cbSize 0.
    static WaveFormat fromBytes(const uint8_t* bytes, size_t count);

    bool isPcm() const { return wFormatTag == WAVE_FORMAT_PCM; }
};

// The intermediate format of two-step conversions: 16-bit stereo PCM at the given rate.
WaveFormat pcmFormat(uint32_t sampleRate, uint16_t channels = 2, uint16_t bits = 16);

// A PCM format this layer can work with: 1 or 2 channels, 8 or 16 bits, a block align that matches
// them, and a sample rate from 1 kHz to 192 kHz.
bool isUsablePcm(const WaveFormat& format);

} // namespace platform::acm
