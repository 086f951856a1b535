#pragma once

// DVD subpicture streams and navigation packs for the test VOB generator: subtitles as run-length
// coded bitmaps with their display control sequences (start with colours, contrast and area; stop
// after the duration), and NAV packs (PCI and DSI) that give each VOBU its start time and its
// VOB and cell numbers.

#include <cstdint>
#include <vector>

namespace kes::test {

struct VobSubtitle {
    double start = 0.0;    // seconds from the first picture
    double duration = 1.0; // until the stop command
    int x = 100;
    int y = 400;
    int width = 160; // even, so that both fields have the same lines
    int height = 32;
    bool noisy = false; // a bitmap that barely compresses: its unit spans several packs
};

struct VobSubpictureStream {
    uint8_t id = 0x20; // sub-stream id of private stream 1: 0x20 + stream number
    std::vector<VobSubtitle> subtitles;
};

struct VobSubpictureData {
    VobSubpictureStream stream;
    std::vector<uint8_t> elementary;           // the subpicture units back to back
    std::vector<std::vector<uint8_t>> units;   // each unit alone
    std::vector<std::vector<uint8_t>> bitmaps; // each subtitle's colour indexes (0-3), row by row
    std::vector<int64_t> pts;                  // each unit's time from the first picture, 90 kHz
};

// The bitmap of a subtitle: a frame, and inside it a pattern that depends on seed.
std::vector<uint8_t> subtitleBitmap(const VobSubtitle& subtitle, int seed);
// One subpicture unit: size, control offset, the two fields run-length coded, then the control
// sequences.
std::vector<uint8_t> encodeSubpictureUnit(const VobSubtitle& subtitle, const std::vector<uint8_t>& bitmap);
VobSubpictureData makeSubpictureData(const VobSubpictureStream& stream);

// 90 kHz ticks of the control sequences' delay unit.
inline constexpr int SubpictureDelayUnit = 1024;

struct VobNavInfo {
    int64_t scr = 0;
    uint32_t sector = 0;  // the pack's number in the VOB set
    int64_t startPts = 0; // first and end video time of the VOBU
    int64_t endPts = 0;
    uint16_t vobId = 1;
    uint8_t cellId = 1;
    int64_t cellElapsed = 0; // 90 kHz from the cell's start
    bool pal = true;
};

// A 2048-byte navigation pack: the given pack header, a system header, the PCI and DSI packets.
std::vector<uint8_t> makeNavPack(std::vector<uint8_t> packHeader, const VobNavInfo& info);

} // namespace kes::test
