#include "outside/dvd_audio/substream_arg.h"

#include <cstdio>

namespace outside::dvd_audio {

namespace {

constexpr size_t kStreamTextSize = 4; // "0x8n"
constexpr uint8_t kFirstAc3 = 0x80;
constexpr int kAc3Streams = 8;
constexpr const char* kBlanks = " \t";

std::optional<uint8_t> streamOf(const std::string& text) {
    if (text.size() < kStreamTextSize || text[0] != '0' || (text[1] != 'x' && text[1] != 'X') ||
        text[2] != '8')
        return std::nullopt;
    const int digit = text[3] - '0';
    if (digit < 0 || digit >= kAc3Streams)
        return std::nullopt;
    return static_cast<uint8_t>(kFirstAc3 + digit);
}

} // namespace

std::optional<SubStreamArg> readSubStreamArg(const std::vector<std::string>& args, size_t at,
                                             std::string& error) {
    if (at >= args.size()) {
        error = "The sub-stream (0x80 to 0x87) is missing.";
        return std::nullopt;
    }
    const std::string& text = args[at];
    const auto id = streamOf(text);
    if (!id) {
        error = "The sub-stream " + text + " is not one of 0x80 to 0x87.";
        return std::nullopt;
    }
    SubStreamArg result{*id, at + 1};
    // The name may start in the same argument ("0x80[English]") or in the next one.
    std::string rest = text.substr(kStreamTextSize);
    size_t index = at;
    const size_t nameStart = rest.find_first_not_of(kBlanks);
    if (nameStart == std::string::npos) {
        if (index + 1 >= args.size() || args[index + 1].empty() || args[index + 1][0] != '[')
            return result;
        rest = args[++index];
    } else if (rest[nameStart] != '[') {
        error = "The sub-stream " + text + " is not one of 0x80 to 0x87.";
        return std::nullopt;
    }
    // Pass over the name up to and including the argument that closes its bracket.
    while (rest.find(']') == std::string::npos) {
        if (++index >= args.size()) {
            error = "The name of sub-stream " + text.substr(0, kStreamTextSize) + " has no closing bracket.";
            return std::nullopt;
        }
        rest = args[index];
    }
    result.next = index + 1;
    return result;
}

std::string subStreamText(uint8_t id) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", id);
    return text;
}

} // namespace outside::dvd_audio
