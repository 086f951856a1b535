#pragma once

// VobSub subtitles as the subtitle filter shows them: the ".idx" index (picture size, palette, the
// languages with their time stamps and positions in the ".sub" file, the default language) and the
// subpictures of one language decoded from the ".sub" bytes (an MPEG program stream of private stream
// 1 packets, each subpicture run-length coded in two fields with its display commands). Everything is
// read through bounds-checked readers; a damaged part is left out or reported, never followed.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace outside::dvobsub {

struct IdxLanguage {
    std::string id;                                   // "en"
    int index = 0;                                    // the stream index: sub-stream 0x20 + index
    std::vector<std::pair<int64_t, uint64_t>> stamps; // time (100-ns units) and position in the ".sub"
};

struct IdxFile {
    int width = 720;
    int height = 576;
    uint32_t palette[16] = {}; // 0x00RRGGBB
    int defaultIndex = 0;      // "langidx:"
    std::vector<IdxLanguage> languages;
};

// Nothing (with why in error) when the text is no usable index.
std::optional<IdxFile> parseIdx(const std::string& text, std::string* error);

// One subpicture, ready to draw: 0xAARRGGBB pixels of its rectangle in the index's picture size.
struct Subpicture {
    int64_t start = 0; // 100-ns units
    int64_t stop = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// The subpictures of the language with this stream index; error says why when none could be read.
std::vector<Subpicture> readSubpictures(const IdxFile& idx, int streamIndex, std::span<const uint8_t> sub,
                                        std::string* error);

// Decodes one subpicture unit (its own bytes, from its size field on) shown from time on.
std::optional<Subpicture> decodeSpu(std::span<const uint8_t> spu, int64_t time, const uint32_t palette[16]);

// Draws a subpicture over a top-down 0xAARRGGBB frame, scaled from the index's picture size to the
// frame's and moved up by shiftPercent of the frame's height (0: where the index puts it).
void drawSubpicture(const Subpicture& picture, int sourceWidth, int sourceHeight, uint32_t* frame, int width,
                    int height, int shiftPercent);

} // namespace outside::dvobsub
