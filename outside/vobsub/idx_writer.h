#pragma once

// The text index of a VobSub pair (".idx", version 7 layout): the settings (picture size, origin,
// palette, the language in use), then one block per stream: a comment with the language's name, the
// "id: xx, index: n" line, and per subtitle a "timestamp: hh:mm:ss:mmm, filepos: xxxxxxxxx" line,
// each run of one VOB cell introduced by a "Vob/Cell" comment line. Lines end in CR LF.

#include "outside/vobsub/title_ifo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace outside::vobsub {

struct IdxEntry {
    int64_t time = 0;     // 90 kHz from the start of the title
    uint64_t filepos = 0; // of the subtitle's first pack in the ".sub" file
    uint16_t vobId = 1;
    uint8_t cellId = 1;
    int64_t cellStart = 0;
};

struct IdxStream {
    SubpictureStream stream;
    std::vector<IdxEntry> entries;
};

// "hh:mm:ss:mmm" of a 90 kHz time, rounded to the millisecond.
std::string idxTime(int64_t ticks);

// The whole index; the first stream is the language in use.
std::string idxText(const TitleIfo& title, const std::vector<IdxStream>& streams);

} // namespace outside::vobsub
