#include "tests/support/ifogen.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>

namespace kes::test {

namespace {

constexpr std::string_view Identifier = "DVDVIDEO-VTS";
constexpr size_t LastSectorOfSet = 0x0C;
constexpr size_t LastSectorOfIfo = 0x1C;
constexpr size_t Version = 0x20;
constexpr size_t EndOfTable = 0x80;
constexpr size_t TitleVobsSector = 0xC4;
constexpr size_t ChainTableSector = 0xCC;
constexpr size_t VideoAttributes = 0x200;
constexpr size_t AudioCount = 0x202;
constexpr size_t AudioRecords = 0x204;
constexpr size_t AudioRecordSize = 8;
constexpr size_t SubpictureCount = 0x254;
constexpr size_t SubpictureRecords = 0x256;
constexpr size_t SubpictureRecordSize = 6;

// Inside a program chain.
constexpr size_t ChainProgramCount = 0x02;
constexpr size_t ChainCellCount = 0x03;
constexpr size_t ChainTime = 0x04;
constexpr size_t ChainAudioControl = 0x0C;
constexpr size_t ChainSubpictureControl = 0x1C;
constexpr size_t ChainPalette = 0xA4;
constexpr size_t ChainProgramMapOffset = 0xE6;
constexpr size_t ChainCellPlaybackOffset = 0xE8;
constexpr size_t ChainCellPositionOffset = 0xEA;
constexpr size_t ChainHeaderSize = 0xEC;
constexpr size_t CellPlaybackSize = 24;
constexpr size_t CellPositionSize = 4;
constexpr size_t ChainTableHeader = 8;
constexpr size_t ChainTableEntry = 8;
constexpr uint32_t EntryChain = 0x80000000u;

void put16(std::string& out, size_t at, uint32_t v) {
    out[at] = static_cast<char>(v >> 8);
    out[at + 1] = static_cast<char>(v);
}

void put32(std::string& out, size_t at, uint32_t v) {
    put16(out, at, v >> 16);
    put16(out, at + 2, v & 0xFFFF);
}

char bcd(int64_t v) {
    return static_cast<char>((v / 10) << 4 | (v % 10));
}

void putTime(std::string& out, size_t at, double seconds, bool pal) {
    const int fps = pal ? 25 : 30;
    const auto frames = static_cast<int64_t>(std::llround(seconds * fps));
    const int64_t whole = frames / fps;
    out[at] = bcd(whole / 3600);
    out[at + 1] = bcd(whole / 60 % 60);
    out[at + 2] = bcd(whole % 60);
    out[at + 3] = static_cast<char>((pal ? 0x40 : 0xC0) | static_cast<uint8_t>(bcd(frames % fps)));
}

uint8_t clampByte(double v) {
    return static_cast<uint8_t>(std::clamp<long>(std::lround(v), 0, 255));
}

std::string chain(const IfoSpec& spec, const std::vector<IfoCell>& cells, size_t subpictures) {
    const size_t programMap = ChainHeaderSize;
    const size_t cellPlayback = programMap + ((cells.size() + 1) & ~size_t{1});
    const size_t cellPosition = cellPlayback + CellPlaybackSize * cells.size();
    std::string pgc(cellPosition + CellPositionSize * cells.size(), '\0');
    pgc[ChainProgramCount] = static_cast<char>(cells.size());
    pgc[ChainCellCount] = static_cast<char>(cells.size());
    double total = 0;
    for (const IfoCell& c : cells)
        total += c.seconds;
    putTime(pgc, ChainTime, total, spec.pal);
    for (size_t i = 0; i < spec.audio.size(); ++i)
        put16(pgc, ChainAudioControl + 2 * i, 0x8000u | static_cast<uint32_t>(i) << 8);
    for (size_t j = 0; j < subpictures; ++j) {
        const auto n =
            static_cast<uint32_t>(j < spec.subpictureNumbers.size() ? spec.subpictureNumbers[j] : j);
        put32(pgc, ChainSubpictureControl + 4 * j, 0x80000000u | n << 24 | n << 16 | n << 8 | n);
    }
    for (size_t k = 0; k < spec.palette.size(); ++k)
        put32(pgc, ChainPalette + 4 * k, rgbToYCrCb(spec.palette[k]));
    put16(pgc, ChainProgramMapOffset, static_cast<uint32_t>(programMap));
    put16(pgc, ChainCellPlaybackOffset, static_cast<uint32_t>(cellPlayback));
    put16(pgc, ChainCellPositionOffset, static_cast<uint32_t>(cellPosition));
    for (size_t i = 0; i < cells.size(); ++i) {
        pgc[programMap + i] = static_cast<char>(i + 1);
        const size_t at = cellPlayback + CellPlaybackSize * i;
        putTime(pgc, at + 4, cells[i].seconds, spec.pal);
        put32(pgc, at + 8, cells[i].firstSector);
        put32(pgc, at + 16, cells[i].lastSector);
        put32(pgc, at + 20, cells[i].lastSector);
        put16(pgc, cellPosition + CellPositionSize * i, cells[i].vobId);
        pgc[cellPosition + CellPositionSize * i + 3] = static_cast<char>(cells[i].cellId);
    }
    return pgc;
}

} // namespace

uint32_t rgbToYCrCb(uint32_t rgb) {
    const double r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    const double y = 16 + 0.257 * r + 0.504 * g + 0.098 * b;
    const double cb = 128 - 0.148 * r - 0.291 * g + 0.439 * b;
    const double cr = 128 + 0.439 * r - 0.368 * g - 0.071 * b;
    return static_cast<uint32_t>(clampByte(y)) << 16 | static_cast<uint32_t>(clampByte(cr)) << 8 |
           clampByte(cb);
}

std::string makeIfo(const IfoSpec& spec) {
    std::string ifo(IfoSectorBytes * IfoChainTableSector, '\0');
    std::copy(Identifier.begin(), Identifier.end(), ifo.begin());
    put16(ifo, Version, 0x0011);
    put32(ifo, EndOfTable, 0x3FF);
    put32(ifo, ChainTableSector, IfoChainTableSector);
    ifo[VideoAttributes] =
        static_cast<char>((spec.mpeg2 ? 0x40 : 0) | (spec.pal ? 0x10 : 0) | (spec.wide ? 0x0C : 0));
    ifo[VideoAttributes + 1] = static_cast<char>((spec.resolution & 3) << 2);
    if (spec.audio.size() > 8 || spec.subtitles.size() > 32)
        throw std::runtime_error("ifogen: too many streams");
    put16(ifo, AudioCount, static_cast<uint32_t>(spec.audio.size()));
    for (size_t i = 0; i < spec.audio.size(); ++i) {
        const IfoAudioAttributes& a = spec.audio[i];
        const size_t at = AudioRecords + AudioRecordSize * i;
        ifo[at] = static_cast<char>(a.coding << 5 | (a.language.empty() ? 0 : 0x04));
        ifo[at + 1] = static_cast<char>((a.channels - 1) & 7);
        if (a.language.size() == 2) {
            ifo[at + 2] = a.language[0];
            ifo[at + 3] = a.language[1];
        }
        ifo[at + 4] = static_cast<char>(a.mode);
        ifo[at + 5] = static_cast<char>(a.dolbySurround ? 0x04 : 0);
    }
    put16(ifo, SubpictureCount, static_cast<uint32_t>(spec.subtitles.size()));
    for (size_t j = 0; j < spec.subtitles.size(); ++j) {
        const size_t at = SubpictureRecords + SubpictureRecordSize * j;
        ifo[at] = static_cast<char>(spec.subtitles[j].empty() ? 0 : 0x01);
        if (spec.subtitles[j].size() == 2) {
            ifo[at + 2] = spec.subtitles[j][0];
            ifo[at + 3] = spec.subtitles[j][1];
        }
    }
    // The chain table: its header, one entry per chain, then the chains.
    std::vector<std::string> chains = {chain(spec, spec.cells, spec.subtitles.size())};
    for (const double seconds : spec.shorterChains) {
        IfoCell cell;
        cell.seconds = seconds;
        chains.push_back(chain(spec, {cell}, spec.subtitles.size()));
    }
    std::string table(ChainTableHeader + ChainTableEntry * chains.size(), '\0');
    put16(table, 0, static_cast<uint32_t>(chains.size()));
    for (size_t i = 0; i < chains.size(); ++i) {
        put32(table, ChainTableHeader + ChainTableEntry * i, EntryChain * (i == 0) | (uint32_t{1} << 24));
        put32(table, ChainTableHeader + ChainTableEntry * i + 4, static_cast<uint32_t>(table.size()));
        table += chains[i];
    }
    put32(table, 4, static_cast<uint32_t>(table.size() - 1));
    ifo += table;
    ifo.resize((ifo.size() + IfoSectorBytes - 1) / IfoSectorBytes * IfoSectorBytes, '\0');
    const auto sectors = static_cast<uint32_t>(ifo.size() / IfoSectorBytes);
    put32(ifo, LastSectorOfIfo, sectors - 1);
    put32(ifo, TitleVobsSector, sectors);
    put32(ifo, LastSectorOfSet, sectors * 2);
    return ifo;
}

std::filesystem::path writeIfo(const std::filesystem::path& folder, const IfoSpec& spec,
                               const std::string& name) {
    const std::filesystem::path path = folder / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string bytes = makeIfo(spec);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("ifogen: cannot write " + path.string());
    return path;
}

} // namespace kes::test
