#pragma once

// The target formats that the drivers of this layer can make from PCM, for a format-choice dialog.

#include "platform/acm/wave_format.h"

#include <string>
#include <vector>

namespace platform::acm {

struct FormatChoice {
    WaveFormat format;
    std::string description; // "64 kBit/s, 44100 Hz, Stereo", "44100 Hz, 16 Bit, Mono"
};

std::string formatTagName(uint16_t tag); // "PCM", "WMA v2", "MP3", or "Format " + the number
std::vector<uint16_t> choosableTags();
std::vector<FormatChoice> formatChoices(uint16_t tag);

// A WMA version 2 format whose packet size is nearest to the given bit rate, extra data included.
WaveFormat wmaFormat(uint32_t sampleRate, uint16_t channels, uint32_t bitsPerSecond);

} // namespace platform::acm
