#pragma once

// MPEG audio layer III frames as an encoder writes them: where each frame's slot lies in the byte
// stream, how much of it is header and side information, and how far back its main data begins (the
// bit reservoir). Enough to join two encoders' streams at a frame without losing reservoir bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform::acm::mp3 {

struct Frame {
    size_t offset = 0;          // of the header in the stream
    uint32_t size = 0;          // the whole slot, header included
    uint32_t sideEnd = 0;       // header, CRC and side information: the main data area starts here
    uint32_t mainDataBegin = 0; // bytes of main data area before the header where this frame's data begins
};

// Reads the frame at p (avail bytes); empty when it is no layer III header or its side information is
// not all there.
std::optional<Frame> parseFrame(const uint8_t* p, size_t avail);

// An encoder's output: its bytes and the frames found in them. Frame k is the stream's frame number
// first + k.
struct CodedStream {
    std::vector<uint8_t> bytes;
    std::vector<Frame> frames;
    int64_t first = 0;
    size_t parsed = 0; // bytes up to here are whole frames

    // Appends bytes and records every whole frame; false when the bytes do not continue the frames.
    bool append(const uint8_t* data, size_t length);
    // The index in frames of stream frame n, or -1 when it is not (wholly) there.
    int64_t local(int64_t n) const;
};

// The positions in s.bytes of the last count main-data-area bytes before the header of frames[index],
// in stream order; empty when the frames before it hold fewer.
std::vector<size_t> reservoirBytes(const CodedStream& s, size_t index, uint32_t count);

// The first half of a join of a and b at stream frame n: a's bytes before frame n, with the main data
// that b's frames from n on take from before their header copied into the room that a's own later
// frames took there. Empty when n is not in both, or a has less room there than b needs. b's bytes
// from frame n (tailFrom) follow.
std::optional<std::vector<uint8_t>> headBefore(const CodedStream& a, const CodedStream& b, int64_t n);

// s from its frame n on (n must be in s).
CodedStream tailFrom(const CodedStream& s, int64_t n);

} // namespace platform::acm::mp3
