#pragma once

// "vsp.ini", the control file of the subtitle extractor: the IFO file, the destination without its
// extension, the chosen subpicture streams and the two words that make it run unattended.

#include <string>
#include <string_view>
#include <vector>

namespace kes {

inline constexpr std::string_view VspIniName = "vsp.ini";

// The file's text, each line ended by CR LF: ifo; destination with its extension removed; for each
// stream index (0-based, in the order given) its decimal value followed by one blank; "BLIND";
// "CLOSE". Negative indexes (a language the IFO list does not hold) are left out.
std::string vspIniText(std::string_view ifo, std::string_view destination, const std::vector<int>& streams);

} // namespace kes
