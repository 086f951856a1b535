#include "outside/divx_codec/first_pass_log.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace divx_codec {

namespace {

constexpr double LeastBitsMargin = 2.0;
constexpr double LambdaPerQuantizer = 118.0; // libavcodec's FF_QP2LAMBDA

// The number after "name:" in one entry; 0 when absent or unreadable.
int64_t field(std::string_view entry, std::string_view name) {
    size_t at = 0;
    while ((at = entry.find(name, at)) != std::string_view::npos) {
        // The name must start a token, so that "mv:" is not found inside another name.
        if (at == 0 || entry[at - 1] == ' ' || entry[at - 1] == '\n') {
            const char* begin = entry.data() + at + name.size();
            int64_t value = 0;
            const auto [end, ec] = std::from_chars(begin, entry.data() + entry.size(), value);
            return ec == std::errc() && end != begin ? std::max<int64_t>(value, 0) : 0;
        }
        at += name.size();
    }
    return 0;
}

} // namespace

FirstPassSummary summarizeFirstPass(const std::string& log) {
    FirstPassSummary summary;
    std::string_view rest(log);
    while (!rest.empty()) {
        const size_t end = rest.find(';');
        const std::string_view entry = rest.substr(0, end);
        if (entry.find("in:") != std::string_view::npos) {
            ++summary.frames;
            summary.fixedBits +=
                static_cast<double>(field(entry, "mv:")) + static_cast<double>(field(entry, "misc:"));
            const double quantizer = static_cast<double>(field(entry, "q:")) / LambdaPerQuantizer;
            const double texture =
                static_cast<double>(field(entry, "itex:")) + static_cast<double>(field(entry, "ptex:"));
            summary.textureWork += texture * quantizer;
        }
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
    return summary;
}

int64_t reachableBitRate(int64_t target, const FirstPassSummary& log, double framesPerSecond,
                         int maxQuantizer) {
    if (log.frames <= 0 || framesPerSecond <= 0 || maxQuantizer <= 0)
        return target;
    const double seconds = static_cast<double>(log.frames) / framesPerSecond;
    const double fewestBits = log.fixedBits + log.textureWork / maxQuantizer;
    const double least = std::ceil(fewestBits * LeastBitsMargin / seconds);
    if (least > static_cast<double>(INT32_MAX))
        return INT32_MAX;
    return std::max(target, static_cast<int64_t>(least));
}

} // namespace divx_codec
