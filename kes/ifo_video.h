#pragma once

// The video part of a DVD title set's IFO file: the two video attribute bytes and the length and
// TV standard of the longest program chain, read at fixed offsets (numbers big-endian). Every read is
// checked against the file's size: a short or damaged file gives an error, never a read outside it.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kes {

// A read beyond the end of the IFO file, or a file that cannot be opened.
class IfoReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct IfoTitleInfo {
    std::string minutes = "0"; // whole minutes of the longest chain, plain decimal
    std::string seconds = "0"; // the seconds beyond them
    uint8_t attributeA = 0;
    uint8_t attributeB = 0;
    std::string standard; // "PAL", "NTSC", or the text given when no chain tells
};

inline constexpr int64_t IfoVideoAttributeOffset = 0x200;
inline constexpr int64_t IfoChainTableSectorOffset = 0xCC;
inline constexpr int64_t IfoSectorSize = 2048;

// Reads the IFO bytes; standard is what the caller shows now. Throws IfoReadError.
IfoTitleInfo readIfoTitleInfo(std::string_view ifo, const std::string& standard);
// The same for a file, read at the offsets needed. Throws IfoReadError.
IfoTitleInfo ReadIfoTitleInfo(const std::string& path, const std::string& standard);

// The texts of the "Video Info" labels for the two attribute bytes.
struct VideoInfoTexts {
    std::string coding, standard, aspect, bitrateMode, resolution, letterboxed;
    bool wide = false; // the picture is 16:9
};
VideoInfoTexts videoInfoTexts(uint8_t attributeA, uint8_t attributeB);

} // namespace kes
