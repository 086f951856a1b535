#pragma once

// The scan of a title's VOB files for subpicture packets. Each 2048-byte pack is read on its own:
// NAV packs give the VOB and cell of what follows and tie its time stamps to the title's clock;
// a packet of a chosen subpicture stream comes out as a pack of its own for the ".sub" file, with
// its time from the start of the title when it begins a subtitle.

#include "outside/vobsub/title_ifo.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace outside::vobsub {

inline constexpr size_t PackSize = 2048;
inline constexpr uint8_t FirstSubpictureId = 0x20;
inline constexpr uint8_t LastSubpictureId = 0x3F;

struct SubpicturePacket {
    int stream = 0;      // 0-31
    bool begins = false; // the packet carries a time stamp: a subtitle begins here
    int64_t time = 0;    // 90 kHz from the start of the title, when it begins one
    uint16_t vobId = 1;
    uint8_t cellId = 1;
    int64_t cellStart = 0; // the title time where that cell begins
    std::string pack;      // PackSize bytes: pack header, the packet, padding
};

class VobScanner {
public:
    using Sink = std::function<void(const SubpicturePacket&)>;

    // streams: the numbers (0-31) of the subpicture streams to take.
    VobScanner(const TitleIfo& title, std::vector<int> streams, Sink sink);

    // One pack of PackSize bytes. Returns false when it is no valid program stream pack.
    bool scanPack(std::string_view pack);

private:
    void navigation(std::string_view pci, std::string_view dsi);
    void subpicture(std::string_view header, std::string_view packet, int stream, const int64_t* pts);
    void noteTime(int64_t pts);

    const TitleIfo& title_;
    std::vector<int> streams_;
    Sink sink_;
    bool haveBase_ = false;
    int64_t offset_ = 0; // added to a time stamp to give the title time
    uint16_t vobId_ = 1;
    uint8_t cellId_ = 1;
    bool haveCell_ = false;
    int64_t cellStart_ = 0;
    int64_t lastEnd_ = 0;     // title time where the last VOBU ends
    std::vector<bool> begun_; // per stream: a subtitle has begun, so packets without a time continue it
};

// Scans the files in order, pack by pack. A file that cannot be read, holds no valid pack, or is
// missing throws VobSubError; damaged packs inside a file are skipped and counted in *damaged.
void scanVobFiles(const std::vector<std::string>& files, VobScanner& scanner, size_t* damaged);

} // namespace outside::vobsub
