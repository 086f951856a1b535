#include "platform/acm/format_list.h"

#include "platform/acm/wma_encoder.h"

#include <array>

namespace platform::acm {

namespace {

constexpr std::array<uint32_t, 7> PcmRates = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
constexpr std::array<uint32_t, 4> WmaRates = {22050, 32000, 44100, 48000};
constexpr std::array<uint32_t, 8> WmaKbits = {160, 128, 96, 80, 64, 48, 40, 32};
constexpr int64_t MinWmaBitRate = 24000; // the encoder makes nothing below this
constexpr uint16_t WmaExtraSize = 10;
constexpr uint16_t WmaEncodeOptions = 1;
constexpr uint16_t WmaBitsPerSample = 16;
constexpr uint32_t BitsPerByte = 8;
constexpr uint32_t BitsPerKbit = 1000;

std::string channelsText(uint16_t channels) {
    return channels == 1 ? "Mono" : "Stereo";
}

void putLe(std::array<uint8_t, WaveFormatExtraMax>& extra, size_t at, uint32_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i)
        extra[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

std::string formatTagName(uint16_t tag) {
    switch (tag) {
    case WAVE_FORMAT_PCM:
        return "PCM";
    case WAVE_FORMAT_WMAUDIO2:
        return "WMA v2";
    case WAVE_FORMAT_MPEGLAYER3:
        return "MP3";
    default:
        return "Format " + std::to_string(tag);
    }
}

std::vector<uint16_t> choosableTags() {
    return {WAVE_FORMAT_PCM, WAVE_FORMAT_WMAUDIO2};
}

WaveFormat wmaFormat(uint32_t sampleRate, uint16_t channels, uint32_t bitsPerSecond) {
    const uint32_t frame = static_cast<uint32_t>(wmaFrameLength(sampleRate));
    WaveFormat f;
    f.wFormatTag = WAVE_FORMAT_WMAUDIO2;
    f.nChannels = channels;
    f.nSamplesPerSec = sampleRate;
    const uint64_t bitsPerFrameSet = uint64_t{sampleRate} * BitsPerByte;
    f.nBlockAlign =
        static_cast<uint16_t>((uint64_t{bitsPerSecond} * frame + bitsPerFrameSet / 2) / bitsPerFrameSet);
    f.nAvgBytesPerSec = static_cast<uint32_t>((uint64_t{f.nBlockAlign} * sampleRate + frame / 2) / frame);
    f.wBitsPerSample = WmaBitsPerSample;
    f.cbSize = WmaExtraSize;
    putLe(f.extra, 0, frame, 4);
    putLe(f.extra, 4, WmaEncodeOptions, 2);
    putLe(f.extra, 6, f.nBlockAlign, 4);
    return f;
}

std::vector<FormatChoice> formatChoices(uint16_t tag) {
    std::vector<FormatChoice> choices;
    if (tag == WAVE_FORMAT_PCM) {
        for (uint32_t rate : PcmRates)
            for (uint16_t bits : {uint16_t{16}, uint16_t{8}})
                for (uint16_t channels : {uint16_t{2}, uint16_t{1}})
                    choices.push_back({pcmFormat(rate, channels, bits), std::to_string(rate) + " Hz, " +
                                                                            std::to_string(bits) + " Bit, " +
                                                                            channelsText(channels)});
    } else if (tag == WAVE_FORMAT_WMAUDIO2) {
        for (uint32_t rate : WmaRates)
            for (uint16_t channels : {uint16_t{2}, uint16_t{1}})
                for (uint32_t kbits : WmaKbits) {
                    const WaveFormat f = wmaFormat(rate, channels, kbits * BitsPerKbit);
                    if (wmaBitRateFor(f.nBlockAlign, rate) < MinWmaBitRate)
                        continue;
                    choices.push_back({f, std::to_string(kbits) + " kBit/s, " + std::to_string(rate) +
                                              " Hz, " + channelsText(channels)});
                }
    }
    return choices;
}

} // namespace platform::acm
