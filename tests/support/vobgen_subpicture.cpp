#include "tests/support/vobgen_subpicture.h"

#include <cmath>
#include <stdexcept>

namespace kes::test {

namespace {

constexpr int64_t PtsRate = 90000;
constexpr size_t PackSize = 2048;
constexpr uint8_t PrivateStream2 = 0xBF;
constexpr uint8_t SystemHeaderCode = 0xBB;
constexpr size_t PciLength = 980;  // PES length of the PCI packet
constexpr size_t DsiLength = 1018; // and of the DSI packet
constexpr uint8_t PciSubId = 0x00;
constexpr uint8_t DsiSubId = 0x01;

// Control commands of a subpicture unit.
constexpr uint8_t StartDisplay = 0x01;
constexpr uint8_t StopDisplay = 0x02;
constexpr uint8_t SetColour = 0x03;
constexpr uint8_t SetContrast = 0x04;
constexpr uint8_t SetArea = 0x05;
constexpr uint8_t SetFieldOffsets = 0x06;
constexpr uint8_t EndOfSequence = 0xFF;

constexpr int BorderWidth = 2;
constexpr uint32_t NoiseMultiplier = 1103515245u;
constexpr uint32_t NoiseIncrement = 12345u;

class NibbleWriter {
public:
    void put(uint32_t value, int nibbles) {
        for (int i = nibbles - 1; i >= 0; --i)
            putNibble(static_cast<uint8_t>((value >> (4 * i)) & 0xF));
    }
    void align() {
        if (half_)
            putNibble(0);
    }
    std::vector<uint8_t>& bytes() { return bytes_; }

private:
    void putNibble(uint8_t n) {
        if (half_)
            bytes_.back() = static_cast<uint8_t>(bytes_.back() | n);
        else
            bytes_.push_back(static_cast<uint8_t>(n << 4));
        half_ = !half_;
    }

    std::vector<uint8_t> bytes_;
    bool half_ = false;
};

// A run of one colour: 1-3 in one nibble, 4-15 in two, 16-63 in three, 64-255 in four; 0 stands for
// the rest of the line.
void putRun(NibbleWriter& out, int length, uint8_t colour) {
    const auto code = static_cast<uint32_t>(length << 2 | colour);
    if (length >= 1 && length <= 3)
        out.put(code, 1);
    else if (length >= 4 && length <= 15)
        out.put(code, 2);
    else if (length >= 16 && length <= 63)
        out.put(code, 3);
    else
        out.put(code, 4);
}

void encodeField(NibbleWriter& out, const VobSubtitle& s, const std::vector<uint8_t>& bitmap, int firstLine) {
    for (int y = firstLine; y < s.height; y += 2) {
        int x = 0;
        while (x < s.width) {
            const uint8_t colour = bitmap[static_cast<size_t>(y * s.width + x)];
            int run = 1;
            while (x + run < s.width && run < 255 &&
                   bitmap[static_cast<size_t>(y * s.width + x + run)] == colour)
                ++run;
            if (x + run == s.width)
                putRun(out, 0, colour); // to the end of the line
            else
                putRun(out, run, colour);
            x += run;
        }
        out.align();
    }
}

void put16(std::vector<uint8_t>& out, size_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void set16(std::vector<uint8_t>& out, size_t at, size_t v) {
    out[at] = static_cast<uint8_t>(v >> 8);
    out[at + 1] = static_cast<uint8_t>(v);
}

void put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

uint8_t bcd(int64_t v) {
    return static_cast<uint8_t>((v / 10) << 4 | (v % 10));
}

// hh mm ss and the frame byte (rate code in bits 7-6, BCD frames) of a 90 kHz duration.
void putBcdTime(std::vector<uint8_t>& out, size_t at, int64_t ticks, bool pal) {
    const int64_t seconds = ticks / PtsRate;
    const int fps = pal ? 25 : 30;
    const int64_t frames = (ticks % PtsRate) * fps / PtsRate;
    out[at] = bcd(seconds / 3600);
    out[at + 1] = bcd(seconds / 60 % 60);
    out[at + 2] = bcd(seconds % 60);
    out[at + 3] = static_cast<uint8_t>((pal ? 0x40 : 0xC0) | bcd(frames));
}

std::vector<uint8_t> privateStream2(uint8_t subId, size_t length) {
    std::vector<uint8_t> packet = {0, 0, 1, PrivateStream2};
    put16(packet, length);
    packet.push_back(subId);
    packet.resize(6 + length, 0);
    return packet;
}

} // namespace

std::vector<uint8_t> subtitleBitmap(const VobSubtitle& s, int seed) {
    std::vector<uint8_t> bitmap(static_cast<size_t>(s.width * s.height));
    uint32_t noise = static_cast<uint32_t>(seed) * 2654435761u + 7;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            uint8_t colour = 0;
            if (x < BorderWidth || y < BorderWidth || x >= s.width - BorderWidth ||
                y >= s.height - BorderWidth) {
                colour = 3;
            } else if (s.noisy) {
                noise = noise * NoiseMultiplier + NoiseIncrement;
                colour = static_cast<uint8_t>(noise >> 30);
            } else {
                colour = static_cast<uint8_t>((x / 8 + y / 4 + seed) % 3);
            }
            bitmap[static_cast<size_t>(y * s.width + x)] = colour;
        }
    return bitmap;
}

std::vector<uint8_t> encodeSubpictureUnit(const VobSubtitle& s, const std::vector<uint8_t>& bitmap) {
    if (s.width % 2 || s.height % 2 || s.width <= 2 * BorderWidth || s.height <= 2 * BorderWidth)
        throw std::runtime_error("vobgen: subtitle size");
    std::vector<uint8_t> unit(4, 0);
    NibbleWriter top;
    encodeField(top, s, bitmap, 0);
    NibbleWriter bottom;
    encodeField(bottom, s, bitmap, 1);
    const size_t topOffset = unit.size();
    unit.insert(unit.end(), top.bytes().begin(), top.bytes().end());
    const size_t bottomOffset = unit.size();
    unit.insert(unit.end(), bottom.bytes().begin(), bottom.bytes().end());

    const size_t first = unit.size();
    const size_t second = first + 4 + 3 + 3 + 7 + 5 + 1 + 1;
    put16(unit, 0); // shown at once
    put16(unit, second);
    unit.insert(unit.end(), {SetColour, 0x32, 0x10, SetContrast, 0xFF, 0xF0, SetArea});
    const int x2 = s.x + s.width - 1;
    const int y2 = s.y + s.height - 1;
    unit.push_back(static_cast<uint8_t>(s.x >> 4));
    unit.push_back(static_cast<uint8_t>((s.x & 0xF) << 4 | x2 >> 8));
    unit.push_back(static_cast<uint8_t>(x2));
    unit.push_back(static_cast<uint8_t>(s.y >> 4));
    unit.push_back(static_cast<uint8_t>((s.y & 0xF) << 4 | y2 >> 8));
    unit.push_back(static_cast<uint8_t>(y2));
    unit.push_back(SetFieldOffsets);
    put16(unit, topOffset);
    put16(unit, bottomOffset);
    unit.push_back(StartDisplay);
    unit.push_back(EndOfSequence);
    if (unit.size() != second)
        throw std::runtime_error("vobgen: control sequence layout");
    put16(unit, static_cast<size_t>(std::lround(s.duration * PtsRate / SubpictureDelayUnit)));
    put16(unit, second); // the last sequence points at itself
    unit.push_back(StopDisplay);
    unit.push_back(EndOfSequence);
    set16(unit, 0, unit.size());
    set16(unit, 2, first);
    return unit;
}

VobSubpictureData makeSubpictureData(const VobSubpictureStream& stream) {
    VobSubpictureData data;
    data.stream = stream;
    int seed = stream.id;
    for (const VobSubtitle& s : stream.subtitles) {
        data.bitmaps.push_back(subtitleBitmap(s, seed++));
        data.units.push_back(encodeSubpictureUnit(s, data.bitmaps.back()));
        data.pts.push_back(std::llround(s.start * PtsRate));
        data.elementary.insert(data.elementary.end(), data.units.back().begin(), data.units.back().end());
    }
    return data;
}

std::vector<uint8_t> makeNavPack(std::vector<uint8_t> pack, const VobNavInfo& info) {
    const std::vector<uint8_t> system = {0,    0,    1,    SystemHeaderCode,
                                         0x00, 0x12, 0x80, 0xC4,
                                         0xE1, 0x04, 0xE1, 0x7F,
                                         0xE0, 0xE0, 0xE8, 0xBD,
                                         0xE0, 0x3A, 0xBF, 0xE0,
                                         0x02, 0xC0, 0xC0, 0x20};
    pack.insert(pack.end(), system.begin(), system.end());
    std::vector<uint8_t> pci = privateStream2(PciSubId, PciLength);
    constexpr size_t PciData = 7; // after the PES prefix and the sub-stream byte
    put32(pci, PciData, info.sector);
    put32(pci, PciData + 12, static_cast<uint32_t>(info.startPts));
    put32(pci, PciData + 16, static_cast<uint32_t>(info.endPts));
    putBcdTime(pci, PciData + 24, info.cellElapsed, info.pal);
    std::vector<uint8_t> dsi = privateStream2(DsiSubId, DsiLength);
    put32(dsi, PciData, static_cast<uint32_t>(info.scr));
    put32(dsi, PciData + 4, info.sector);
    dsi[PciData + 24] = static_cast<uint8_t>(info.vobId >> 8);
    dsi[PciData + 25] = static_cast<uint8_t>(info.vobId);
    dsi[PciData + 27] = info.cellId;
    putBcdTime(dsi, PciData + 28, info.cellElapsed, info.pal);
    pack.insert(pack.end(), pci.begin(), pci.end());
    pack.insert(pack.end(), dsi.begin(), dsi.end());
    if (pack.size() != PackSize)
        throw std::runtime_error("vobgen: navigation pack size");
    return pack;
}

} // namespace kes::test
