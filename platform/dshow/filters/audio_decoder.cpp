#include "platform/dshow/filters/audio_decoder.h"

#include <algorithm>
#include <cmath>

namespace platform::dshow::filters {

namespace {
constexpr int kOutputBits = 16;
// Differences smaller than this stay (rounding of the time stamps, a resampler's odd sample).
constexpr int64_t kToleranceDivisor = 1000; // one millisecond
constexpr int64_t kLongestGapSeconds = 10;
constexpr int64_t kLpcmUnitsPerSecond = 600; // LPCM packets' stamps name a unit of 1/600 s
} // namespace

DecoderSettings decoderSettings(std::string_view max441Khz) {
    return DecoderSettings{max441Khz == "1" ? kDecoderRate441 : kDecoderRate};
}

std::unique_ptr<AudioDecoder> AudioDecoder::create(const StreamFormat& input, DecoderSettings settings,
                                                   std::string& error, const DecoderParts& parts) {
    if (settings.outputRate != kDecoderRate && settings.outputRate != kDecoderRate441) {
        error = "The decoder's output rate is not supported.";
        return nullptr;
    }
    if (!parts.makeCore || !parts.makeConverter) {
        error = "The decoder's library files are missing.";
        return nullptr;
    }
    auto core = parts.makeCore(input, error);
    if (!core)
        return nullptr;
    auto converter = parts.makeConverter(settings.outputRate);
    if (!converter) {
        error = "The decoder's sample conversion could not be set up.";
        return nullptr;
    }
    return std::unique_ptr<AudioDecoder>(new AudioDecoder(std::move(core), std::move(converter), input.kind));
}

AudioDecoder::AudioDecoder(std::unique_ptr<DecodeCore> core, std::unique_ptr<SampleConverter> converter,
                           StreamKind kind)
    : core_(std::move(core)), converter_(std::move(converter)), kind_(kind), framer_(kind) {}

WaveFormat AudioDecoder::outputFormat() const {
    return pcmWaveFormat(converter_->outputRate(), kOutputChannels, kOutputBits);
}

int64_t AudioDecoder::nextPosition() const {
    int64_t queued = 0;
    for (const int64_t change : changes_)
        queued += change;
    return framesSinceBase_ + static_cast<int64_t>(out_.size() / kOutputBytesPerFrame) + queued +
           static_cast<int64_t>(std::llround(frameOutput_ * static_cast<double>(changes_.size())));
}

void AudioDecoder::applyChange(int64_t silence) {
    if (silence <= 0)
        return;
    out_.resize(out_.size() + static_cast<size_t>(silence * kOutputBytesPerFrame), 0);
    framesFilled_ += silence;
}

bool AudioDecoder::framed() const {
    return kind_ == StreamKind::Ac3 || kind_ == StreamKind::MpegAudio;
}

void AudioDecoder::convertBlock(const PcmBlock& block) {
    if (framed()) {
        if (block.sampleRate > 0 && block.frames > 0)
            frameOutput_ = static_cast<double>(block.frames) * converter_->outputRate() / block.sampleRate;
        if (!changes_.empty()) {
            applyChange(changes_.front());
            changes_.pop_front();
        }
    }
    if (!converter_->convert(block, out_))
        ++conversionErrors_;
}

void AudioDecoder::convert(std::span<const uint8_t> bytes) {
    const int64_t errorsBefore = core_->errors();
    core_->decode(bytes, [this](const PcmBlock& block) { convertBlock(block); });
    // A frame that failed gives no samples: its change of time applies to what comes next.
    for (int64_t failed = core_->errors() - errorsBefore; failed > 0 && changes_.size() > 1; --failed) {
        applyChange(changes_.front());
        changes_.pop_front();
    }
}

int64_t AudioDecoder::timeChange(int64_t pts, int64_t slack) {
    const int64_t rate = converter_->outputRate();
    const int64_t time = pts * kUnitsPerSecond / kPtsPerSecond;
    const int64_t position = nextPosition();
    if (!clockBase_) {
        clockBase_ = time - position * kUnitsPerSecond / rate;
        return 0;
    }
    const int64_t wanted = (time - *clockBase_) * rate / kUnitsPerSecond;
    const int64_t ahead = wanted - position; // > 0: data was lost before this point
    const int64_t tolerance = rate / kToleranceDivisor;
    if (ahead > slack + tolerance && ahead <= kLongestGapSeconds * rate)
        return ahead;
    if (ahead > kLongestGapSeconds * rate || ahead < -tolerance) {
        // The stream's clock restarted: the output runs on from here without a break.
        clockBase_ = time - position * kUnitsPerSecond / rate;
    }
    return 0;
}

void AudioDecoder::decode(std::span<const uint8_t> payload, std::optional<int64_t> pts,
                          const PcmChunkSink& sink) {
    if (framed()) {
        frames_.clear();
        framer_.push(payload, pts, frames_);
        for (const TimedAudioFrame& frame : frames_) {
            if (frame.sampleRate > 0)
                frameOutput_ =
                    static_cast<double>(frame.samples) * converter_->outputRate() / frame.sampleRate;
            changes_.push_back(frame.pts ? timeChange(*frame.pts, 0) : 0);
            convert(frame.bytes);
        }
    } else {
        // LPCM: the stamp names the first unit that begins in the packet, which may begin up to a unit
        // after the packet's first byte.
        if (pts)
            applyChange(timeChange(*pts, converter_->outputRate() / kLpcmUnitsPerSecond));
        convert(payload);
    }
    deliver(sink);
}

void AudioDecoder::endOfStream(const PcmChunkSink& sink) {
    core_->drain([this](const PcmBlock& block) { convertBlock(block); });
    changes_.clear();
    converter_->drain(out_);
    deliver(sink);
}

void AudioDecoder::flush() {
    core_->reset();
    converter_->reset();
    framer_.reset();
    out_.clear();
    clockBase_.reset();
    framesSinceBase_ = 0;
    changes_.clear();
}

void AudioDecoder::deliver(const PcmChunkSink& sink) {
    const auto frames = static_cast<int64_t>(out_.size() / kOutputBytesPerFrame);
    if (frames == 0)
        return;
    PcmChunk chunk;
    chunk.bytes = std::span<const uint8_t>(out_).first(static_cast<size_t>(frames) * kOutputBytesPerFrame);
    chunk.frames = frames;
    if (clockBase_)
        chunk.startTime = *clockBase_ + framesSinceBase_ * kUnitsPerSecond / converter_->outputRate();
    sink(chunk);
    framesSinceBase_ += frames;
    framesOut_ += frames;
    out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(chunk.bytes.size()));
}

} // namespace platform::dshow::filters
