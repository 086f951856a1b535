#pragma once

// The whole extraction that "Configure" runs: reads the control file, the title's IFO and its VOB
// files (VTS_nn_1.VOB onwards beside the IFO), and writes the ".idx" and ".sub" pair at the
// destination, each through a temporary file renamed when whole.

#include <cstddef>
#include <string>
#include <vector>

namespace outside::vobsub {

struct ExtractionResult {
    size_t subtitles = 0; // timestamp lines written
    size_t packs = 0;     // packs of the ".sub" file
    size_t damagedPacks = 0;
    std::vector<std::string> vobs;
};

// The VOB files of the title whose IFO is given: the IFO's name without extension and without the
// digits that end it, followed by 1, 2, ... and ".VOB", as long as they exist.
std::vector<std::string> titleVobFiles(const std::string& ifo);

// Throws VobSubError with the message for the user.
ExtractionResult extractSubtitles(const std::string& vspIniPath);

} // namespace outside::vobsub
