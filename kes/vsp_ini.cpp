#include "kes/vsp_ini.h"

#include "platform/core/paths.h"

namespace kes {

namespace {
constexpr const char* CrLf = "\r\n";
} // namespace

std::string vspIniText(std::string_view ifo, std::string_view destination, const std::vector<int>& streams) {
    std::string text;
    text += ifo;
    text += CrLf;
    text += platform::core::changeFileExt(destination, "");
    text += CrLf;
    for (const int stream : streams) {
        if (stream >= 0)
            text += std::to_string(stream) + " ";
    }
    text += CrLf;
    text += "BLIND";
    text += CrLf;
    text += "CLOSE";
    text += CrLf;
    return text;
}

} // namespace kes
