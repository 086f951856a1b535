#pragma once

// The extractor's control file "vsp.ini": the IFO path, the destination without extension, the
// chosen subpicture streams (0-based positions in the IFO's list, separated by blanks) and the words
// "BLIND" (no window) and "CLOSE" (return when done).

#include <string>
#include <string_view>
#include <vector>

namespace outside::vobsub {

// A longer file is no control file.
inline constexpr size_t MaxVspIniSize = 64 * 1024;
inline constexpr int MaxStreamPosition = 31;

struct VspConfig {
    std::string ifo;
    std::string destination;
    std::vector<int> streams; // in the order given, each once
    bool blind = false;
    bool close = false;
};

// Reads the file's text (lines end in CR LF, LF or CR). Throws VobSubError naming what is wrong.
VspConfig parseVspConfig(std::string_view text);

} // namespace outside::vobsub
