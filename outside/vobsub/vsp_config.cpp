#include "outside/vobsub/vsp_config.h"
#include "outside/vobsub/vobsub_error.h"

#include <algorithm>
#include <cctype>

namespace outside::vobsub {

namespace {

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

std::string upper(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

std::string trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

std::vector<int> parseStreams(std::string_view line) {
    std::vector<int> streams;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        size_t end = i;
        int value = 0;
        while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end]))) {
            value = value * 10 + (line[end] - '0');
            if (value > MaxStreamPosition)
                throw VobSubError("vsp.ini: the stream number on line 3 is beyond the 32 subpicture streams");
            ++end;
        }
        if (end == i || (end < line.size() && line[end] != ' ' && line[end] != '\t'))
            throw VobSubError("vsp.ini: line 3 must hold stream numbers separated by blanks, not \"" +
                              std::string(line) + "\"");
        if (std::find(streams.begin(), streams.end(), value) == streams.end())
            streams.push_back(value);
        i = end;
    }
    if (streams.empty())
        throw VobSubError("vsp.ini: no subpicture stream chosen on line 3");
    return streams;
}

} // namespace

VspConfig parseVspConfig(std::string_view text) {
    if (text.size() > MaxVspIniSize)
        throw VobSubError("vsp.ini: the file is too large to be a control file");
    if (text.find('\0') != std::string_view::npos)
        throw VobSubError("vsp.ini: the file holds binary data");
    const std::vector<std::string> lines = splitLines(text);
    if (lines.size() < 3)
        throw VobSubError("vsp.ini: the file needs the IFO path, the destination and the streams (3 lines)");
    VspConfig config;
    config.ifo = lines[0];
    config.destination = lines[1];
    if (trimmed(config.ifo).empty())
        throw VobSubError("vsp.ini: line 1 (the IFO file) is empty");
    if (trimmed(config.destination).empty())
        throw VobSubError("vsp.ini: line 2 (the destination) is empty");
    config.streams = parseStreams(lines[2]);
    for (size_t i = 3; i < lines.size(); ++i) {
        const std::string word = upper(trimmed(lines[i]));
        if (word == "BLIND")
            config.blind = true;
        else if (word == "CLOSE")
            config.close = true;
        else if (!word.empty())
            throw VobSubError("vsp.ini: unknown line " + std::to_string(i + 1) + " \"" + lines[i] + "\"");
    }
    return config;
}

} // namespace outside::vobsub
