#include "outside/delayer/delayed_line.h"

namespace delayer {

std::string joinLine(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& word : words) {
        if (word.empty())
            continue;
        if (!line.empty())
            line += ' ';
        for (char c : word)
            line += c == '@' ? '"' : c;
    }
    return line;
}

} // namespace delayer
