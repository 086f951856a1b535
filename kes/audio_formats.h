#pragma once

// The audio page's compression choices: for each codec and channel mode the sample rates offered,
// and for each sample rate the bit rate set and the bit rates offered; and the gain label's text.

#include <string>
#include <string_view>
#include <vector>

namespace kes {

struct CompressionChoice {
    std::vector<std::string> sampleRates;
    // The sample rate given, or the mode's fallback rate when the rate has no row of its own.
    std::string sampleRate;
    std::string bitrate;
    std::vector<std::string> bitrates;
};

// Any codec other than exactly "MP3" counts as WMA, any mode other than exactly "Stereo" as mono.
CompressionChoice compressionChoice(std::string_view codec, std::string_view mode,
                                    std::string_view sampleRate);

// What a new codec sets: sample rate "44.1", mode "Stereo", and the codec's bit rate and lists.
struct CodecDefaults {
    std::string sampleRate;
    std::string mode;
    std::string bitrate;
    std::vector<std::string> sampleRates;
    std::vector<std::string> bitrates;
};
CodecDefaults codecDefaults(std::string_view codec);

// The gain label: the track position (tenths of a decibel) with one decimal, right-aligned in five
// characters, then " db" (100 gives " 10.0 db").
std::string gainText(int position);

} // namespace kes
