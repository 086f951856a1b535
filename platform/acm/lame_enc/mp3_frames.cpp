#include "platform/acm/lame_enc/mp3_frames.h"

namespace platform::acm::mp3 {

namespace {

constexpr uint32_t HeaderBytes = 4;
constexpr uint32_t CrcBytes = 2;
constexpr int Mpeg1 = 3; // the version field
constexpr int Layer3 = 1;
constexpr int Mono = 3;

constexpr uint16_t Mpeg1Kbits[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr uint16_t Mpeg2Kbits[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr uint32_t Rates[4][3] = {
    {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};

} // namespace

std::optional<Frame> parseFrame(const uint8_t* p, size_t avail) {
    if (avail < HeaderBytes || p[0] != 0xff || (p[1] & 0xe0) != 0xe0)
        return std::nullopt;
    const int version = (p[1] >> 3) & 3;
    const int layer = (p[1] >> 1) & 3;
    const bool crc = (p[1] & 1) == 0;
    const int rateIndex = (p[2] >> 2) & 3;
    const int kbitIndex = p[2] >> 4;
    const uint32_t padding = (p[2] >> 1) & 1;
    const bool mono = (p[3] >> 6) == Mono;
    if (version == 1 || layer != Layer3 || rateIndex == 3)
        return std::nullopt;
    const bool mpeg1 = version == Mpeg1;
    const uint32_t kbits = mpeg1 ? Mpeg1Kbits[kbitIndex] : Mpeg2Kbits[kbitIndex];
    const uint32_t rate = Rates[version][rateIndex];
    if (kbits == 0) // free format carries no size
        return std::nullopt;
    Frame f;
    f.size = (mpeg1 ? 144000 : 72000) * kbits / rate + padding;
    const uint32_t side = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    f.sideEnd = HeaderBytes + (crc ? CrcBytes : 0) + side;
    if (f.sideEnd > f.size || avail < f.sideEnd)
        return std::nullopt;
    const uint8_t* s = p + HeaderBytes + (crc ? CrcBytes : 0);
    f.mainDataBegin = mpeg1 ? (static_cast<uint32_t>(s[0]) << 1) | (s[1] >> 7) : s[0];
    return f;
}

bool CodedStream::append(const uint8_t* data, size_t length) {
    bytes.insert(bytes.end(), data, data + length);
    while (parsed < bytes.size()) {
        const auto f = parseFrame(bytes.data() + parsed, bytes.size() - parsed);
        if (!f)
            return bytes.size() - parsed < 64; // a header still coming in, or a broken stream
        if (parsed + f->size > bytes.size())
            return true;
        Frame frame = *f;
        frame.offset = parsed;
        frames.push_back(frame);
        parsed += frame.size;
    }
    return true;
}

int64_t CodedStream::local(int64_t n) const {
    const int64_t k = n - first;
    return k >= 0 && k < static_cast<int64_t>(frames.size()) ? k : -1;
}

std::vector<size_t> reservoirBytes(const CodedStream& s, size_t index, uint32_t count) {
    std::vector<size_t> positions(count);
    size_t filled = 0;
    for (size_t k = index; k-- > 0 && filled < count;) {
        const Frame& f = s.frames[k];
        for (size_t at = f.offset + f.size; at-- > f.offset + f.sideEnd && filled < count;)
            positions[count - 1 - filled++] = at;
    }
    if (filled < count)
        return {};
    return positions;
}

std::optional<std::vector<uint8_t>> headBefore(const CodedStream& a, const CodedStream& b, int64_t n) {
    const int64_t ia = a.local(n), ib = b.local(n);
    if (ia < 0 || ib < 0)
        return std::nullopt;
    const uint32_t need = b.frames[static_cast<size_t>(ib)].mainDataBegin;
    if (need > a.frames[static_cast<size_t>(ia)].mainDataBegin)
        return std::nullopt;
    const auto into = reservoirBytes(a, static_cast<size_t>(ia), need);
    const auto from = reservoirBytes(b, static_cast<size_t>(ib), need);
    if (into.size() != need || from.size() != need)
        return std::nullopt;
    const auto cut = static_cast<std::ptrdiff_t>(a.frames[static_cast<size_t>(ia)].offset);
    std::vector<uint8_t> head(a.bytes.begin(), a.bytes.begin() + cut);
    for (uint32_t k = 0; k < need; ++k)
        head[into[k]] = b.bytes[from[k]];
    return head;
}

CodedStream tailFrom(const CodedStream& s, int64_t n) {
    const auto k = static_cast<size_t>(s.local(n));
    const size_t cut = s.frames[k].offset;
    CodedStream tail;
    tail.first = n;
    tail.bytes.assign(s.bytes.begin() + static_cast<std::ptrdiff_t>(cut), s.bytes.end());
    tail.parsed = s.parsed - cut;
    for (size_t j = k; j < s.frames.size(); ++j) {
        Frame f = s.frames[j];
        f.offset -= cut;
        tail.frames.push_back(f);
    }
    return tail;
}

} // namespace platform::acm::mp3
