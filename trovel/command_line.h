#pragma once

// Tonegrab's command line: exactly five parameters, separated by blanks and not quoted:
//   1 the source (a list file or a ".VOB" file)
//   2 the WAV to write, or "X" to play the stream on the sound card
//   3 the stream digit 0-9, or "X" to count the streams into "sn.fnd"
//   4 the sample-rate text ("44.1" asks the decoder for 44.1 kHz)
//   5 "X", or anything else to reverse the order of the streams

#include <optional>
#include <string>
#include <vector>

namespace trovel {

inline constexpr size_t kParameterCount = 5;
inline constexpr const char* kNoValue = "X";

struct Parameters {
    std::string source;
    std::optional<std::string> destination; // none: play on the sound card
    std::optional<int> streamDigit;         // none: find mode
    std::string sampleRate;
    bool flip = false;
};

// The parameters, or nothing when the program must end at once: not exactly five of them, or a third
// that is neither "X" nor a single digit.
std::optional<Parameters> parseParameters(const std::vector<std::string>& arguments);

} // namespace trovel
