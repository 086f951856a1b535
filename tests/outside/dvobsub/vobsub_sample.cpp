#include "tests/outside/dvobsub/vobsub_sample.h"

#include <cstdint>

namespace kes::test {

namespace {

void put16(std::string& out, unsigned value) {
    out += static_cast<char>(value >> 8 & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

// The subpicture unit: two fields of lines that each run to their end in colour 1, then the
// display commands (show at once, hide after 88 units of 1024/90000 s).
std::string spu() {
    std::string field;
    for (int line = 0; line < SubHeight / 2; ++line)
        field += std::string("\x00\x01", 2);
    const unsigned top = 4;
    const unsigned bottom = top + static_cast<unsigned>(field.size());
    const unsigned control = bottom + static_cast<unsigned>(field.size());
    std::string first;
    put16(first, 0);
    const unsigned second = control + 4 + 3 + 3 + 7 + 5 + 1 + 1;
    put16(first, second);
    first += '\x03';
    first += '\x32';
    first += '\x10';
    first += '\x04';
    first += '\x00';
    first += '\xF0';
    const unsigned x2 = SubX + SubWidth - 1;
    const unsigned y2 = SubY + SubHeight - 1;
    first += '\x05';
    first += static_cast<char>(SubX >> 4);
    first += static_cast<char>((SubX & 0xF) << 4 | x2 >> 8);
    first += static_cast<char>(x2 & 0xFF);
    first += static_cast<char>(SubY >> 4);
    first += static_cast<char>((SubY & 0xF) << 4 | y2 >> 8);
    first += static_cast<char>(y2 & 0xFF);
    first += '\x06';
    put16(first, top);
    put16(first, bottom);
    first += '\x01';
    first += '\xFF';
    std::string last;
    put16(last, 88);
    put16(last, second);
    last += '\x02';
    last += '\xFF';
    std::string body = field + field + first + last;
    std::string unit;
    put16(unit, static_cast<unsigned>(4 + body.size()));
    put16(unit, control);
    return unit + body;
}

} // namespace

std::string sampleIdx() {
    return "# VobSub index file, v7 (do not modify this line!)\r\n"
           "size: 160x120\r\n"
           "palette: 000000, ffffff, 808080, 404040, 000000, 000000, 000000, 000000, 000000, 000000, 000000, "
           "000000, 000000, 000000, 000000, 000000\r\n"
           "langidx: 0\r\n"
           "# English\r\n"
           "id: en, index: 0\r\n"
           "# Vob/Cell ID: 1, 1 (PTS: 0)\r\n"
           "timestamp: 00:00:00:500, filepos: 000000000\r\n";
}

std::string sampleSub() {
    const std::string pack("\x00\x00\x01\xBA\x44\x00\x04\x00\x04\x01\x01\x89\xC3\xF8", 14);
    const std::string unit = spu();
    std::string pes("\x00\x00\x01\xBD", 4);
    put16(pes, static_cast<unsigned>(3 + 5 + 1 + unit.size()));
    pes += std::string("\x81\x80\x05\x21\x00\x01\x00\x01", 8);
    pes += '\x20';
    pes += unit;
    std::string sub = pack + pes;
    sub.resize(2048, '\xFF');
    return sub;
}

} // namespace kes::test
