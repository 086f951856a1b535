#include "outside/vobsub/title_ifo.h"
#include "outside/vobsub/vobsub_error.h"

#include <algorithm>
#include <cmath>

namespace outside::vobsub {

namespace {

constexpr std::string_view TitleSetIdentifier = "DVDVIDEO-VTS";
constexpr size_t SectorSize = 2048;
constexpr size_t ChainTableSector = 0xCC;
constexpr size_t VideoAttributes = 0x200;
constexpr size_t SubpictureCount = 0x254;
constexpr size_t SubpictureCodes = 0x258;
constexpr size_t SubpictureRecordSize = 6;
constexpr int MaxSubpictures = 32;

constexpr size_t ChainTableEntry = 8;
constexpr size_t ChainOffsetField = 4;
constexpr size_t ChainCellCount = 0x03;
constexpr size_t ChainTime = 0x04;
constexpr size_t ChainSubpictureControl = 0x1C;
constexpr size_t ChainPalette = 0xA4;
constexpr size_t ChainCellPlaybackOffset = 0xE8;
constexpr size_t ChainCellPositionOffset = 0xEA;
constexpr size_t CellPlaybackSize = 24;
constexpr size_t CellTime = 4;
constexpr size_t CellPositionSize = 4;

constexpr uint32_t StreamAvailable = 0x80000000u;
constexpr int FourThreeShift = 24;
constexpr int WideShift = 16;
constexpr uint32_t StreamNumberMask = 0x1F;
constexpr uint8_t AspectMask = 0x0C;
constexpr uint8_t PalBit = 0x10;

// Picture sizes by the resolution code of the second attribute byte; code 3 has half the lines.
constexpr std::array<int, 4> Widths = {720, 704, 352, 352};
constexpr int PalLines = 576;
constexpr int NtscLines = 480;
constexpr int HalfLinesCode = 3;

constexpr int RateCodeShift = 6;
constexpr int RatePal = 1;
constexpr int RateNtsc = 3;
constexpr int64_t NtscFrameTicks = 3003;
constexpr int64_t PalFrameTicks = 3600;

class IfoReader {
public:
    explicit IfoReader(std::string_view bytes) : bytes_(bytes) {}

    uint8_t u8(size_t at) const { return static_cast<uint8_t>(need(at, 1)[0]); }
    uint32_t be16(size_t at) const {
        const std::string_view b = need(at, 2);
        return static_cast<uint32_t>(static_cast<uint8_t>(b[0]) << 8 | static_cast<uint8_t>(b[1]));
    }
    uint32_t be32(size_t at) const { return be16(at) << 16 | be16(at + 2); }
    std::array<uint8_t, 4> bytes4(size_t at) const {
        const std::string_view b = need(at, 4);
        return {static_cast<uint8_t>(b[0]), static_cast<uint8_t>(b[1]), static_cast<uint8_t>(b[2]),
                static_cast<uint8_t>(b[3])};
    }
    std::string_view need(size_t at, size_t count) const {
        if (at > bytes_.size() || count > bytes_.size() - at)
            throw VobSubError("damaged IFO file: a field lies beyond the end of the file");
        return bytes_.substr(at, count);
    }

private:
    std::string_view bytes_;
};

int bcdValue(uint8_t b) {
    const int high = b >> 4, low = b & 0xF;
    return high > 9 || low > 9 ? -1 : high * 10 + low;
}

uint8_t clampByte(double v) {
    return static_cast<uint8_t>(std::clamp<long>(std::lround(v), 0, 255));
}

// The title's chain: the longest one, the first of equally long ones.
size_t titleChain(const IfoReader& in, size_t table) {
    const uint32_t chains = in.be16(table);
    if (chains == 0)
        throw VobSubError("damaged IFO file: the title set has no program chain");
    size_t best = 0;
    int64_t bestTicks = -1;
    for (uint32_t i = 1; i <= chains; ++i) {
        const size_t chain = table + in.be32(table + ChainTableEntry * i + ChainOffsetField);
        const int64_t ticks = playbackTicks(in.bytes4(chain + ChainTime));
        if (ticks > bestTicks) {
            bestTicks = ticks;
            best = chain;
        }
    }
    if (bestTicks < 0)
        throw VobSubError("damaged IFO file: no program chain has a valid playback time");
    return best;
}

void readChain(const IfoReader& in, size_t chain, bool wide, TitleIfo& title) {
    for (size_t j = 0; j < title.subpictures.size(); ++j) {
        const uint32_t control = in.be32(chain + ChainSubpictureControl + 4 * j);
        if (control & StreamAvailable)
            title.subpictures[j].number =
                static_cast<int>((control >> (wide ? WideShift : FourThreeShift)) & StreamNumberMask);
    }
    for (size_t k = 0; k < title.palette.size(); ++k)
        title.palette[k] = yCrCbToRgb(in.be32(chain + ChainPalette + 4 * k));
    const uint8_t cells = in.u8(chain + ChainCellCount);
    const size_t playback = chain + in.be16(chain + ChainCellPlaybackOffset);
    const size_t position = chain + in.be16(chain + ChainCellPositionOffset);
    int64_t start = 0;
    for (size_t k = 0; k < cells; ++k) {
        TitleCell cell;
        cell.vobId = static_cast<uint16_t>(in.be16(position + CellPositionSize * k));
        cell.cellId = in.u8(position + CellPositionSize * k + 3);
        cell.start = start;
        const int64_t ticks = playbackTicks(in.bytes4(playback + CellPlaybackSize * k + CellTime));
        if (ticks < 0)
            throw VobSubError("damaged IFO file: a cell has an invalid playback time");
        start += ticks;
        title.cells.push_back(cell);
    }
}

} // namespace

int64_t playbackTicks(const std::array<uint8_t, 4>& time) {
    const int hours = bcdValue(time[0]), minutes = bcdValue(time[1]), seconds = bcdValue(time[2]);
    const int frames = bcdValue(static_cast<uint8_t>(time[3] & 0x3F));
    if (hours < 0 || minutes < 0 || seconds < 0 || frames < 0)
        return -1;
    const int rate = time[3] >> RateCodeShift;
    const int64_t frameTicks = rate == RateNtsc ? NtscFrameTicks : rate == RatePal ? PalFrameTicks : 0;
    return (hours * 3600LL + minutes * 60LL + seconds) * PtsRate + frames * frameTicks;
}

uint32_t yCrCbToRgb(uint32_t entry) {
    const double y = 1.164 * (static_cast<double>((entry >> 16) & 0xFF) - 16);
    const double cr = static_cast<double>((entry >> 8) & 0xFF) - 128;
    const double cb = static_cast<double>(entry & 0xFF) - 128;
    const uint8_t r = clampByte(y + 1.596 * cr);
    const uint8_t g = clampByte(y - 0.813 * cr - 0.391 * cb);
    const uint8_t b = clampByte(y + 2.018 * cb);
    return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | b;
}

TitleIfo parseTitleIfo(std::string_view bytes) {
    if (bytes.substr(0, TitleSetIdentifier.size()) != TitleSetIdentifier)
        throw VobSubError("not a title set IFO file (it does not begin with \"DVDVIDEO-VTS\")");
    const IfoReader in(bytes);
    TitleIfo title;
    const uint8_t a = in.u8(VideoAttributes);
    const uint8_t b = in.u8(VideoAttributes + 1);
    const bool pal = (a & PalBit) != 0;
    const int resolution = (b >> 2) & 3;
    title.width = Widths[static_cast<size_t>(resolution)];
    title.height = (pal ? PalLines : NtscLines) / (resolution == HalfLinesCode ? 2 : 1);
    const bool wide = (a & AspectMask) == AspectMask;

    const uint32_t count = in.be16(SubpictureCount);
    if (count > MaxSubpictures)
        throw VobSubError("damaged IFO file: it announces " + std::to_string(count) + " subpicture streams");
    for (uint32_t j = 0; j < count; ++j) {
        const std::string_view code = in.need(SubpictureCodes + SubpictureRecordSize * j, 2);
        SubpictureStream stream;
        stream.number = static_cast<int>(j);
        if (std::all_of(code.begin(), code.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
            stream.code = std::string(code);
        title.subpictures.push_back(stream);
    }
    const size_t table = static_cast<size_t>(in.be32(ChainTableSector)) * SectorSize;
    readChain(in, titleChain(in, table), wide, title);
    return title;
}

} // namespace outside::vobsub
