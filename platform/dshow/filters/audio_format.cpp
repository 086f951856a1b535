#include "platform/dshow/filters/audio_format.h"

#include <array>

namespace platform::dshow::filters {

namespace {

// Second LPCM header byte: quantisation in bits 7-6, sampling rate in bits 5-4, channels - 1 in 2-0.
constexpr int kQuantShift = 6;
constexpr int kRateShift = 4;
constexpr uint8_t kTwoBitMask = 0x03;
constexpr uint8_t kChannelMask = 0x07;
constexpr std::array<int, 4> kLpcmRates = {48000, 96000, 44100, 32000};
constexpr std::array<int, 3> kLpcmBits = {16, 20, 24};
constexpr uint8_t kNeutralDynamicRange = 0x80;
constexpr int kMaxLpcmChannels = 8;

} // namespace

std::optional<LpcmFormat> parseLpcmHeader(std::span<const uint8_t> header) {
    if (header.size() < kLpcmHeaderSize)
        return std::nullopt;
    const uint8_t info = header[1];
    const size_t quant = (info >> kQuantShift) & kTwoBitMask;
    if (quant >= kLpcmBits.size())
        return std::nullopt;
    LpcmFormat format;
    format.bitsPerSample = kLpcmBits[quant];
    format.sampleRate = kLpcmRates[(info >> kRateShift) & kTwoBitMask];
    format.channels = (info & kChannelMask) + 1;
    return format;
}

std::optional<std::vector<uint8_t>> makeLpcmHeader(const LpcmFormat& format) {
    size_t quant = kLpcmBits.size();
    for (size_t i = 0; i < kLpcmBits.size(); ++i)
        if (kLpcmBits[i] == format.bitsPerSample)
            quant = i;
    size_t rate = kLpcmRates.size();
    for (size_t i = 0; i < kLpcmRates.size(); ++i)
        if (kLpcmRates[i] == format.sampleRate)
            rate = i;
    if (quant == kLpcmBits.size() || rate == kLpcmRates.size() || format.channels < 1 ||
        format.channels > kMaxLpcmChannels)
        return std::nullopt;
    const auto info =
        static_cast<uint8_t>((quant << kQuantShift) | (rate << kRateShift) | (format.channels - 1));
    return std::vector<uint8_t>{0, info, kNeutralDynamicRange};
}

std::string streamOutputName(StreamKind kind) {
    switch (kind) {
    case StreamKind::Video:
        return "Video";
    case StreamKind::Ac3:
        return "AC3";
    case StreamKind::MpegAudio:
        return "Audio";
    case StreamKind::Lpcm:
        return "LPCM";
    }
    return "Video";
}

WaveFormat pcmWaveFormat(int sampleRate, int channels, int bitsPerSample) {
    constexpr int kBitsPerByte = 8;
    WaveFormat format;
    format.formatTag = kWaveFormatPcm;
    format.channels = static_cast<uint16_t>(channels);
    format.samplesPerSec = static_cast<uint32_t>(sampleRate);
    format.bitsPerSample = static_cast<uint16_t>(bitsPerSample);
    format.blockAlign = static_cast<uint16_t>(channels * ((bitsPerSample + kBitsPerByte - 1) / kBitsPerByte));
    format.avgBytesPerSec = format.samplesPerSec * format.blockAlign;
    return format;
}

WaveFormat lpcmWaveFormat(const LpcmFormat& format) {
    return pcmWaveFormat(format.sampleRate, format.channels, format.bitsPerSample);
}

} // namespace platform::dshow::filters
