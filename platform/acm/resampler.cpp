#include "platform/acm/resampler.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <vector>

namespace platform::acm {

namespace {

// The mix matrix (one row per output channel): copy for equal counts and for mono to stereo, the
// mean of both channels for stereo to mono.
std::vector<double> mixMatrix(int inChannels, int outChannels) {
    std::vector<double> m(static_cast<size_t>(inChannels * outChannels), 0.0);
    for (int o = 0; o < outChannels; ++o)
        for (int i = 0; i < inChannels; ++i) {
            double& cell = m[static_cast<size_t>(o * inChannels + i)];
            if (inChannels == outChannels)
                cell = o == i ? 1.0 : 0.0;
            else if (inChannels == 1)
                cell = 1.0;
            else
                cell = 1.0 / inChannels;
        }
    return m;
}

} // namespace

AVSampleFormat packedFormatOf(const WaveFormat& pcm) {
    return pcm.wBitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
}

std::unique_ptr<Resampler> Resampler::create(const WaveFormat& in, AVSampleFormat outFormat, int outChannels,
                                             int outRate) {
    std::unique_ptr<Resampler> r(new Resampler);
    AVChannelLayout inLayout{};
    AVChannelLayout outLayout{};
    av_channel_layout_default(&inLayout, in.nChannels);
    av_channel_layout_default(&outLayout, outChannels);
    const int made = swr_alloc_set_opts2(&r->swr_, &outLayout, outFormat, outRate, &inLayout,
                                         packedFormatOf(in), static_cast<int>(in.nSamplesPerSec), 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (made < 0 || r->swr_ == nullptr)
        return nullptr;
    const std::vector<double> matrix = mixMatrix(in.nChannels, outChannels);
    if (swr_set_matrix(r->swr_, matrix.data(), in.nChannels) < 0 || swr_init(r->swr_) < 0)
        return nullptr;
    return r;
}

Resampler::~Resampler() {
    swr_free(&swr_);
}

int Resampler::maxOutFrames(int inFrames) const {
    return swr_get_out_samples(swr_, inFrames);
}

int Resampler::convert(const uint8_t* in, int inFrames, uint8_t* const* out, int outCapacity) {
    const uint8_t* planes[1] = {in};
    return swr_convert(swr_, const_cast<uint8_t**>(out), outCapacity, in ? planes : nullptr,
                       in ? inFrames : 0);
}

} // namespace platform::acm
