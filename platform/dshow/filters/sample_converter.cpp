#include "platform/dshow/filters/sample_converter.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <bit>
#include <cstring>

namespace platform::dshow::filters {

static_assert(std::endian::native == std::endian::little, "16-bit output samples are written in host order");

namespace {

constexpr size_t kBytesPerSample = 2;

AVSampleFormat avFormatOf(SampleType type, bool planar) {
    AVSampleFormat format = AV_SAMPLE_FMT_S16;
    switch (type) {
    case SampleType::S16:
        format = AV_SAMPLE_FMT_S16;
        break;
    case SampleType::S32:
        format = AV_SAMPLE_FMT_S32;
        break;
    case SampleType::Float:
        format = AV_SAMPLE_FMT_FLT;
        break;
    case SampleType::Double:
        format = AV_SAMPLE_FMT_DBL;
        break;
    }
    return planar ? av_get_planar_sample_fmt(format) : format;
}

// What a resampler was set up for; a block with other values needs a new one.
struct InputLayout {
    SampleType type = SampleType::S16;
    bool planar = false;
    int channels = 0;
    uint64_t channelMask = 0;
    int sampleRate = 0;
    bool operator==(const InputLayout&) const = default;
};

struct SwrFree {
    void operator()(SwrContext* context) const { swr_free(&context); }
};

class SwrSampleConverter : public SampleConverter {
public:
    explicit SwrSampleConverter(int outputRate) : outputRate_(outputRate) {}
    bool convert(const PcmBlock& block, std::vector<uint8_t>& out) override;
    void drain(std::vector<uint8_t>& out) override;
    void reset() override;
    int outputRate() const override { return outputRate_; }

private:
    bool passesThrough(const PcmBlock& block) const;
    void copyThrough(const PcmBlock& block, std::vector<uint8_t>& out) const;
    bool setUp(const InputLayout& layout);
    void run(const uint8_t* const* planes, int frames, std::vector<uint8_t>& out);

    int outputRate_;
    std::unique_ptr<SwrContext, SwrFree> swr_;
    InputLayout layout_;
};

// 16-bit stereo (or mono, which is doubled) at the output rate needs no arithmetic: the samples are
// copied as they are, so LPCM comes out bit for bit.
bool SwrSampleConverter::passesThrough(const PcmBlock& block) const {
    return block.type == SampleType::S16 && block.sampleRate == outputRate_ &&
           (block.channels == 1 || (block.channels == kOutputChannels && !block.planar));
}

void SwrSampleConverter::copyThrough(const PcmBlock& block, std::vector<uint8_t>& out) const {
    const size_t frames = static_cast<size_t>(block.frames);
    const size_t start = out.size();
    out.resize(start + frames * kOutputBytesPerFrame);
    uint8_t* target = out.data() + start;
    if (block.channels == kOutputChannels) {
        std::memcpy(target, block.planes[0], frames * kOutputBytesPerFrame);
        return;
    }
    for (size_t i = 0; i < frames; ++i) {
        std::memcpy(target + i * kOutputBytesPerFrame, block.planes[0] + i * kBytesPerSample,
                    kBytesPerSample);
        std::memcpy(target + i * kOutputBytesPerFrame + kBytesPerSample,
                    block.planes[0] + i * kBytesPerSample, kBytesPerSample);
    }
}

bool SwrSampleConverter::setUp(const InputLayout& layout) {
    if (swr_ && layout == layout_)
        return true;
    swr_.reset();
    AVChannelLayout in{};
    if (layout.channelMask != 0 && std::popcount(layout.channelMask) == layout.channels)
        av_channel_layout_from_mask(&in, layout.channelMask);
    else
        av_channel_layout_default(&in, layout.channels);
    AVChannelLayout out{};
    av_channel_layout_default(&out, kOutputChannels);
    SwrContext* context = nullptr;
    const int made =
        swr_alloc_set_opts2(&context, &out, AV_SAMPLE_FMT_S16, outputRate_, &in,
                            avFormatOf(layout.type, layout.planar), layout.sampleRate, 0, nullptr);
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    swr_.reset(context);
    if (made < 0 || !swr_ || swr_init(swr_.get()) < 0) {
        swr_.reset();
        return false;
    }
    layout_ = layout;
    return true;
}

void SwrSampleConverter::run(const uint8_t* const* planes, int frames, std::vector<uint8_t>& out) {
    const int room = swr_get_out_samples(swr_.get(), frames);
    if (room <= 0)
        return;
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(room) * kOutputBytesPerFrame);
    uint8_t* target = out.data() + start;
    const int made = swr_convert(swr_.get(), &target, room, const_cast<const uint8_t**>(planes), frames);
    out.resize(start + static_cast<size_t>(made > 0 ? made : 0) * kOutputBytesPerFrame);
}

bool SwrSampleConverter::convert(const PcmBlock& block, std::vector<uint8_t>& out) {
    if (block.frames <= 0 || block.channels < 1 || block.channels > kMaxBlockChannels ||
        block.sampleRate <= 0)
        return false;
    if (passesThrough(block)) {
        drain(out); // a resampler in use before a change of layout gives up its last samples first
        copyThrough(block, out);
        return true;
    }
    const InputLayout layout{block.type, block.planar, block.channels, block.channelMask, block.sampleRate};
    if (swr_ && !(layout == layout_))
        drain(out);
    if (!setUp(layout))
        return false;
    run(block.planes.data(), block.frames, out);
    return true;
}

void SwrSampleConverter::drain(std::vector<uint8_t>& out) {
    if (!swr_)
        return;
    run(nullptr, 0, out);
    swr_.reset();
}

void SwrSampleConverter::reset() {
    swr_.reset();
}

} // namespace

std::unique_ptr<SampleConverter> makeSampleConverter(int outputRate) {
    return std::make_unique<SwrSampleConverter>(outputRate);
}

} // namespace platform::dshow::filters
