#include "outside/azid/azid_options.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace outside::azid {

namespace {

constexpr double kLowestLfeLevelDb = -100.0;
constexpr double kHighestLfeLevelDb = 20.0;

bool sameLetters(const std::string& text, const char* expected) {
    size_t i = 0;
    for (; expected[i] != '\0'; ++i)
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) !=
                                    std::tolower(static_cast<unsigned char>(expected[i])))
            return false;
    return i == text.size();
}

// "-3dB", "-4.5dB", "0dB".
std::optional<double> levelOf(const std::string& text) {
    if (text.size() < 3 || !sameLetters(text.substr(text.size() - 2), "dB"))
        return std::nullopt;
    double value = 0;
    const char* end = text.data() + text.size() - 2;
    const char* start = text.data() + (text[0] == '+' ? 1 : 0);
    const auto [at, ec] = std::from_chars(start, end, value);
    if (ec != std::errc{} || at != end || !std::isfinite(value) || value < kLowestLfeLevelDb ||
        value > kHighestLfeLevelDb)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<AzidOptions> parseAzidOptions(const std::vector<std::string>& args, std::string& error) {
    AzidOptions options;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "-c" || arg == "-g" || arg == "-L";
        if (takesValue && i + 1 >= args.size()) {
            error = arg + " needs a value.";
            return std::nullopt;
        }
        if (arg == "-c") {
            if (!sameLetters(args[++i], "normal")) {
                error = "Unknown compression " + args[i] + " (-c normal applies the stream's own).";
                return std::nullopt;
            }
            options.compression = true;
        } else if (arg == "-g") {
            if (!sameLetters(args[++i], "max")) {
                error = "Unknown gain " + args[i] + " (-g max applies the largest that does not clip).";
                return std::nullopt;
            }
            options.maxGain = true;
        } else if (arg == "-L") {
            options.lfeLevelDb = levelOf(args[++i]);
            if (!options.lfeLevelDb) {
                error = "The LFE level " + args[i] + " is not a level in dB such as -3dB.";
                return std::nullopt;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "Unknown option " + arg + ".";
            return std::nullopt;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() > 2) {
        error = "Unexpected argument " + files[2] + ".";
        return std::nullopt;
    }
    if (files.size() < 2 || files[0].empty() || files[1].empty()) {
        error = "The AC3 file and the WAV file are both needed.";
        return std::nullopt;
    }
    options.input = files[0];
    options.output = files[1];
    return options;
}

} // namespace outside::azid
