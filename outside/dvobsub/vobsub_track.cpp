#include "outside/dvobsub/vobsub_track.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <sstream>

namespace outside::dvobsub {

namespace {

constexpr int64_t kUnitsPerMs = 10'000;
constexpr size_t kMaxStampDigits = 6;
// A subpicture without a stop command stays this long.
constexpr int64_t kDefaultShow = 5'000 * kUnitsPerMs;
// Display delays count in units of 1024 / 90000 s.
constexpr int64_t kDelayUnit = 1024;
constexpr int64_t kDelayClock = 90'000;
constexpr int kMaxSide = 4096;
constexpr int kMaxPackets = 64;
constexpr uint8_t kPrivateStream1 = 0xBD;
constexpr uint8_t kPackStart = 0xBA;
constexpr int kSubStreamBase = 0x20;
constexpr size_t kMaxStamps = 100'000;

bool startsWith(const std::string& line, const char* prefix) {
    return line.rfind(prefix, 0) == 0;
}

std::string trim(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    size_t first = 0;
    while (first < text.size() && (text[first] == ' ' || text[first] == '\t'))
        ++first;
    return text.substr(first);
}

// "hh:mm:ss:mmm" to 100-ns units. Each field holds at most kMaxStampDigits digits, so that the time
// of any field values fits.
std::optional<int64_t> stampTime(const std::string& text) {
    std::array<int64_t, 4> fields{}; // hours, minutes, seconds, milliseconds
    size_t at = 0;
    for (size_t f = 0; f < fields.size(); ++f) {
        if (f > 0 && (at >= text.size() || text[at++] != ':'))
            return std::nullopt;
        const size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < kMaxStampDigits)
            fields[f] = fields[f] * 10 + (text[at++] - '0');
        if (at == start || (at < text.size() && text[at] >= '0' && text[at] <= '9'))
            return std::nullopt;
    }
    return ((fields[0] * 3600 + fields[1] * 60 + fields[2]) * 1000 + fields[3]) * kUnitsPerMs;
}

struct Bytes {
    std::span<const uint8_t> data;
    bool has(size_t at, size_t count) const { return at <= data.size() && count <= data.size() - at; }
    uint8_t u8(size_t at) const { return has(at, 1) ? data[at] : 0; }
    uint16_t u16(size_t at) const { return static_cast<uint16_t>(u8(at) << 8 | u8(at + 1)); }
};

// Reads the nibbles of one field of the run-length coded picture.
struct NibbleReader {
    Bytes bytes;
    size_t end;
    size_t pos; // in nibbles
    bool done() const { return pos / 2 >= end; }
    int next() {
        if (done())
            return 0;
        const uint8_t byte = bytes.u8(pos / 2);
        const int value = (pos % 2 == 0) ? byte >> 4 : byte & 0x0F;
        ++pos;
        return value;
    }
    void align() { pos = (pos + 1) / 2 * 2; }
};

void decodeField(NibbleReader reader, int firstLine, int width, int height, const uint32_t colours[4],
                 std::vector<uint32_t>& pixels) {
    for (int y = firstLine; y < height && !reader.done(); y += 2) {
        int x = 0;
        while (x < width && !reader.done()) {
            int v = reader.next();
            if (v < 0x4) {
                v = v << 4 | reader.next();
                if (v < 0x10) {
                    v = v << 4 | reader.next();
                    if (v < 0x40)
                        v = v << 4 | reader.next();
                }
            }
            const int colour = v & 3;
            int run = v >> 2;
            if (run == 0)
                run = width - x; // to the end of the line
            run = std::min(run, width - x);
            std::fill_n(pixels.begin() + static_cast<long>(y) * width + x, run, colours[colour]);
            x += run;
        }
        reader.align();
    }
}

} // namespace

std::optional<IdxFile> parseIdx(const std::string& text, std::string* error) {
    IdxFile idx;
    std::istringstream lines(text);
    std::string line;
    bool any = false;
    size_t stamps = 0;
    while (std::getline(lines, line)) {
        line = trim(line);
        if (startsWith(line, "size:")) {
            int w = 0, h = 0;
            if (std::sscanf(line.c_str() + 5, "%dx%d", &w, &h) == 2 && w > 0 && h > 0 && w <= kMaxSide &&
                h <= kMaxSide) {
                idx.width = w;
                idx.height = h;
            }
        } else if (startsWith(line, "palette:")) {
            std::istringstream colours(line.substr(8));
            std::string colour;
            for (int i = 0; i < 16 && std::getline(colours, colour, ','); ++i)
                idx.palette[i] =
                    static_cast<uint32_t>(std::strtoul(trim(colour).c_str(), nullptr, 16)) & 0xFFFFFF;
        } else if (startsWith(line, "langidx:")) {
            idx.defaultIndex = std::atoi(line.c_str() + 8);
        } else if (startsWith(line, "id:")) {
            IdxLanguage language;
            language.id = trim(
                line.substr(3, line.find(',') == std::string::npos ? std::string::npos : line.find(',') - 3));
            const size_t at = line.find("index:");
            if (at == std::string::npos)
                continue;
            language.index = std::atoi(line.c_str() + at + 6);
            idx.languages.push_back(language);
        } else if (startsWith(line, "timestamp:") && !idx.languages.empty() && stamps < kMaxStamps) {
            const size_t comma = line.find(',');
            const size_t pos = line.find("filepos:");
            const auto time =
                stampTime(trim(line.substr(10, comma == std::string::npos ? std::string::npos : comma - 10)));
            if (!time || pos == std::string::npos)
                continue; // a damaged line is left out
            idx.languages.back().stamps.emplace_back(*time,
                                                     std::strtoull(line.c_str() + pos + 8, nullptr, 16));
            ++stamps;
            any = true;
        }
    }
    if (idx.languages.empty() || !any) {
        if (error)
            *error = "the index names no subtitles";
        return std::nullopt;
    }
    return idx;
}

std::optional<Subpicture> decodeSpu(std::span<const uint8_t> spu, int64_t time, const uint32_t palette[16]) {
    const Bytes bytes{spu};
    const size_t size = bytes.u16(0);
    const size_t control = bytes.u16(2);
    if (size < 4 || size > spu.size() || control < 4 || control >= size)
        return std::nullopt;
    Subpicture picture;
    picture.start = time;
    picture.stop = -1;
    int colourIndex[4] = {0, 1, 2, 3};
    int alpha[4] = {0, 15, 15, 15};
    int x1 = 0, x2 = -1, y1 = 0, y2 = -1;
    size_t top = 0, bottom = 0;
    size_t sequence = control;
    for (int guard = 0; guard < 16 && bytes.has(sequence, 4); ++guard) {
        const int64_t delay = bytes.u16(sequence) * kDelayUnit * 10'000'000 / kDelayClock;
        const size_t next = bytes.u16(sequence + 2);
        size_t at = sequence + 4;
        while (at < size) {
            const uint8_t command = bytes.u8(at++);
            if (command == 0xFF)
                break;
            if (command == 0x01 || command == 0x00) {
                picture.start = time + delay;
            } else if (command == 0x02) {
                picture.stop = time + delay;
            } else if (command == 0x03 || command == 0x04) {
                int* target = command == 0x03 ? colourIndex : alpha;
                const uint8_t a = bytes.u8(at), b = bytes.u8(at + 1);
                target[3] = a >> 4;
                target[2] = a & 0xF;
                target[1] = b >> 4;
                target[0] = b & 0xF;
                at += 2;
            } else if (command == 0x05) {
                x1 = bytes.u8(at) << 4 | bytes.u8(at + 1) >> 4;
                x2 = (bytes.u8(at + 1) & 0xF) << 8 | bytes.u8(at + 2);
                y1 = bytes.u8(at + 3) << 4 | bytes.u8(at + 4) >> 4;
                y2 = (bytes.u8(at + 4) & 0xF) << 8 | bytes.u8(at + 5);
                at += 6;
            } else if (command == 0x06) {
                top = bytes.u16(at);
                bottom = bytes.u16(at + 2);
                at += 4;
            } else {
                break; // unknown command: the rest of this sequence cannot be read
            }
        }
        if (next <= sequence || next >= size)
            break;
        sequence = next;
    }
    picture.x = x1;
    picture.y = y1;
    picture.width = x2 - x1 + 1;
    picture.height = y2 - y1 + 1;
    if (picture.width <= 0 || picture.height <= 0 || picture.width > kMaxSide || picture.height > kMaxSide ||
        top < 4 || bottom < 4 || top >= control || bottom >= control)
        return std::nullopt;
    uint32_t colours[4];
    for (int i = 0; i < 4; ++i)
        colours[i] = static_cast<uint32_t>(alpha[i] * 17) << 24 | (palette[colourIndex[i] & 0xF] & 0xFFFFFF);
    picture.pixels.assign(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height), 0);
    decodeField({bytes, control, top * 2}, 0, picture.width, picture.height, colours, picture.pixels);
    decodeField({bytes, control, bottom * 2}, 1, picture.width, picture.height, colours, picture.pixels);
    return picture;
}

namespace {

// The bytes of the subpicture unit of sub-stream id whose first packet begins at position.
std::vector<uint8_t> gatherSpu(Bytes sub, uint64_t position, int substream) {
    std::vector<uint8_t> spu;
    size_t at = static_cast<size_t>(std::min<uint64_t>(position, sub.data.size()));
    size_t wanted = 0;
    for (int packets = 0; packets < kMaxPackets && sub.has(at, 4); ++packets) {
        if (sub.u8(at) != 0 || sub.u8(at + 1) != 0 || sub.u8(at + 2) != 1)
            break;
        const uint8_t code = sub.u8(at + 3);
        if (code == kPackStart) {
            const bool mpeg2 = (sub.u8(at + 4) & 0xC0) == 0x40;
            at += mpeg2 ? 14 + (sub.u8(at + 13) & 7) : 12;
            continue;
        }
        const size_t length = sub.u16(at + 4);
        const size_t payload = at + 6;
        const size_t next = payload + length;
        if (code == kPrivateStream1 && sub.has(payload, 3)) {
            const size_t header = payload + 3 + sub.u8(payload + 2);
            if (header < next && sub.has(header, 1) && sub.u8(header) == kSubStreamBase + substream) {
                const size_t from = header + 1;
                const size_t to = std::min(next, sub.data.size());
                if (from < to)
                    spu.insert(spu.end(), sub.data.begin() + static_cast<long>(from),
                               sub.data.begin() + static_cast<long>(to));
                if (wanted == 0 && spu.size() >= 2)
                    wanted = static_cast<size_t>(spu[0]) << 8 | spu[1];
                if (wanted > 0 && spu.size() >= wanted)
                    break;
            }
        }
        at = next;
    }
    if (wanted == 0 || spu.size() < wanted)
        return {};
    spu.resize(wanted);
    return spu;
}

} // namespace

std::vector<Subpicture> readSubpictures(const IdxFile& idx, int streamIndex, std::span<const uint8_t> sub,
                                        std::string* error) {
    std::vector<Subpicture> pictures;
    const auto language = std::find_if(idx.languages.begin(), idx.languages.end(),
                                       [&](const IdxLanguage& l) { return l.index == streamIndex; });
    if (language == idx.languages.end()) {
        if (error)
            *error = "the index has no language " + std::to_string(streamIndex);
        return pictures;
    }
    size_t damaged = 0;
    for (const auto& [time, position] : language->stamps) {
        const std::vector<uint8_t> spu = gatherSpu(Bytes{sub}, position, language->index);
        auto picture = spu.empty() ? std::nullopt : decodeSpu(spu, time, idx.palette);
        if (!picture) {
            ++damaged;
            continue;
        }
        pictures.push_back(std::move(*picture));
    }
    for (size_t i = 0; i < pictures.size(); ++i)
        if (pictures[i].stop < pictures[i].start)
            pictures[i].stop =
                i + 1 < pictures.size() ? pictures[i + 1].start : pictures[i].start + kDefaultShow;
    if (pictures.empty() && error)
        *error = damaged ? "the subtitle file is damaged" : "the language has no subtitles";
    return pictures;
}

void drawSubpicture(const Subpicture& picture, int sourceWidth, int sourceHeight, uint32_t* frame, int width,
                    int height, int shiftPercent) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || width <= 0 || height <= 0)
        return;
    const int shift = height * std::clamp(shiftPercent, -100, 100) / 100;
    for (int y = 0; y < height; ++y) {
        const int64_t sy = static_cast<int64_t>(y + shift) * sourceHeight / height - picture.y;
        if (sy < 0 || sy >= picture.height)
            continue;
        for (int x = 0; x < width; ++x) {
            const int64_t sx = static_cast<int64_t>(x) * sourceWidth / width - picture.x;
            if (sx < 0 || sx >= picture.width)
                continue;
            const uint32_t over = picture.pixels[static_cast<size_t>(sy * picture.width + sx)];
            const uint32_t a = over >> 24;
            if (a == 0)
                continue;
            uint32_t& under = frame[static_cast<size_t>(y) * width + x];
            uint32_t out = 0xFF000000u;
            for (int shiftBits = 0; shiftBits < 24; shiftBits += 8) {
                const uint32_t o = over >> shiftBits & 0xFF;
                const uint32_t u = under >> shiftBits & 0xFF;
                out |= ((o * a + u * (255 - a)) / 255) << shiftBits;
            }
            under = out;
        }
    }
}

} // namespace outside::dvobsub
