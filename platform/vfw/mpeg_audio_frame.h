#pragma once

// The four-byte header of an MPEG audio layer III frame: what it says about the frame.

#include <cstdint>
#include <optional>

#include "platform/vfw/vfw.h"

namespace platform::vfw {

struct MpegAudioFrame {
    int version = 0; // 0: MPEG-1, 1: MPEG-2, 2: MPEG-2.5
    int sampleRate = 0;
    int channels = 0;
    int size = 0;    // bytes of the whole frame, header and padding included
    int samples = 0; // per channel
};

// Nothing when the four bytes are no layer III frame header (no sync, reserved values).
std::optional<MpegAudioFrame> parseMpegAudioHeader(const uint8_t* header);

// For a stream of MPEG layer III bytes (one sample per byte, counted from the stream's first sample):
// the first position at or after `position` where a frame begins (a header followed by another one, or
// by the stream's end), so that a cut there splits no frame. `position` itself when none is found
// within a few frames.
int64_t mpegAudioFrameStart(PAVISTREAM stream, int64_t position);

} // namespace platform::vfw
