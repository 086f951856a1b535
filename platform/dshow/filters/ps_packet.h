#pragma once

// The pieces of an MPEG program stream: start codes, pack headers, PES packets and the DVD's
// sub-streams of private stream 1. Pure functions over bytes in memory, all bounds-checked.

#include "platform/dshow/filters/audio_format.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace platform::dshow::filters {

constexpr uint8_t kProgramEndCode = 0xB9;
constexpr uint8_t kPackStartCode = 0xBA;
constexpr uint8_t kSystemHeaderCode = 0xBB;
constexpr uint8_t kPrivateStream1 = 0xBD;
constexpr uint8_t kPaddingStream = 0xBE;
constexpr uint8_t kPrivateStream2 = 0xBF;
constexpr uint8_t kFirstMpegAudioId = 0xC0;
constexpr uint8_t kLastMpegAudioId = 0xDF;
constexpr uint8_t kFirstVideoId = 0xE0;
constexpr uint8_t kLastVideoId = 0xEF;
constexpr uint8_t kFirstAc3SubId = 0x80;
constexpr uint8_t kLastAc3SubId = 0x87;
constexpr uint8_t kFirstLpcmSubId = 0xA0;
constexpr uint8_t kLastLpcmSubId = 0xA7;

constexpr size_t kStartCodeSize = 4;          // 00 00 01 xx
constexpr size_t kPesPrefixSize = 6;          // start code and the 16-bit packet length
constexpr size_t kMaxPackHeaderSize = 14 + 7; // MPEG-2 pack header with the most stuffing
constexpr size_t kMaxPesPacketSize = kPesPrefixSize + 0xFFFF;

// Bytes 0-3 are a start code prefix followed by a code that begins a pack, a packet or the end.
bool isSystemStartCode(std::span<const uint8_t> bytes);

// The length of the pack header at the start of bytes (MPEG-2 or MPEG-1), or 0 when the bytes do not
// hold a whole valid one.
size_t packHeaderSize(std::span<const uint8_t> bytes);

struct PesPacket {
    uint8_t streamId = 0;
    std::optional<int64_t> pts; // 90 kHz units, 33 bits
    std::span<const uint8_t> payload;
};

// A whole PES packet (from its start code to the end of its stated length), MPEG-2 or MPEG-1 header.
// Nothing when the header does not fit or is malformed.
std::optional<PesPacket> parsePesPacket(std::span<const uint8_t> packet);

// One packet's share of an elementary stream, with the sub-stream headers of private stream 1 removed.
struct ElementaryUnit {
    StreamKind kind = StreamKind::Video;
    uint8_t id = 0; // PES stream id for video and MPEG audio, sub-stream id for AC3 and LPCM
    std::optional<int64_t> pts;
    std::span<const uint8_t> payload;
    std::optional<LpcmFormat> lpcm; // from this packet's LPCM header
    // AC3 and LPCM: where in the payload the first frame that begins in this packet starts (the frame
    // the time stamp belongs to); nothing when no frame begins here or the pointer lies outside.
    std::optional<size_t> firstFrame;
};

// The elementary stream a PES packet belongs to, or nothing for streams no output carries (navigation,
// padding, subpictures, DTS, ...) and for sub-stream headers that do not fit.
std::optional<ElementaryUnit> elementaryUnit(const PesPacket& packet);

// An AC3 frame's sync information: its length in bytes and its sample rate (1536 samples a frame).
struct Ac3Frame {
    size_t size = 0;
    int sampleRate = 0;
};
constexpr int kAc3FrameSamples = 1536;
// The frame that begins at the start of bytes; nothing without the sync word or for reserved codes.
std::optional<Ac3Frame> ac3Frame(std::span<const uint8_t> bytes);

// An MPEG audio frame's header (layers I to III of MPEG-1, MPEG-2 and MPEG-2.5): the frame's length in
// bytes, its sample rate and how many samples it holds.
struct MpegAudioFrame {
    size_t size = 0;
    int sampleRate = 0;
    int samples = 0;
};
// The frame that begins at the start of bytes; nothing without the sync word, for a free-format bit
// rate or for reserved codes.
std::optional<MpegAudioFrame> mpegAudioFrame(std::span<const uint8_t> bytes);

// The DVD audio stream number of an audio stream id (0-7: the low three bits of the sub-stream id of
// AC3 and LPCM, of the PES stream id of MPEG audio), which orders the parser's audio outputs.
int dvdAudioStreamNumber(uint8_t id);

} // namespace platform::dshow::filters
