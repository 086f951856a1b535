#include "tools/audio_converter/wf_preset.h"

#include "platform/core/text.h"

#include <array>
#include <limits>

namespace tools::audio_converter {

namespace core = platform::core;
using platform::acm::WaveFormat;

namespace {

struct PresetRow {
    const char* codec; // nullptr: any codec
    int stereo;        // 1 stereo, 0 mono, -1 any mode
    const char* rate;
    const char* bitRate;
    const char* preset;
};

constexpr int Stereo = 1;
constexpr int Mono = 0;
constexpr int AnyMode = -1;

constexpr std::array<PresetRow, 27> Rows = {{
    {"MP3", Stereo, "48", "192", "85/2/48000/24000/1/0/12/1/0/2/0/0/0/64/2/1/0/113/5"},
    {"MP3", Stereo, "48", "160", "85/2/48000/20000/1/0/12/1/0/2/0/0/0/224/1/1/0/113/5"},
    {"MP3", Stereo, "48", "128", "85/2/48000/16000/1/0/12/1/0/2/0/0/0/128/1/1/0/113/5"},
    {"MP3", Stereo, "48", "112", "85/2/48000/14000/1/0/12/1/0/2/0/0/0/80/1/1/0/113/5"},
    {"MP3", Stereo, "48", "96", "85/2/48000/12000/1/0/12/1/0/2/0/0/0/32/1/1/0/113/5"},
    {"MP3", Stereo, "44.1", "192", "85/2/44100/24000/1/0/12/1/0/2/0/0/0/114/2/1/0/113/5"},
    {"MP3", Stereo, "44.1", "160", "85/2/44100/20000/1/0/12/1/0/2/0/0/0/10/2/1/0/113/5"},
    {"MP3", Stereo, "44.1", "128", "85/2/44100/16000/1/0/12/1/0/2/0/0/0/161/1/1/0/113/5"},
    {"MP3", Stereo, "44.1", "112", "85/2/44100/14000/1/0/12/1/0/2/0/0/0/109/1/1/0/113/5"},
    {"MP3", Stereo, "44.1", "96", "85/2/44100/12000/1/0/12/1/0/2/0/0/0/57/1/1/0/113/5"},
    {"MP3", Stereo, "22.05", "64", "85/2/22050/8000/1/0/12/1/0/2/0/0/0/208/0/1/0/113/5"},
    {"MP3", Stereo, "22.05", "56", "85/2/22050/7000/1/0/12/1/0/2/0/0/0/182/0/1/0/113/5"},
    {"MP3", Stereo, "22.05", "48", "85/2/22050/6000/1/0/12/1/0/2/0/0/0/156/0/1/0/113/5"},
    {"MP3", Mono, "48", "64", "85/1/48000/8000/1/0/12/1/0/2/0/0/0/192/0/1/0/113/5"},
    {"MP3", Mono, "48", "56", "85/1/48000/7000/1/0/12/1/0/2/0/0/0/168/0/1/0/113/5"},
    {"MP3", Mono, "48", "48", "85/1/48000/6000/1/0/12/1/0/2/0/0/0/144/0/1/0/113/5"},
    {"MP3", Mono, "44.1", "64", "85/1/44100/8000/1/0/12/1/0/2/0/0/0/208/0/1/0/113/5"},
    {"MP3", Mono, "44.1", "56", "85/1/44100/7000/1/0/12/1/0/2/0/0/0/182/0/1/0/113/5"},
    {"MP3", Mono, "44.1", "48", "85/1/44100/6000/1/0/12/1/0/2/0/0/0/156/0/1/0/113/5"},
    {"MP3", Mono, "22.05", "32", "85/1/22050/4000/1/0/12/1/0/2/0/0/0/104/0/1/0/113/5"},
    {"MP3", Mono, "22.05", "24", "85/1/16000/3000/1/0/12/1/0/2/0/0/0/108/0/1/0/113/5"},
    {"WMA", Stereo, "44.1", "64", "353/2/44100/8010/372/16/10/0/8/0/0/1/0/116/1/0/0"},
    {"WMA", Stereo, "32", "64", "353/2/32000/8000/512/16/10/0/8/0/0/1/0/0/2/0/0"},
    {"WMA", Stereo, "22.05", "32", "353/2/22050/4005/186/16/10/0/4/0/0/1/0/186/0/0/0"},
    {"WMA", Stereo, "22.05", "20", "353/2/22050/2519/117/16/10/0/4/0/0/0/0/117/0/0/0"},
    {"WMA", Mono, "32", "32", "353/1/32000/4000/256/16/10/0/8/0/0/1/0/0/1/0/0"},
    {"WMA", Mono, "22.05", "20", "353/1/22050/2519/117/16/10/0/4/0/0/0/0/117/0/0/0"},
}};
constexpr PresetRow LastRow = {nullptr, AnyMode, "22.05", "16",
                               "353/1/16000/2000/64/16/10/0/2/0/0/0/0/64/0/0/0"};

bool matches(const PresetRow& row, const WfTexts& t) {
    const int stereo = t.mode == "S" ? Stereo : Mono;
    return (row.codec == nullptr || t.codec == row.codec) &&
           (row.stereo == AnyMode || row.stereo == stereo) && t.rate == row.rate && t.bitRate == row.bitRate;
}

// The next field of a preset string as an integer within [0, max].
bool nextNumber(std::string& preset, int64_t max, int64_t& value) {
    const std::string text = GetNext(preset);
    int64_t parsed = 0;
    try {
        parsed = core::strToInt64(text);
    } catch (const core::ConvertError&) {
        return false;
    }
    if (parsed < 0 || parsed > max)
        return false;
    value = parsed;
    return true;
}

} // namespace

std::string GetNext(std::string& entry) {
    const size_t slash = entry.find('/');
    if (slash == std::string::npos)
        return entry;
    std::string result = entry.substr(0, slash);
    entry.erase(0, slash + 1);
    return result;
}

std::optional<std::string> presetStringFor(const WfTexts& texts) {
    for (const PresetRow& row : Rows)
        if (matches(row, texts))
            return std::string(row.preset);
    if (matches(LastRow, texts))
        return std::string(LastRow.preset);
    return std::nullopt;
}

std::optional<WaveFormat> parsePresetString(std::string preset) {
    constexpr int64_t Max16 = std::numeric_limits<uint16_t>::max();
    constexpr int64_t Max32 = std::numeric_limits<uint32_t>::max();
    constexpr int64_t MaxByte = std::numeric_limits<uint8_t>::max();
    int64_t tag = 0, channels = 0, rate = 0, avg = 0, align = 0, bits = 0, extra = 0;
    if (!nextNumber(preset, Max16, tag) || !nextNumber(preset, Max16, channels) ||
        !nextNumber(preset, Max32, rate) || !nextNumber(preset, Max32, avg) ||
        !nextNumber(preset, Max16, align) || !nextNumber(preset, Max16, bits) ||
        !nextNumber(preset, static_cast<int64_t>(platform::acm::WaveFormatExtraMax), extra))
        return std::nullopt;
    WaveFormat f;
    f.wFormatTag = static_cast<uint16_t>(tag);
    f.nChannels = static_cast<uint16_t>(channels);
    f.nSamplesPerSec = static_cast<uint32_t>(rate);
    f.nAvgBytesPerSec = static_cast<uint32_t>(avg);
    f.nBlockAlign = static_cast<uint16_t>(align);
    f.wBitsPerSample = static_cast<uint16_t>(bits);
    f.cbSize = static_cast<uint16_t>(extra);
    for (int64_t i = 0; i < extra; ++i) {
        int64_t byte = 0;
        if (!nextNumber(preset, MaxByte, byte))
            return std::nullopt;
        f.extra[static_cast<size_t>(i)] = static_cast<uint8_t>(byte);
    }
    return f;
}

WfTexts splitWfParameter(std::string parameter) {
    if (const size_t at = parameter.find(WfPrefix); at != std::string::npos)
        parameter.erase(at, std::char_traits<char>::length(WfPrefix));
    WfTexts t;
    t.codec = GetNext(parameter);
    t.mode = GetNext(parameter);
    t.rate = GetNext(parameter);
    t.bitRate = GetNext(parameter);
    return t;
}

std::string targetDetailsText(const WfTexts& texts) {
    return texts.bitRate + " kBit/s, " + texts.rate + " kHz, " + (texts.mode == "S" ? " Stereo" : " Mono");
}

} // namespace tools::audio_converter
