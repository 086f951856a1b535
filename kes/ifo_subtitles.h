#pragma once

// The subpicture (subtitle) languages of a DVD title's IFO file: the number of streams at 0x255 and
// the 2-letter code in bytes 2-3 of each stream's 6-byte record from 0x256.

#include <string>
#include <string_view>
#include <vector>

namespace kes {

inline constexpr size_t IfoSubpictureCountOffset = 0x255;
inline constexpr size_t IfoSubpictureCodesOffset = 0x258;
inline constexpr size_t IfoSubpictureRecordSize = 6;
// A title carries at most 32 subpicture streams; a larger count is damage.
inline constexpr int MaxSubpictureStreams = 32;

struct IfoSubtitles {
    // The language names in IFO order, numbered as the list shows them ("English", "Francais",
    // "English2"); "????" for an unknown code.
    std::vector<std::string> names;
    // The head ends before the count or inside a code the count announces.
    bool truncated = false;
};

IfoSubtitles parseIfoSubtitles(std::string_view head);

} // namespace kes
