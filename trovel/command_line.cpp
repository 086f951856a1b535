#include "trovel/command_line.h"

namespace trovel {

namespace {

std::optional<int> digitOf(const std::string& text) {
    if (text.size() != 1 || text[0] < '0' || text[0] > '9')
        return std::nullopt;
    return text[0] - '0';
}

} // namespace

std::optional<Parameters> parseParameters(const std::vector<std::string>& arguments) {
    if (arguments.size() != kParameterCount)
        return std::nullopt;
    Parameters parameters;
    parameters.source = arguments[0];
    if (arguments[1] != kNoValue)
        parameters.destination = arguments[1];
    if (arguments[2] != kNoValue) {
        parameters.streamDigit = digitOf(arguments[2]);
        if (!parameters.streamDigit)
            return std::nullopt;
    }
    parameters.sampleRate = arguments[3];
    parameters.flip = arguments[4] != kNoValue;
    return parameters;
}

} // namespace trovel
