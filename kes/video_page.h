#pragma once

// The arithmetic of the video page, apart from the window: the suggested video bit rate, the resize
// and crop presets, the rounding of picture sizes, the user's preset file, the one-line settings
// description with the output names, and the post-processing level.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kes {

// ---- Bit rate ----

// The bit-rate suggestion's inputs as the boxes hold them. Numbers are read as the toolkit's StrToInt
// reads them (a text that is no number raises platform::core::ConvertError).
struct BitrateInputs {
    std::string size;         // wanted final size in MB
    std::string minutes;      // movie length in minutes
    std::string seconds;      // extra seconds
    std::string movieLength;  // the minutes box itself
    std::string audioBitrate; // kbit/s
};
// The suggested video bit rate in kbit/s: the bits per second the size leaves for the whole length,
// minus the audio. 0 when it cannot be computed (a box empty, the length not above 0).
//
// The size counts megabytes of 1,024,000 bytes against rates of 1000 bits, so the streams take 2.4 %
// less than a CD-R of that many megabytes holds (650 MB: 681,984,000 bytes); that is the room for the
// AVI's own headers and index (about 1.3 % for a two-hour movie). No codec gets more than its share:
// the codecs hit the rate they are given (within 1 %), and every extra per cent would go over the CD.
int32_t suggestedBitrate(const BitrateInputs& in);

// The quick estimate of the aspect buttons, from the size, the whole minutes and the audio bit rate
// (16/9 adds 10 %). Nothing when the size, the minutes or the audio bit rate are missing or the length
// is not above 0.
std::optional<int64_t> aspectEstimate(const std::string& size, const std::string& minutes,
                                      const std::string& audioBitrate, bool wide);

// ---- Presets and sizes ----

struct PresetSizes {
    std::string xSize, ySize, xCrop, yCrop;
};
// The sizes of a preset text ("640x344 => 640x264 [1.85*]"); nothing for a text that is no preset.
std::optional<PresetSizes> parsePreset(std::string_view text);
// The text of a user preset: "WxH => CWxCH #".
std::string userPresetText(const PresetSizes& sizes);
// The lines of "user.res": the items that hold "#", in list order.
std::vector<std::string> userPresetLines(const std::vector<std::string>& items);
// The value rounded to the nearest multiple of step, halves to the even multiple (4 -> 0, 12 -> 16).
int64_t roundToStep(int64_t value, int step);
// Picture sizes are best on multiples of this.
inline constexpr int SizeStep = 8;

// ---- Settings description and output names ----

struct DescriptionInputs {
    std::string divFR; // first output's bit rate
    bool lock1cd = false;
    std::string currentDescription;
    std::string kframe;
    std::string fps;
    bool halfres = false;
    bool crop = false;
    std::string xCrop, yCrop;
    bool downX = false, downY = false;
    std::string xSize, ySize;
    std::string audioCodec, sampleRate, audioBitrate;
    std::string codec;
    bool proceed2 = false;
    std::string rateMode;
};
// "1CD-PAL-512x208-MP3/48/128- DivX 3" and the like. Reading divFR can raise ConvertError.
std::string settingsDescription(const DescriptionInputs& in);

struct OutputNames {
    std::string finalFile, aviSS2;
};
// The final names named after the profile (blanks, and what a file name cannot hold, become "_") in
// the folders of the current ones; nothing for the profile "None" or a name of more than 50
// characters.
std::optional<OutputNames> profileOutputNames(const std::string& profile, const std::string& finalFile,
                                              const std::string& aviSS2);

// The DivX 4 first pass's log: the folder of the video AVI + the final file's name without its first
// ".avi" (any case) + ".log".
std::string firstPassLogName(const std::string& aviFile, const std::string& finalFile);

// The post-processing track snaps to multiples of 10 (halves to even: 15 -> 20, 25 -> 20).
int pplSnap(int position);

} // namespace kes
