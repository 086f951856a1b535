#include "kes/rip_video_lines.h"

#include "platform/core/paths.h"

#include <algorithm>

namespace kes {

namespace core = platform::core;

namespace {
constexpr char Quote = '"';
constexpr char QuoteStandIn = '@';
} // namespace

std::string converterOutputName(bool dual, bool px3gui) {
    return dual || px3gui ? "movie_1.avi" : "movie.avi";
}

std::string delayerLine(std::string_view startDir, std::string_view automationLine) {
    std::string line(automationLine);
    std::replace(line.begin(), line.end(), Quote, QuoteStandIn);
    return std::string(startDir) + "/extern/delayer.exe " + line;
}

std::string rarLine(std::string_view externDir, std::string_view base) {
    const std::string b(base);
    return std::string(externDir) + "winrar.exe a -ep " + Quote + b + ".rar" + Quote + " " + Quote + b +
           ".sub" + Quote;
}

std::string secondPartBase(std::string_view finalAvi) {
    return core::changeFileExt(finalAvi, "") + "2";
}

} // namespace kes
