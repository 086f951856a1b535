#include "tools/audio_converter/source_normalizer.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

namespace tools::audio_converter {

using platform::acm::WaveFormat;

namespace {

constexpr uint16_t TagFloat = 3;
constexpr uint16_t TagExtensible = 0xFFFE;
constexpr size_t SubFormatExtra = 6; // the sub-format GUID's first two bytes, within the extra bytes
constexpr int MaxChannels = 8;
constexpr uint32_t OutputSampleBytes = 2;

// The sample tag: the sub-format's for the extensible header.
uint16_t sampleTag(const WaveFormat& f) {
    if (f.wFormatTag != TagExtensible)
        return f.wFormatTag;
    if (f.cbSize < SubFormatExtra + 2)
        return 0;
    return static_cast<uint16_t>(f.extra[SubFormatExtra] | f.extra[SubFormatExtra + 1] << 8);
}

AVSampleFormat sampleFormatOf(const WaveFormat& f) {
    const uint16_t tag = sampleTag(f);
    if (tag == platform::acm::WAVE_FORMAT_PCM) {
        switch (f.wBitsPerSample) {
        case 8:
            return AV_SAMPLE_FMT_U8;
        case 16:
            return AV_SAMPLE_FMT_S16;
        case 32:
            return AV_SAMPLE_FMT_S32;
        default:
            return AV_SAMPLE_FMT_NONE; // 24 bits: widened by hand
        }
    }
    if (tag == TagFloat)
        return f.wBitsPerSample == 32   ? AV_SAMPLE_FMT_FLT
               : f.wBitsPerSample == 64 ? AV_SAMPLE_FMT_DBL
                                        : AV_SAMPLE_FMT_NONE;
    return AV_SAMPLE_FMT_NONE;
}

bool readable(const WaveFormat& f) {
    const bool pcm24 = sampleTag(f) == platform::acm::WAVE_FORMAT_PCM && f.wBitsPerSample == 24;
    return (sampleFormatOf(f) != AV_SAMPLE_FMT_NONE || pcm24) && f.nChannels >= 1 &&
           f.nChannels <= MaxChannels && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 &&
           f.nSamplesPerSec > 0;
}

class Normalizer : public Pipeline {
public:
    Normalizer(const WaveFormat& source, std::unique_ptr<Pipeline> inner, SwrContext* swr, int outChannels)
        : inner_(std::move(inner)), swr_(swr), frameBytes_(source.nBlockAlign),
          pcm24_(source.wBitsPerSample == 24),
          outFrameBytes_(static_cast<uint32_t>(outChannels) * OutputSampleBytes) {
        // As many source frames per block as the inner path takes converted ones.
        const uint32_t frames = std::max<uint32_t>(1, inner_->sourceBlock() / outFrameBytes_);
        sourceBlock_ = frames * frameBytes_;
    }
    ~Normalizer() override { swr_free(&swr_); }

    StepError feed(const uint8_t* data, uint32_t length, uint32_t& used, const OutputSink& out) override {
        const uint32_t frames = length / frameBytes_;
        used = frames * frameBytes_;
        if (frames > 0 && !convert(data, static_cast<int>(frames)))
            return {StepError::Kind::Acm, platform::acm::ACMERR_NOTPOSSIBLE};
        return pass(out);
    }

    StepError finish(const OutputSink& out) override {
        if (StepError e = pass(out))
            return e;
        // Bytes the inner path left (less than it takes at once) go with its flush.
        return inner_->finish(out);
    }

private:
    bool convert(const uint8_t* data, int frames) {
        const uint8_t* in = data;
        if (pcm24_) {
            // 24-bit samples widened to 32 bits, the low byte zero.
            wide_.resize(static_cast<size_t>(frames) * frameBytes_ / 3 * 4);
            for (size_t i = 0, o = 0; i < static_cast<size_t>(frames) * frameBytes_; i += 3, o += 4) {
                wide_[o] = 0;
                std::memcpy(&wide_[o + 1], data + i, 3);
            }
            in = wide_.data();
        }
        const int room = swr_get_out_samples(swr_, frames);
        const size_t at = carry_.size();
        carry_.resize(at + static_cast<size_t>(room) * outFrameBytes_);
        uint8_t* outPlanes[] = {carry_.data() + at};
        const uint8_t* inPlanes[] = {in};
        const int made = swr_convert(swr_, outPlanes, room, inPlanes, frames);
        if (made < 0)
            return false;
        carry_.resize(at + static_cast<size_t>(made) * outFrameBytes_);
        return true;
    }

    StepError pass(const OutputSink& out) {
        if (carry_.empty())
            return {};
        uint32_t used = 0;
        const StepError e = inner_->feed(carry_.data(), static_cast<uint32_t>(carry_.size()), used, out);
        carry_.erase(carry_.begin(), carry_.begin() + used);
        return e;
    }

    std::unique_ptr<Pipeline> inner_;
    SwrContext* swr_;
    uint32_t frameBytes_;
    bool pcm24_;
    uint32_t outFrameBytes_;
    std::vector<uint8_t> wide_;
    std::vector<uint8_t> carry_;
};

} // namespace

std::optional<WaveFormat> normalizedSource(const WaveFormat& source) {
    if (platform::acm::isUsablePcm(source) || !readable(source))
        return std::nullopt;
    const auto channels = static_cast<uint16_t>(std::min<int>(source.nChannels, 2));
    return platform::acm::pcmFormat(source.nSamplesPerSec, channels, 16);
}

std::unique_ptr<Pipeline> normalizingPipeline(const WaveFormat& source, std::unique_ptr<Pipeline> inner) {
    const auto target = normalizedSource(source);
    if (!target || !inner)
        return nullptr;
    const AVSampleFormat from = source.wBitsPerSample == 24 ? AV_SAMPLE_FMT_S32 : sampleFormatOf(source);
    AVChannelLayout inLayout, outLayout;
    av_channel_layout_default(&inLayout, source.nChannels);
    av_channel_layout_default(&outLayout, target->nChannels);
    SwrContext* swr = nullptr;
    const int rate = static_cast<int>(source.nSamplesPerSec);
    const int failed =
        swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_S16, rate, &inLayout, from, rate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (failed < 0 || swr_init(swr) < 0) {
        swr_free(&swr);
        return nullptr;
    }
    return std::make_unique<Normalizer>(source, std::move(inner), swr, target->nChannels);
}

} // namespace tools::audio_converter
