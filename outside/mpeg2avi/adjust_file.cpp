#include "outside/mpeg2avi/adjust_file.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <charconv>
#include <cstdio>
#include <sstream>
#include <vector>

namespace mpeg2avi {

namespace {

std::string threeDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%03d", value);
    return text;
}

bool side(const std::vector<std::string>& words, size_t& at, int& value, std::string& error) {
    if (at >= words.size()) {
        error = "A size is missing.";
        return false;
    }
    const std::string& word = words[at++];
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || end != word.data() + word.size() || value < kAdjustMinSide ||
        value > kAdjustMaxSide) {
        error = "The size \"" + word + "\" is not a number from " + std::to_string(kAdjustMinSide) + " to " +
                std::to_string(kAdjustMaxSide) + ".";
        return false;
    }
    return true;
}

} // namespace

std::string adjustLine(const AdjustValues& v) {
    std::string line;
    auto add = [&line](const std::string& item) {
        if (!line.empty())
            line += ' ';
        line += item;
    };
    if (v.width)
        add("-3X " + threeDigits(*v.width));
    if (v.height)
        add("-3Y " + threeDigits(*v.height));
    if (v.cropWidth && v.cropHeight)
        add("-1 " + threeDigits(*v.cropWidth) + " " + threeDigits(*v.cropHeight));
    return line;
}

bool parseAdjustItems(const std::string& text, AdjustValues& values, std::string& error) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    AdjustValues v = values;
    for (size_t at = 0; at < words.size();) {
        const std::string& item = words[at++];
        int a = 0, b = 0;
        if (item == "-3X" || item == "-3x") {
            if (!side(words, at, a, error))
                return false;
            v.width = a;
        } else if (item == "-3Y" || item == "-3y") {
            if (!side(words, at, a, error))
                return false;
            v.height = a;
        } else if (item == "-1") {
            if (!side(words, at, a, error) || !side(words, at, b, error))
                return false;
            v.cropWidth = a;
            v.cropHeight = b;
        } else {
            error = "Unknown item \"" + item + "\".";
            return false;
        }
    }
    values = v;
    return true;
}

bool writeAdjustFile(const std::string& folder, const AdjustValues& values) {
    return platform::core::writeFileAtomic(platform::core::joinPath(folder, kAdjustFileName),
                                           adjustLine(values) + "\r\n");
}

} // namespace mpeg2avi
