#pragma once

// The four ways from a source WAV's audio to the target format: an ACM stream straight to the target,
// two ACM streams through 16-bit stereo PCM at the target's rate, the MP3 encoder straight from
// 16-bit stereo PCM, or the MP3 encoder after an ACM stream to that PCM.

#include "platform/acm/acm_stream.h"
#include "platform/acm/mp3_encoder_library.h"
#include "platform/acm/wave_format.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tools::audio_converter {

enum class ConversionPath { AcmDirect, AcmViaPcm, LameDirect, LameViaPcm };

// MP3 when the target's tag is 85. Straight when the rates are equal and either side is PCM; for MP3
// only when the source is 16-bit stereo PCM, the one input the encoder takes.
ConversionPath choosePath(const platform::acm::WaveFormat& source, const platform::acm::WaveFormat& target);

// 16-bit stereo PCM at the target's rate.
platform::acm::WaveFormat intermediateFormat(const platform::acm::WaveFormat& target);

inline constexpr uint32_t AcmDestinationBlock = 37200;

// Why a step failed: an ACM result, an MP3 encoder result, or the output could not be written.
struct StepError {
    enum class Kind { None, Acm, Mp3Open, Mp3Encode, Write };
    Kind kind = Kind::None;
    int64_t code = 0;
    explicit operator bool() const { return kind != Kind::None; }
};

// Receives converted bytes; false when they could not be written.
using OutputSink = std::function<bool(const uint8_t* data, uint32_t length)>;

struct Mp3Settings {
    const platform::acm::Mp3EncoderLibrary* library = nullptr;
    uint32_t bitRateKbits = 0;
};

class Pipeline {
public:
    virtual ~Pipeline() = default;
    // Source bytes to read per block.
    uint32_t sourceBlock() const { return sourceBlock_; }
    // Converts what it can of data and passes the output on; used tells how many bytes were taken
    // (the rest must be offered again with the next block).
    virtual StepError feed(const uint8_t* data, uint32_t length, uint32_t& used, const OutputSink& out) = 0;
    // Flushes every codec and passes the last output on.
    virtual StepError finish(const OutputSink& out) = 0;

protected:
    uint32_t sourceBlock_ = 0;
};

// Opens the codecs of a path. On failure the pipeline is null and error says why.
std::unique_ptr<Pipeline> openPipeline(ConversionPath path, const platform::acm::WaveFormat& source,
                                       const platform::acm::WaveFormat& target, const Mp3Settings& mp3,
                                       StepError& error);

} // namespace tools::audio_converter
