#include "kes/video_page.h"

#include "kes/text_helpers.h"

#include "platform/core/paths.h"
#include "platform/core/text.h"

#include <algorithm>
#include <limits>

namespace kes {

namespace core = platform::core;

namespace {

// Bits of a megabyte (8 × 1024) over the seconds give kbit/s.
constexpr long double KbitsPerMegabyte = 8192.0L;
constexpr long double SecondsPerMinute = 60.0L;
// The estimate of the aspect buttons: kbit/s per MB per minute, and the share that 16/9 adds.
constexpr long double EstimateKbitsPerMbMinute = 133.333L;
constexpr long double WideShare = 0.1L;

constexpr int PresetMinLength = 9;
constexpr int PresetMarkPos = 9;
constexpr char PresetMark = '=';
constexpr int FieldLength = 3;
constexpr int ResizeWidthPos = 1;
constexpr int ResizeHeightPos = 5;
constexpr int CropWidthPos = 12;
constexpr int CropHeightPos = 16;
constexpr char UserPresetMark = '#';

constexpr int32_t TwoCdBitrate = 1000;
constexpr const char* KeyFramesNone = "9999";
constexpr const char* PalRate = "25";
constexpr const char* NoProfile = "None";
constexpr std::size_t MaxProfileNameLength = 50;
constexpr const char* AviExt = ".AVI";

constexpr int PplStep = 10;

std::size_t utf8Length(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

int32_t clampToInt32(int64_t value) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

} // namespace

int32_t suggestedBitrate(const BitrateInputs& in) {
    int64_t v = 0;
    // An empty audio bit rate (its list being refilled) gives no suggestion rather than an error.
    if (!in.size.empty() && !in.seconds.empty() && !in.minutes.empty() && !in.audioBitrate.empty() &&
        core::strToInt(in.movieLength) > 0) {
        const long double seconds = static_cast<long double>(core::strToInt(in.seconds)) +
                                    SecondsPerMinute * core::strToInt(in.minutes);
        // A negative seconds box could cancel the minutes: no length, no suggestion.
        if (seconds > 0) {
            v = core::roundHalfEven(static_cast<long double>(core::strToInt(in.size)) *
                                        (KbitsPerMegabyte / seconds) -
                                    core::strToInt(in.audioBitrate));
        }
    }
    return clampToInt32(v);
}

std::optional<int64_t> aspectEstimate(const std::string& size, const std::string& minutes,
                                      const std::string& audioBitrate, bool wide) {
    if (size.empty() || minutes.empty() || audioBitrate.empty())
        return std::nullopt;
    const int32_t length = core::strToInt(minutes);
    if (length <= 0)
        return std::nullopt;
    int64_t v = core::roundHalfEven(static_cast<long double>(core::strToInt(size)) / length *
                                        EstimateKbitsPerMbMinute -
                                    core::strToInt(audioBitrate));
    if (wide)
        v += core::roundHalfEven(static_cast<long double>(v) * WideShare);
    return v;
}

std::optional<PresetSizes> parsePreset(std::string_view text) {
    if (text.size() < static_cast<std::size_t>(PresetMinLength) || text[PresetMarkPos - 1] != PresetMark)
        return std::nullopt;
    return PresetSizes{
        core::copy(text, ResizeWidthPos, FieldLength), core::copy(text, ResizeHeightPos, FieldLength),
        core::copy(text, CropWidthPos, FieldLength), core::copy(text, CropHeightPos, FieldLength)};
}

std::string userPresetText(const PresetSizes& sizes) {
    return sizes.xSize + "x" + sizes.ySize + " => " + sizes.xCrop + "x" + sizes.yCrop + " #";
}

std::vector<std::string> userPresetLines(const std::vector<std::string>& items) {
    std::vector<std::string> lines;
    for (const auto& item : items) {
        if (item.find(UserPresetMark) != std::string::npos)
            lines.push_back(item);
    }
    return lines;
}

int64_t roundToStep(int64_t value, int step) {
    if (step <= 0)
        return value;
    return core::roundHalfEven(static_cast<long double>(value) / step) * step;
}

std::string settingsDescription(const DescriptionInputs& in) {
    std::string d = core::strToInt(in.divFR) < TwoCdBitrate ? "1CD" : "2CD";
    // A locked CD count keeps the one the description shows; an empty description has none to keep.
    if (in.lock1cd && !in.currentDescription.empty())
        d = in.currentDescription.substr(0, 1) + "CD";
    if (in.kframe == KeyFramesNone)
        d += "/VKI";
    d += in.fps == PalRate ? "-PAL" : "-NTSC";
    if (in.halfres)
        d += "- 1/2Res";
    else if (in.crop)
        d += "-" + in.xCrop + "x" + in.yCrop;
    else if (in.downX && in.downY)
        d += "-" + in.xSize + "x" + in.ySize;
    d += "-" + in.audioCodec + "/" + in.sampleRate + "/" + in.audioBitrate;
    if (contains(in.codec, "4")) {
        d += "- DivX 4";
        if (in.proceed2 || contains(in.rateMode, "2-pass"))
            d += " [2-pass]";
        else if (contains(in.rateMode, "quality"))
            d += " [1-pass HQ]";
        else
            d += " [1-pass]";
    } else {
        d += "- DivX 3";
    }
    return d;
}

std::optional<OutputNames> profileOutputNames(const std::string& profile, const std::string& finalFile,
                                              const std::string& aviSS2) {
    if (profile == NoProfile || utf8Length(profile) > MaxProfileNameLength)
        return std::nullopt;
    // A "/" in the title would put the file into a folder of its own, one deeper at every refresh.
    std::string name = fileNameOfTitle(profile);
    std::replace(name.begin(), name.end(), ' ', '_');
    return OutputNames{core::extractFilePath(finalFile) + name + ".avi",
                       core::extractFilePath(aviSS2) + name + "_stream2.avi"};
}

std::string firstPassLogName(const std::string& aviFile, const std::string& finalFile) {
    std::string name = core::extractFileName(finalFile);
    if (const int at = core::pos(AviExt, core::upperAscii(name)); at > 0)
        name = core::deleteText(name, at, static_cast<int>(std::string_view(AviExt).size()));
    return core::extractFilePath(aviFile) + name + ".log";
}

int pplSnap(int position) {
    if (position % PplStep == 0)
        return position;
    return static_cast<int>(roundToStep(position, PplStep));
}

} // namespace kes
