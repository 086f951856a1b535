#pragma once

// A generator of a DVD title set's information file ("VTS_nn_0.IFO"): the video attributes, the
// audio and subpicture stream attributes with their language codes, and the program chain table
// with the title's chain (its length, the subpicture stream numbers, the 16-colour palette, the
// programs and cells with their times and numbers) and optionally shorter chains after it.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kes::test {

struct IfoAudioAttributes {
    uint8_t coding = 0;   // 0 AC3, 2 MPEG-1, 3 MPEG-2, 4 LPCM, 6 DTS
    std::string language; // two letters; empty: no language code
    uint8_t mode = 1;     // byte 4: 1 normal, 2 visually impaired, 3-4 comments
    bool dolbySurround = false;
    int channels = 2;
};

struct IfoCell {
    double seconds = 1.0;
    uint16_t vobId = 1;
    uint8_t cellId = 1;
    uint32_t firstSector = 0;
    uint32_t lastSector = 0;
};

struct IfoSpec {
    bool mpeg2 = true;
    bool pal = true;
    bool wide = false;  // 16:9
    int resolution = 0; // 0 720, 1 704, 2 352 wide; 3 352 x 240/288
    std::vector<IfoAudioAttributes> audio;
    std::vector<std::string> subtitles;       // language codes in IFO order ("" for none)
    std::vector<int> subpictureNumbers;       // the stream number (0x20 + n) of each; empty: 0, 1, 2, ...
    std::array<uint32_t, 16> palette{};       // 0xRRGGBB; stored as Y, Cr, Cb
    std::vector<IfoCell> cells = {IfoCell{}}; // of the title's chain
    std::vector<double> shorterChains;        // lengths of further chains (seconds)
};

// The palette entry the IFO stores (0x00YYCrCb, studio-range BT.601) for an RGB colour.
uint32_t rgbToYCrCb(uint32_t rgb);

std::string makeIfo(const IfoSpec& spec);
std::filesystem::path writeIfo(const std::filesystem::path& folder, const IfoSpec& spec,
                               const std::string& name = "VTS_01_0.IFO");

// Offsets of the file that tests damage on purpose.
inline constexpr size_t IfoChainTableSector = 1; // the chain table starts at 2048
inline constexpr size_t IfoSectorBytes = 2048;

} // namespace kes::test
