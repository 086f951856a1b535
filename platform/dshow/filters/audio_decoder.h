#pragma once

// The audio decoder engine: AC3, MPEG audio or DVD LPCM in, interleaved 16-bit little-endian stereo
// out at 48 kHz, or at 44.1 kHz when the decoder's setting "bMax441Khz" is "1". It joins the decoding
// core ("AsmAc3.dll") and the sample conversion ("AsmFloatFull.dll") and keeps the output's clock.
//
// The clock follows the stream's time stamps as the video converter's does: where the stamps jump
// ahead by up to 10 s, data was lost and silence of that length fills the gap; a jump back, or of more
// than 10 s ahead, is a restart of the stream's clock, and the output runs on without a break. AC3 and
// MPEG audio are timed frame by frame, LPCM by the packets' stamps.

#include "platform/dshow/filters/audio_format.h"
#include "platform/dshow/filters/audio_framer.h"
#include "platform/dshow/filters/decode_core.h"
#include "platform/dshow/filters/sample_converter.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform::dshow::filters {

constexpr int kDecoderRate = 48000;
constexpr int kDecoderRate441 = 44100;

struct DecoderSettings {
    int outputRate = kDecoderRate;
};

// The settings from the decoder's registry value "bMax441Khz": "1" asks for 44.1 kHz.
DecoderSettings decoderSettings(std::string_view max441Khz);

constexpr int64_t kUnitsPerSecond = 10'000'000; // REFERENCE_TIME: 100 ns
constexpr int64_t kPtsPerSecond = 90'000;

struct PcmChunk {
    std::span<const uint8_t> bytes;   // whole stereo frames
    std::optional<int64_t> startTime; // 100 ns units, from the stream's time stamps; none before any
    int64_t frames = 0;
};

using PcmChunkSink = std::function<void(const PcmChunk&)>;

// Where the decoder's two parts come from: the decoding core and the sample conversion. The filter takes
// them from its two library files; tests and tools link them in (linkedDecoderParts).
struct DecoderParts {
    std::function<std::unique_ptr<DecodeCore>(const StreamFormat&, std::string&)> makeCore;
    std::function<std::unique_ptr<SampleConverter>(int outputRate)> makeConverter;
};

// The parts linked into the program (makeDecodeCore and makeSampleConverter).
DecoderParts linkedDecoderParts();

class AudioDecoder {
public:
    // Nothing for video or a layout the core cannot take; error then says why.
    static std::unique_ptr<AudioDecoder> create(const StreamFormat& input, DecoderSettings settings,
                                                std::string& error);
    // The same with the given parts.
    static std::unique_ptr<AudioDecoder> create(const StreamFormat& input, DecoderSettings settings,
                                                std::string& error, const DecoderParts& parts);

    // 16-bit stereo PCM at the output rate.
    WaveFormat outputFormat() const;

    // One payload of the stream with its time stamp (90 kHz), if it had one. Whatever it completes goes
    // to the sink as one chunk.
    void decode(std::span<const uint8_t> payload, std::optional<int64_t> pts, const PcmChunkSink& sink);
    // The end of the stream: delivers what the core and the converter still hold.
    void endOfStream(const PcmChunkSink& sink);
    // After a seek: drops what is held; the next time stamp restarts the clock.
    void flush();

    int64_t errors() const { return core_->errors() + conversionErrors_; }
    int64_t framesOut() const { return framesOut_; }
    // Output frames of silence put in for lost data.
    int64_t framesFilled() const { return framesFilled_; }

private:
    AudioDecoder(std::unique_ptr<DecodeCore> core, std::unique_ptr<SampleConverter> converter,
                 StreamKind kind);
    void deliver(const PcmChunkSink& sink);
    // Decodes bytes; each block that comes out is converted into out_ after the change of time its
    // frame asked for.
    void convert(std::span<const uint8_t> bytes);
    void convertBlock(const PcmBlock& block);
    // The silence (output frames) that brings the output to a stamp (90 kHz) for what is decoded
    // next; slack is how much later than the stamp the following samples may rightly begin.
    int64_t timeChange(int64_t pts, int64_t slack);
    // Where the next frame fed to the core begins, in output frames from the clock's base.
    int64_t nextPosition() const;
    void applyChange(int64_t silence);
    bool framed() const; // timed frame by frame

    std::unique_ptr<DecodeCore> core_;
    std::unique_ptr<SampleConverter> converter_;
    std::vector<uint8_t> out_;
    StreamKind kind_;
    AudioFramer framer_; // AC3 and MPEG audio
    std::vector<TimedAudioFrame> frames_;
    std::optional<int64_t> clockBase_; // 100 ns time of output frame 0 after the start or a flush
    int64_t framesSinceBase_ = 0;      // output frames delivered since then
    // AC3 and MPEG audio: the silence before each frame fed to the core whose samples have not come out
    // yet (the core may give a frame's samples when the next one comes), and a frame's nominal output
    // length.
    std::deque<int64_t> changes_;
    double frameOutput_ = 0;
    int64_t framesOut_ = 0;
    int64_t framesFilled_ = 0;
    int64_t conversionErrors_ = 0;
};

} // namespace platform::dshow::filters
