#pragma once

// The VOB files of a DVD title, as the main window lists them: the first one named, then the files
// whose number before ".VOB" follows on (VTS_01_1.VOB, VTS_01_2.vob, ...) while they exist, the digit
// width kept (movie08.vob, movie09.vob, movie10.vob). Names are found without regard to case.

#include <string>
#include <vector>

namespace outside::dvd_audio {

// The run of files that starts with first (first itself when nothing follows it). At most maxFiles.
std::vector<std::string> titleVobFiles(const std::string& first, size_t maxFiles = 99);

} // namespace outside::dvd_audio
