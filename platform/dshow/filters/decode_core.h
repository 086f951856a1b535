#pragma once

// The decoding core of the audio decoder (its "AsmAc3.dll" part): turns the bytes of one elementary
// audio stream, split anyhow, into blocks of decoded samples. AC3 and MPEG audio are framed and
// decoded by FFmpeg; DVD LPCM is unpacked from its big-endian layout.

#include "platform/dshow/filters/audio_format.h"
#include "platform/dshow/filters/pcm_block.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace platform::dshow::filters {

class DecodeCore {
public:
    virtual ~DecodeCore() = default;
    // Takes the next bytes of the stream; each block decoded from them goes to the sink. Damaged
    // frames are skipped and counted.
    virtual void decode(std::span<const uint8_t> bytes, const PcmBlockSink& sink) = 0;
    // The end of the stream: decodes what is still held.
    virtual void drain(const PcmBlockSink& sink) = 0;
    // Forgets held bytes and decoder state (after a seek).
    virtual void reset() = 0;
    // Frames or packets that failed to decode so far.
    virtual int64_t errors() const = 0;
};

// A core for AC3 (downmixed to stereo by the decoder), MPEG audio or LPCM in the given layout.
// Nothing for video or when FFmpeg lacks the decoder; error then says why.
std::unique_ptr<DecodeCore> makeDecodeCore(const StreamFormat& format, std::string& error);

} // namespace platform::dshow::filters
