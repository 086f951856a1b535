#pragma once

#include <string>
#include <vector>

namespace delayer {

// The words joined by single blanks, each "@" turned back into a double quote.
std::string joinLine(const std::vector<std::string>& words);

} // namespace delayer
