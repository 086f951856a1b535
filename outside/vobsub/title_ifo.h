#pragma once

// What the extractor needs of a DVD title set's IFO file: the picture size from the video attributes,
// the subpicture streams with their language codes, and from the title's program chain (the longest
// one) the stream numbers of the subpictures, the 16-colour palette and the cells with their start
// times. Every read is checked against the file's bytes.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace outside::vobsub {

inline constexpr size_t MaxIfoSize = 16 * 1024 * 1024;
inline constexpr int64_t PtsRate = 90000;

struct SubpictureStream {
    std::string code; // two letters, or "" when the IFO names no language
    int number = 0;   // 0-31: sub-stream 0x20 + number in the VOB files
};

struct TitleCell {
    uint16_t vobId = 0;
    uint8_t cellId = 0;
    int64_t start = 0; // 90 kHz from the start of the title
};

struct TitleIfo {
    int width = 720;
    int height = 576;
    std::vector<SubpictureStream> subpictures;
    std::array<uint32_t, 16> palette{}; // 0xRRGGBB
    std::vector<TitleCell> cells;
};

// Throws VobSubError when the bytes are no title set IFO or a field points outside them.
TitleIfo parseTitleIfo(std::string_view bytes);

// A palette entry as the IFO stores it (0x00YYCrCb) in RGB (0xRRGGBB).
uint32_t yCrCbToRgb(uint32_t entry);

// The 90 kHz length of a BCD playback time (hours, minutes, seconds, frame-rate code and frames);
// -1 when the digits are not BCD.
int64_t playbackTicks(const std::array<uint8_t, 4>& time);

} // namespace outside::vobsub
