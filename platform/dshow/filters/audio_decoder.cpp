#include "platform/dshow/filters/audio_decoder.h"

namespace platform::dshow::filters {

namespace {
constexpr int kOutputBits = 16;
}

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
    return std::unique_ptr<AudioDecoder>(new AudioDecoder(std::move(core), std::move(converter)));
}

AudioDecoder::AudioDecoder(std::unique_ptr<DecodeCore> core, std::unique_ptr<SampleConverter> converter)
    : core_(std::move(core)), converter_(std::move(converter)) {}

WaveFormat AudioDecoder::outputFormat() const {
    return pcmWaveFormat(converter_->outputRate(), kOutputChannels, kOutputBits);
}

void AudioDecoder::decode(std::span<const uint8_t> payload, std::optional<int64_t> pts,
                          const PcmChunkSink& sink) {
    if (!clockBase_ && pts)
        clockBase_ = *pts * kUnitsPerSecond / kPtsPerSecond;
    core_->decode(payload, [this](const PcmBlock& block) {
        if (!converter_->convert(block, out_))
            ++conversionErrors_;
    });
    deliver(sink);
}

void AudioDecoder::endOfStream(const PcmChunkSink& sink) {
    core_->drain([this](const PcmBlock& block) {
        if (!converter_->convert(block, out_))
            ++conversionErrors_;
    });
    converter_->drain(out_);
    deliver(sink);
}

void AudioDecoder::flush() {
    core_->reset();
    converter_->reset();
    out_.clear();
    clockBase_.reset();
    framesSinceBase_ = 0;
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
