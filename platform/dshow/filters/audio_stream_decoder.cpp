#include "platform/dshow/filters/audio_stream_decoder.h"

#include "platform/dshow/filters/media_types.h"
#include "platform/dshow/guids.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

namespace platform::dshow::filters {

namespace {

constexpr char kObjectName[] = "Audio Decoder";
constexpr LONG kOutputBuffers = 8;
constexpr LONG kOutputBufferSize = 64 * 1024;
constexpr int kMaxOutputChannels = 2;
constexpr int kOutputBits = 16;
// The format tags of the compressed formats the AVI tools write, and a few more.
constexpr uint16_t kTagAdpcm = 0x0002;
constexpr uint16_t kTagFloat = 0x0003;
constexpr uint16_t kTagAlaw = 0x0006;
constexpr uint16_t kTagMulaw = 0x0007;
constexpr uint16_t kTagImaAdpcm = 0x0011;
constexpr uint16_t kTagMp3 = 0x0055;
constexpr uint16_t kTagWma1 = 0x0160;
constexpr uint16_t kTagWma2 = 0x0161;
constexpr int kMaxTrackedDecodeFailures = 32;

AVCodecID codecOf(uint16_t tag, uint16_t bits) {
    switch (tag) {
    case kWaveFormatMpeg:
        return AV_CODEC_ID_MP2; // layers I and II; the decoder finds layer III frames as well
    case kTagMp3:
        return AV_CODEC_ID_MP3;
    case kTagWma1:
        return AV_CODEC_ID_WMAV1;
    case kTagWma2:
        return AV_CODEC_ID_WMAV2;
    case kWaveFormatAc3:
        return AV_CODEC_ID_AC3;
    case kTagAdpcm:
        return AV_CODEC_ID_ADPCM_MS;
    case kTagImaAdpcm:
        return AV_CODEC_ID_ADPCM_IMA_WAV;
    case kTagAlaw:
        return AV_CODEC_ID_PCM_ALAW;
    case kTagMulaw:
        return AV_CODEC_ID_PCM_MULAW;
    case kTagFloat:
        return bits == 64 ? AV_CODEC_ID_PCM_F64LE : AV_CODEC_ID_PCM_F32LE;
    default:
        return AV_CODEC_ID_NONE;
    }
}

// Streams stored as bytes rather than a frame per chunk: every chunk after the first may begin and end
// inside a frame, so these are cut into whole frames before the decoder sees them.
bool needsParser(AVCodecID id) {
    return id == AV_CODEC_ID_MP2 || id == AV_CODEC_ID_MP3 || id == AV_CODEC_ID_AC3;
}

} // namespace

struct AudioStreamDecoderFilter::Codec {
    AVCodecContext* context = nullptr;
    AVCodecParserContext* parser = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwrContext* resampler = nullptr;
    int outputChannels = 0;
    int rate = 0;
    std::optional<REFERENCE_TIME> base;            // time of the first sample out since a start or flush
    std::optional<REFERENCE_TIME> firstSampleTime; // of the first input sample since then (parsed streams)
    int64_t samplesOut = 0;
    int failures = 0;
    std::vector<uint8_t> pcm;

    ~Codec() {
        av_parser_close(parser);
        swr_free(&resampler);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&context);
    }

    bool open(const WaveFormat& format) {
        const AVCodec* codec = avcodec_find_decoder(codecOf(format.formatTag, format.bitsPerSample));
        if (!codec || format.channels == 0 || format.samplesPerSec == 0)
            return false;
        context = avcodec_alloc_context3(codec);
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        if (!context || !packet || !frame)
            return false;
        av_channel_layout_default(&context->ch_layout, format.channels);
        context->sample_rate = static_cast<int>(format.samplesPerSec);
        context->block_align = format.blockAlign;
        context->bit_rate = static_cast<int64_t>(format.avgBytesPerSec) * 8;
        context->bits_per_coded_sample = format.bitsPerSample;
        if (!format.extra.empty()) {
            context->extradata =
                static_cast<uint8_t*>(av_mallocz(format.extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
            if (!context->extradata)
                return false;
            std::copy(format.extra.begin(), format.extra.end(), context->extradata);
            context->extradata_size = static_cast<int>(format.extra.size());
        }
        if (avcodec_open2(context, codec, nullptr) < 0)
            return false;
        if (needsParser(codec->id) && !resetParser())
            return false;
        outputChannels = std::min<int>(format.channels, kMaxOutputChannels);
        rate = static_cast<int>(format.samplesPerSec);
        return true;
    }

    // Forgets any part of a frame the parser holds (after a seek, or at a new start).
    bool resetParser() {
        if (!parser && !needsParser(context->codec_id))
            return true;
        av_parser_close(parser);
        parser = av_parser_init(context->codec_id);
        return parser != nullptr;
    }

    void flush() {
        avcodec_flush_buffers(context);
        resetParser();
        base.reset();
        firstSampleTime.reset();
    }

    // Converts the decoded frame to interleaved 16-bit PCM in pcm; false when it cannot be.
    bool convert() {
        if (!resampler) {
            AVChannelLayout out;
            av_channel_layout_default(&out, outputChannels);
            const int failed = swr_alloc_set_opts2(
                &resampler, &out, AV_SAMPLE_FMT_S16, rate, &frame->ch_layout,
                static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
            av_channel_layout_uninit(&out);
            if (failed < 0 || swr_init(resampler) < 0) {
                swr_free(&resampler);
                return false;
            }
        }
        const int room = swr_get_out_samples(resampler, frame->nb_samples);
        if (room < 0)
            return false;
        pcm.resize(static_cast<size_t>(room) * static_cast<size_t>(outputChannels) * sizeof(int16_t));
        uint8_t* out[] = {pcm.data()};
        const int made = swr_convert(resampler, out, room, const_cast<const uint8_t**>(frame->extended_data),
                                     frame->nb_samples);
        if (made < 0)
            return false;
        pcm.resize(static_cast<size_t>(made) * static_cast<size_t>(outputChannels) * sizeof(int16_t));
        return true;
    }
};

AudioStreamDecoderFilter::AudioStreamDecoderFilter(IUnknown* outer)
    : CBaseFilter(kObjectName, outer, &lock_, CLSID_AudioStreamDecoder),
      input_("Audio decoder input", this, &lock_, u"In", *this),
      output_("Audio decoder output", this, &lock_, u"Out", kOutputBuffers, kOutputBufferSize) {}

AudioStreamDecoderFilter::~AudioStreamDecoderFilter() = default;

CUnknown* AudioStreamDecoderFilter::CreateInstance(IUnknown* outer, HRESULT* hr) {
    auto* filter = new (std::nothrow) AudioStreamDecoderFilter(outer);
    if (!filter && hr)
        *hr = E_OUTOFMEMORY;
    return filter;
}

CBasePin* AudioStreamDecoderFilter::GetPin(int n) {
    if (n == 0)
        return &input_;
    if (n == 1)
        return &output_;
    return nullptr;
}

HRESULT AudioStreamDecoderFilter::Stop() {
    CAutoLock lock(&lock_);
    const HRESULT hr = CBaseFilter::Stop();
    std::lock_guard stream(stream_);
    if (codec_)
        codec_->flush();
    return hr;
}

bool AudioStreamDecoderFilter::accepts(uint16_t formatTag) {
    return codecOf(formatTag, 0) != AV_CODEC_ID_NONE;
}

HRESULT AudioStreamDecoderFilter::checkInputType(const CMediaType& type) {
    if (type.majortype != MEDIATYPE_Audio)
        return S_FALSE;
    const auto format = waveFormatOf(type);
    return format && accepts(format->formatTag) ? S_OK : S_FALSE;
}

HRESULT AudioStreamDecoderFilter::inputConnected(const CMediaType& type) {
    const auto format = waveFormatOf(type);
    if (!format)
        return VFW_E_TYPE_NOT_ACCEPTED;
    auto codec = std::make_unique<Codec>();
    if (!codec->open(*format))
        return VFW_E_TYPE_NOT_ACCEPTED;
    output_format_ = pcmWaveFormat(codec->rate, codec->outputChannels, kOutputBits);
    output_.setTypes({pcmMediaType(output_format_)});
    std::lock_guard stream(stream_);
    codec_ = std::move(codec);
    return S_OK;
}

void AudioStreamDecoderFilter::inputDisconnected() {
    std::lock_guard stream(stream_);
    codec_.reset();
    output_.setTypes({});
}

HRESULT AudioStreamDecoderFilter::drainFrames(std::optional<REFERENCE_TIME> time) {
    Codec& codec = *codec_;
    for (;;) {
        const int got = avcodec_receive_frame(codec.context, codec.frame);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
            return S_OK;
        if (got < 0)
            return S_OK; // a broken frame is left out; the next packet goes on
        if (!codec.base) {
            codec.base = time.value_or(0);
            codec.samplesOut = 0;
        }
        const bool converted = codec.convert();
        av_frame_unref(codec.frame);
        if (!converted || codec.pcm.empty())
            continue;
        const int64_t frames = static_cast<int64_t>(
            codec.pcm.size() / (static_cast<size_t>(codec.outputChannels) * sizeof(int16_t)));
        const SampleTimes times{*codec.base + codec.samplesOut * UNITS / codec.rate,
                                *codec.base + (codec.samplesOut + frames) * UNITS / codec.rate};
        codec.samplesOut += frames;
        const HRESULT hr = output_.deliverBytes(codec.pcm, times, false);
        if (hr != S_OK)
            return hr;
    }
}

HRESULT AudioStreamDecoderFilter::receive(IMediaSample* sample) {
    std::lock_guard stream(stream_);
    if (!codec_ || !output_.IsConnected())
        return VFW_E_NOT_CONNECTED;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data)
        return E_POINTER;
    int length = std::max<LONG>(sample->GetActualDataLength(), 0);
    std::optional<REFERENCE_TIME> time;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    if (SUCCEEDED(sample->GetTime(&start, &stop)))
        time = start;
    if (!codec_->parser)
        return decodePacket(data, length, time);
    // The first frame may come out of the parser only with a later sample: the sound's start is the
    // time of the first sample since the start or the seek; later times follow from the sample count.
    if (!codec_->base && !codec_->firstSampleTime)
        codec_->firstSampleTime = time;
    if (!codec_->base)
        time = codec_->firstSampleTime;
    while (length > 0) {
        uint8_t* frame = nullptr;
        int frameSize = 0;
        const int used = av_parser_parse2(codec_->parser, codec_->context, &frame, &frameSize, data, length,
                                          AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0)
            return S_OK;
        data += used;
        length -= used;
        if (frameSize > 0)
            if (const HRESULT hr = decodePacket(frame, frameSize, time); hr != S_OK)
                return hr;
        if (used == 0 && frameSize == 0)
            break;
    }
    return S_OK;
}

HRESULT AudioStreamDecoderFilter::decodePacket(const uint8_t* data, int length,
                                               std::optional<REFERENCE_TIME> time) {
    Codec& codec = *codec_;
    if (av_new_packet(codec.packet, length) < 0)
        return E_OUTOFMEMORY;
    std::copy(data, data + length, codec.packet->data);
    const int sent = avcodec_send_packet(codec.context, codec.packet);
    av_packet_unref(codec.packet);
    if (sent < 0 && sent != AVERROR(EAGAIN)) {
        // Damaged data: skipped, but a stream that never decodes is ended rather than fed for ever.
        if (++codec.failures > kMaxTrackedDecodeFailures && !codec.base)
            return S_FALSE;
        return S_OK;
    }
    return drainFrames(time);
}

HRESULT AudioStreamDecoderFilter::endOfStream() {
    {
        std::lock_guard stream(stream_);
        if (codec_ && output_.IsConnected()) {
            // The last frame the parser still holds.
            if (codec_->parser) {
                uint8_t* frame = nullptr;
                int frameSize = 0;
                av_parser_parse2(codec_->parser, codec_->context, &frame, &frameSize, nullptr, 0,
                                 AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
                if (frameSize > 0)
                    decodePacket(frame, frameSize, std::nullopt);
                codec_->resetParser();
            }
            avcodec_send_packet(codec_->context, nullptr);
            drainFrames(std::nullopt);
            avcodec_flush_buffers(codec_->context);
        }
    }
    return output_.IsConnected() ? output_.DeliverEndOfStream() : S_OK;
}

void AudioStreamDecoderFilter::beginFlush() {
    if (output_.IsConnected())
        output_.DeliverBeginFlush();
}

void AudioStreamDecoderFilter::endFlush() {
    {
        std::lock_guard stream(stream_);
        if (codec_)
            codec_->flush();
    }
    if (output_.IsConnected())
        output_.DeliverEndFlush();
}

void AudioStreamDecoderFilter::newSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    {
        std::lock_guard stream(stream_);
        if (codec_) {
            codec_->base.reset();
            codec_->firstSampleTime.reset();
        }
    }
    if (output_.IsConnected())
        output_.DeliverNewSegment(start, stop, rate);
}

} // namespace platform::dshow::filters
