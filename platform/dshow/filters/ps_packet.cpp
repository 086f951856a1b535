#include "platform/dshow/filters/ps_packet.h"

#include "platform/dshow/filters/byte_cursor.h"

namespace platform::dshow::filters {

namespace {

constexpr uint8_t kLowestSystemCode = kProgramEndCode;

// Pack headers: MPEG-2 begins its SCR with the bits 01, MPEG-1 with 0010; marker bits checked.
constexpr size_t kMpeg2PackSize = 14;
constexpr size_t kMpeg1PackSize = 12;
constexpr uint8_t kMpeg2PackMask = 0xC4;
constexpr uint8_t kMpeg2PackBits = 0x44;
constexpr uint8_t kMpeg1PackMask = 0xF1;
constexpr uint8_t kMpeg1PackBits = 0x21;
constexpr size_t kMuxRateMarkerByte = 12;
constexpr uint8_t kMuxRateMarkers = 0x03;
constexpr size_t kStuffingByte = 13;
constexpr uint8_t kStuffingMask = 0x07;

// PES headers.
constexpr uint8_t kMpeg2PesMask = 0xC0;
constexpr uint8_t kMpeg2PesBits = 0x80;
constexpr uint8_t kPtsFlag = 0x80;
constexpr size_t kPtsSize = 5;
constexpr uint8_t kMpeg1Stuffing = 0xFF;
constexpr size_t kMpeg1MaxStuffing = 16;
constexpr uint8_t kMpeg1StdBufferMask = 0xC0;
constexpr uint8_t kMpeg1StdBufferBits = 0x40;
constexpr size_t kMpeg1StdBufferSize = 2;
constexpr uint8_t kMpeg1TimeMask = 0xF0;
constexpr uint8_t kMpeg1PtsOnly = 0x20;
constexpr uint8_t kMpeg1PtsDts = 0x30;
constexpr uint8_t kMpeg1NoTimes = 0x0F;
constexpr size_t kMpeg1PtsDtsSize = 10;

constexpr uint8_t kStreamNumberMask = 0x07;

bool isPesWithHeader(uint8_t id) {
    return id == kPrivateStream1 || (id >= kFirstMpegAudioId && id <= kLastVideoId);
}

// A 33-bit time stamp in five bytes with marker bits; nothing when a marker is missing.
std::optional<int64_t> readTimeStamp(ByteCursor& in) {
    const int64_t b0 = in.u8();
    const int64_t mid = in.be16();
    const int64_t low = in.be16();
    if (in.overrun() || !(b0 & 1) || !(mid & 1) || !(low & 1))
        return std::nullopt;
    return ((b0 >> 1) & 0x07) << 30 | (mid >> 1) << 15 | (low >> 1);
}

std::optional<PesPacket> parseMpeg2Header(ByteCursor& in, PesPacket packet) {
    in.skip(1);
    const uint8_t flags = in.u8();
    const uint8_t headerLength = in.u8();
    if (in.overrun() || !in.has(headerLength))
        return std::nullopt;
    ByteCursor header(in.take(headerLength));
    if ((flags & kPtsFlag) && header.has(kPtsSize))
        packet.pts = readTimeStamp(header);
    packet.payload = in.rest();
    return packet;
}

std::optional<PesPacket> parseMpeg1Header(ByteCursor& in, PesPacket packet) {
    for (size_t i = 0; i < kMpeg1MaxStuffing && in.peek() == kMpeg1Stuffing; ++i)
        in.skip(1);
    if ((in.peek() & kMpeg1StdBufferMask) == kMpeg1StdBufferBits)
        in.skip(kMpeg1StdBufferSize);
    const uint8_t kind = in.peek() & kMpeg1TimeMask;
    if (kind == kMpeg1PtsOnly) {
        packet.pts = readTimeStamp(in);
    } else if (kind == kMpeg1PtsDts) {
        ByteCursor times(in.take(kMpeg1PtsDtsSize));
        packet.pts = readTimeStamp(times);
    } else if (in.peek() == kMpeg1NoTimes) {
        in.skip(1);
    } else {
        return std::nullopt;
    }
    if (in.overrun())
        return std::nullopt;
    packet.payload = in.rest();
    return packet;
}

} // namespace

bool isSystemStartCode(std::span<const uint8_t> bytes) {
    return bytes.size() >= kStartCodeSize && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 1 &&
           bytes[3] >= kLowestSystemCode;
}

size_t packHeaderSize(std::span<const uint8_t> bytes) {
    if (bytes.size() < kMpeg1PackSize || !isSystemStartCode(bytes) || bytes[3] != kPackStartCode)
        return 0;
    if ((bytes[4] & kMpeg2PackMask) == kMpeg2PackBits) {
        if (bytes.size() < kMpeg2PackSize || (bytes[kMuxRateMarkerByte] & kMuxRateMarkers) != kMuxRateMarkers)
            return 0;
        const size_t size = kMpeg2PackSize + (bytes[kStuffingByte] & kStuffingMask);
        return size <= bytes.size() ? size : 0;
    }
    if ((bytes[4] & kMpeg1PackMask) == kMpeg1PackBits)
        return kMpeg1PackSize;
    return 0;
}

std::optional<PesPacket> parsePesPacket(std::span<const uint8_t> packet) {
    ByteCursor in(packet);
    if (!isSystemStartCode(packet))
        return std::nullopt;
    in.skip(3);
    PesPacket result;
    result.streamId = in.u8();
    const size_t length = in.be16();
    if (in.overrun() || !in.has(length))
        return std::nullopt;
    ByteCursor body(in.take(length));
    if (!isPesWithHeader(result.streamId)) {
        result.payload = body.rest();
        return result;
    }
    if ((body.peek() & kMpeg2PesMask) == kMpeg2PesBits)
        return parseMpeg2Header(body, result);
    return parseMpeg1Header(body, result);
}

std::optional<ElementaryUnit> elementaryUnit(const PesPacket& packet) {
    ElementaryUnit unit;
    unit.pts = packet.pts;
    const uint8_t id = packet.streamId;
    if (id >= kFirstVideoId && id <= kLastVideoId) {
        unit.kind = StreamKind::Video;
        unit.id = id;
        unit.payload = packet.payload;
        return unit;
    }
    if (id >= kFirstMpegAudioId && id <= kLastMpegAudioId) {
        unit.kind = StreamKind::MpegAudio;
        unit.id = id;
        unit.payload = packet.payload;
        return unit;
    }
    if (id != kPrivateStream1 || packet.payload.empty())
        return std::nullopt;
    ByteCursor in(packet.payload);
    unit.id = in.u8();
    in.skip(1); // frame count
    // The pointer counts from the byte after it, 1 for the first; 0 when no frame begins here. LPCM's
    // own header follows the pointer and is counted too, so its audio starts at pointer 4.
    const size_t pointer = in.be16();
    size_t headerAfterPointer = 0;
    if (unit.id >= kFirstAc3SubId && unit.id <= kLastAc3SubId) {
        unit.kind = StreamKind::Ac3;
    } else if (unit.id >= kFirstLpcmSubId && unit.id <= kLastLpcmSubId) {
        unit.kind = StreamKind::Lpcm;
        unit.lpcm = parseLpcmHeader(in.take(kLpcmHeaderSize));
        headerAfterPointer = kLpcmHeaderSize;
        if (!unit.lpcm)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (in.overrun())
        return std::nullopt;
    unit.payload = in.rest();
    if (pointer > headerAfterPointer && pointer - headerAfterPointer <= unit.payload.size())
        unit.firstFrame = pointer - headerAfterPointer - 1;
    return unit;
}

std::optional<Ac3Frame> ac3Frame(std::span<const uint8_t> bytes) {
    // Sync word, CRC, then the sample rate code (2 bits) and the frame size code (6 bits).
    constexpr uint16_t kSyncWord = 0x0B77;
    constexpr size_t kHeaderSize = 5;
    constexpr int kRates[] = {48000, 44100, 32000};
    constexpr int kKbits[] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                              192, 224, 256, 320, 384, 448, 512, 576, 640};
    constexpr int kBitsPerWord = 16;
    ByteCursor in(bytes);
    const uint16_t sync = in.be16();
    in.skip(2);
    const uint8_t code = in.u8();
    if (bytes.size() < kHeaderSize || in.overrun() || sync != kSyncWord)
        return std::nullopt;
    const int rateCode = code >> 6;
    const auto sizeCode = static_cast<size_t>(code & 0x3F);
    if (rateCode >= static_cast<int>(std::size(kRates)) || sizeCode / 2 >= std::size(kKbits))
        return std::nullopt;
    const int rate = kRates[rateCode];
    // 16-bit words per frame: the bit rate over the frame rate; 44.1 kHz pads every odd size code.
    const int64_t words =
        int64_t{kKbits[sizeCode / 2]} * 1000 * kAc3FrameSamples / (int64_t{rate} * kBitsPerWord);
    const int64_t padding = rate == 44100 ? static_cast<int64_t>(sizeCode & 1) : 0;
    return Ac3Frame{static_cast<size_t>((words + padding) * 2), rate};
}

std::optional<MpegAudioFrame> mpegAudioFrame(std::span<const uint8_t> bytes) {
    constexpr size_t kHeaderSize = 4;
    // Bit rates in kbit/s by index 1..14: MPEG-1 layers I, II, III, then MPEG-2 and 2.5 layer I, then
    // their layers II and III.
    constexpr int kKbits[5][14] = {{32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
                                   {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
                                   {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
                                   {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
                                   {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
    constexpr int kRates[] = {44100, 48000, 32000};
    if (bytes.size() < kHeaderSize || bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int version = (bytes[1] >> 3) & 3;     // 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1
    const int layer = 4 - ((bytes[1] >> 1) & 3); // 1..3; 4 is reserved
    const int rateIndex = bytes[2] >> 4;
    const int rateCode = (bytes[2] >> 2) & 3;
    if (version == 1 || layer == 4 || rateIndex == 0 || rateIndex == 15 || rateCode == 3)
        return std::nullopt;
    const bool mpeg1 = version == 3;
    const int table = mpeg1 ? layer - 1 : (layer == 1 ? 3 : 4);
    const int64_t bits = int64_t{kKbits[table][rateIndex - 1]} * 1000;
    const int rate = kRates[rateCode] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    const int64_t padding = (bytes[2] >> 1) & 1;
    MpegAudioFrame frame;
    frame.sampleRate = rate;
    if (layer == 1) {
        frame.samples = 384;
        frame.size = static_cast<size_t>((12 * bits / rate + padding) * 4);
    } else {
        frame.samples = layer == 3 && !mpeg1 ? 576 : 1152;
        frame.size = static_cast<size_t>(frame.samples / 8 * bits / rate + padding);
    }
    return frame;
}

int dvdAudioStreamNumber(uint8_t id) {
    return id & kStreamNumberMask;
}

} // namespace platform::dshow::filters
