#include "platform/acm/wave_format.h"

#include <algorithm>

namespace platform::acm {

namespace {

constexpr uint32_t MinPcmRate = 1000;
constexpr uint32_t MaxPcmRate = 192000;

void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, static_cast<uint16_t>(v));
    put16(p + 2, static_cast<uint16_t>(v >> 16));
}
uint16_t get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t get32(const uint8_t* p) {
    return get16(p) | static_cast<uint32_t>(get16(p + 2)) << 16;
}

} // namespace

std::array<uint8_t, WaveFormatAreaSize> WaveFormat::toBytes() const {
    std::array<uint8_t, WaveFormatAreaSize> b{};
    put16(&b[0], wFormatTag);
    put16(&b[2], nChannels);
    put32(&b[4], nSamplesPerSec);
    put32(&b[8], nAvgBytesPerSec);
    put16(&b[12], nBlockAlign);
    put16(&b[14], wBitsPerSample);
    put16(&b[16], cbSize);
    std::copy(extra.begin(), extra.end(), b.begin() + WaveFormatHeaderSize);
    return b;
}

WaveFormat WaveFormat::fromBytes(const uint8_t* bytes, size_t count) {
    std::array<uint8_t, WaveFormatAreaSize> b{};
    std::copy_n(bytes, std::min(count, b.size()), b.begin());
    WaveFormat f;
    f.wFormatTag = get16(&b[0]);
    f.nChannels = get16(&b[2]);
    f.nSamplesPerSec = get32(&b[4]);
    f.nAvgBytesPerSec = get32(&b[8]);
    f.nBlockAlign = get16(&b[12]);
    f.wBitsPerSample = get16(&b[14]);
    f.cbSize = get16(&b[16]);
    std::copy(b.begin() + WaveFormatHeaderSize, b.end(), f.extra.begin());
    return f;
}

WaveFormat pcmFormat(uint32_t sampleRate, uint16_t channels, uint16_t bits) {
    WaveFormat f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = sampleRate;
    f.nBlockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.nAvgBytesPerSec = sampleRate * f.nBlockAlign;
    f.wBitsPerSample = bits;
    return f;
}

bool isUsablePcm(const WaveFormat& f) {
    return f.isPcm() && (f.nChannels == 1 || f.nChannels == 2) &&
           (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) &&
           f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 && f.nSamplesPerSec >= MinPcmRate &&
           f.nSamplesPerSec <= MaxPcmRate;
}

} // namespace platform::acm
