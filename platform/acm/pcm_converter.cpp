#include "platform/acm/pcm_converter.h"

namespace platform::acm {

bool PcmConverter::accepts(const WaveFormat& source, const WaveFormat& target) {
    return isUsablePcm(source) && isUsablePcm(target);
}

std::unique_ptr<AcmStream> PcmConverter::create(const WaveFormat& source, const WaveFormat& target) {
    auto resampler = Resampler::create(source, packedFormatOf(target), target.nChannels,
                                       static_cast<int>(target.nSamplesPerSec));
    if (!resampler)
        return nullptr;
    return std::unique_ptr<AcmStream>(new PcmConverter(source, target, std::move(resampler)));
}

PcmConverter::PcmConverter(const WaveFormat& source, const WaveFormat& target,
                           std::unique_ptr<Resampler> resampler)
    : AcmStream(source, target), resampler_(std::move(resampler)) {}

bool PcmConverter::run(const uint8_t* data, int frames) {
    const int capacity = resampler_->maxOutFrames(frames);
    if (capacity < 0)
        return false;
    out_.resize(static_cast<size_t>(capacity + 1) * target().nBlockAlign);
    uint8_t* planes[1] = {out_.data()};
    const int made = resampler_->convert(data, frames, planes, capacity + 1);
    if (made < 0)
        return false;
    emit(out_.data(), static_cast<size_t>(made) * target().nBlockAlign);
    return true;
}

bool PcmConverter::consume(const uint8_t* data, uint32_t bytes) {
    return run(data, static_cast<int>(bytes / source().nBlockAlign));
}

bool PcmConverter::flush() {
    return run(nullptr, 0);
}

uint32_t PcmConverter::sourceBytesFor(uint32_t destinationBytes) const {
    const uint64_t frames = destinationBytes / target().nBlockAlign;
    const uint64_t sourceFrames = frames * source().nSamplesPerSec / target().nSamplesPerSec;
    return static_cast<uint32_t>(sourceFrames * source().nBlockAlign);
}

} // namespace platform::acm
