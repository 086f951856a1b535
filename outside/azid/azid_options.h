#pragma once

// The command line of azid.exe:
//   azid.exe [-c normal] [-g max] [-L <level>dB] IN.ac3 OUT.wav
// -c normal applies the stream's dynamic-range compression; -g max applies the largest gain that does
// not clip; -L mixes the LFE channel into the stereo down-mix at the level given (relative to the
// front channels). The output is a 16-bit stereo WAV at the stream's sample rate.

#include <optional>
#include <string>
#include <vector>

namespace outside::azid {

struct AzidOptions {
    bool compression = false;
    bool maxGain = false;
    std::optional<double> lfeLevelDb;
    std::string input;
    std::string output;
};

std::optional<AzidOptions> parseAzidOptions(const std::vector<std::string>& args, std::string& error);

inline constexpr const char* kAzidUsage =
    "usage: azid.exe [-c normal] [-g max] [-L <level>dB] IN.ac3 OUT.wav";

} // namespace outside::azid
