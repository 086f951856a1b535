#pragma once

// Cuts the payloads of an AC3 or MPEG audio stream, as the program stream carries them, into whole
// frames and gives each frame the time it begins at. A packet's time stamp belongs to the first frame
// that begins in it; the frames after it take its time plus their place (their samples). Where data
// was lost the next time stamp tells how much, so the decoder can keep the stream's clock.

#include "platform/dshow/filters/audio_format.h"
#include "platform/dshow/filters/ps_packet.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace platform::dshow::filters {

struct TimedAudioFrame {
    std::vector<uint8_t> bytes;
    std::optional<int64_t> pts; // 90 kHz; from the packet the frame begins in, or counted on from one
    int sampleRate = 0;
    int64_t tag = 0; // the tag of the payload the frame begins in
    int samples = kAc3FrameSamples;
};

class AudioFramer {
public:
    // Frames of AC3 (the default) or of MPEG audio.
    explicit AudioFramer(StreamKind kind = StreamKind::Ac3) : mpeg_(kind == StreamKind::MpegAudio) {}

    // The next payload with its packet's time stamp: appends each frame it completes to out. The tag
    // (the packet's position, say) goes with the frames that begin in the payload.
    void push(std::span<const uint8_t> payload, std::optional<int64_t> pts, std::vector<TimedAudioFrame>& out,
              int64_t tag = 0);
    // Forgets a frame begun (after a seek or at a stream's end, where an unfinished frame is useless).
    void reset();
    // Bytes passed over because they were not where a frame should begin.
    int64_t skippedBytes() const { return skipped_; }

private:
    struct Header {
        size_t size = 0;
        int sampleRate = 0;
        int samples = 0;
    };
    size_t headerSize() const;
    bool syncAt(std::span<const uint8_t> bytes, size_t i) const;
    bool syncBegins(uint8_t byte) const; // the sync word's first byte
    std::optional<Header> header(std::span<const uint8_t> bytes) const;
    void putFrame(std::vector<uint8_t> bytes, std::optional<int64_t> pts, const Header& frame, int64_t tag,
                  std::vector<TimedAudioFrame>& out);

    bool mpeg_ = false;
    std::vector<uint8_t> held_; // a frame (or a frame's header) begun in an earlier payload
    std::optional<int64_t> heldPts_;
    int64_t heldTag_ = 0;
    std::optional<int64_t> nextPts_; // the time of the next frame counted on from the last stamp
    int64_t skipped_ = 0;
};

// 90 kHz ticks of one AC3 frame at a sample rate.
int64_t ac3FramePts(int sampleRate);

} // namespace platform::dshow::filters
