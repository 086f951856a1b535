#include "kes/audio_formats.h"

#include "platform/core/text.h"

namespace kes {

namespace {

using List = std::vector<std::string>;

constexpr std::string_view Mp3 = "MP3";
constexpr std::string_view Stereo = "Stereo";

// A sample rate of one codec and mode: the bit rate set and the bit rates offered. The last row of a
// mode is its fallback: it takes every rate that has no row of its own.
struct RateRow {
    const char* rate;
    const char* bitrate;
    std::vector<std::string> bitrates;
};

struct ModeRows {
    List sampleRates;
    std::vector<RateRow> rows;
};

const List Mp3StereoBitrates = {"96", "112", "128", "160", "192"};
const List Mp3MonoBitrates = {"64", "56", "48"};

const ModeRows& rowsFor(bool mp3, bool stereo) {
    static const ModeRows mp3Stereo{{"48", "44.1"},
                                    {{"44.1", "96", Mp3StereoBitrates},
                                     {"22.05", "64", Mp3MonoBitrates},
                                     {"48", "96", Mp3StereoBitrates}}};
    static const ModeRows mp3Mono{
        {"48", "44.1"},
        {{"44.1", "64", Mp3MonoBitrates}, {"22.05", "32", {"32", "24"}}, {"48", "64", Mp3MonoBitrates}}};
    // WMA below 24 kbit/s cannot be encoded: those rates are not offered.
    static const ModeRows wmaStereo{{"44.1", "32", "22.05"},
                                    {{"32", "64", {"64"}}, {"22.05", "32", {"32"}}, {"44.1", "64", {"64"}}}};
    static const ModeRows wmaMono{{"32"}, {{"32", "32", {"32"}}}};
    if (mp3)
        return stereo ? mp3Stereo : mp3Mono;
    return stereo ? wmaStereo : wmaMono;
}

} // namespace

CompressionChoice compressionChoice(std::string_view codec, std::string_view mode,
                                    std::string_view sampleRate) {
    const ModeRows& modeRows = rowsFor(codec == Mp3, mode == Stereo);
    const RateRow* row = &modeRows.rows.back();
    for (const RateRow& candidate : modeRows.rows)
        if (sampleRate == candidate.rate) {
            row = &candidate;
            break;
        }
    return {modeRows.sampleRates, row->rate, row->bitrate, row->bitrates};
}

CodecDefaults codecDefaults(std::string_view codec) {
    if (codec == Mp3)
        return {"44.1", std::string(Stereo), "128", {"48", "44.1"}, Mp3StereoBitrates};
    return {"44.1", std::string(Stereo), "64", {"44.1", "32", "22.05"}, {"64"}};
}

std::string gainText(int position) {
    constexpr long double TenthsPerDecibel = 10.0L;
    constexpr size_t Width = 5;
    std::string number = platform::core::formatFixed(position / TenthsPerDecibel, 1);
    if (number.size() < Width)
        number.insert(0, Width - number.size(), ' ');
    return number + " db";
}

} // namespace kes
