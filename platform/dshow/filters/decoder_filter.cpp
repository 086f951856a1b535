#include "platform/dshow/filters/decoder_filter.h"

#include "platform/com/inproc_server.h"
#include "platform/core/paths.h"
#include "platform/core/registry.h"
#include "platform/dshow/filters/decoder_parts.h"
#include "platform/dshow/filters/media_types.h"
#include "platform/dshow/filters/stock_guids.h"

#include <new>

namespace platform::dshow::filters {

namespace {

constexpr char kObjectName[] = "Audio decoder";
constexpr LONG kOutputBuffers = 4;
// Room for the largest block the core gives at once (an AC3 frame of 1536 samples, resampled) many
// times over; bigger chunks are split across samples.
constexpr LONG kOutputBufferSize = 64 * 1024;

} // namespace

DecoderSettings storedDecoderSettings() {
    const auto value = platform::core::registry::readString(platform::core::RootKey::CurrentUser,
                                                            kDecoderSettingsKey, kMax441KhzValue);
    return decoderSettings(value.value_or("0"));
}

DecoderFilter::DecoderFilter(IUnknown* outer, DecoderSettings settings, DecoderParts parts,
                             std::string partsError)
    : CBaseFilter(kObjectName, outer, &lock_, CLSID_AudioDecoder), settings_(settings),
      parts_(std::move(parts)), partsError_(std::move(partsError)),
      input_("Audio decoder input", this, &lock_, u"Input", *this),
      output_("Audio decoder output", this, &lock_, u"Output", kOutputBuffers, kOutputBufferSize) {}

DecoderFilter::~DecoderFilter() = default;

CUnknown* DecoderFilter::CreateInstance(IUnknown* outer, HRESULT* hr) {
    const std::string self =
        platform::com::modulePathOf(reinterpret_cast<const void*>(&DecoderFilter::CreateInstance));
    std::string error;
    DecoderParts parts = loadDecoderParts(platform::core::extractFilePath(self), error);
    auto* filter =
        new (std::nothrow) DecoderFilter(outer, storedDecoderSettings(), std::move(parts), std::move(error));
    if (!filter && hr)
        *hr = E_OUTOFMEMORY;
    return filter;
}

CBasePin* DecoderFilter::GetPin(int n) {
    if (n == 0)
        return &input_;
    return n == 1 ? &output_ : nullptr;
}

HRESULT DecoderFilter::Stop() {
    CAutoLock lock(&lock_);
    const HRESULT hr = CBaseFilter::Stop();
    // Waits for a sample being decoded; the next run starts afresh.
    std::lock_guard stream(stream_);
    if (decoder_)
        decoder_->flush();
    return hr;
}

HRESULT DecoderFilter::checkInputType(const CMediaType& type) {
    if (!parts_.makeCore || !parts_.makeConverter)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return decoderInputFormat(type) ? S_OK : S_FALSE;
}

HRESULT DecoderFilter::inputConnected(const CMediaType& type) {
    const auto format = decoderInputFormat(type);
    if (!format)
        return VFW_E_TYPE_NOT_ACCEPTED;
    std::string error;
    auto decoder = AudioDecoder::create(*format, settings_, error, parts_);
    if (!decoder)
        return VFW_E_TYPE_NOT_ACCEPTED;
    output_.setTypes({pcmMediaType(decoder->outputFormat())});
    std::lock_guard stream(stream_);
    decoder_ = std::move(decoder);
    return S_OK;
}

void DecoderFilter::inputDisconnected() {
    std::lock_guard stream(stream_);
    decoder_.reset();
}

HRESULT DecoderFilter::deliver(const PcmChunk& chunk) {
    std::optional<SampleTimes> times;
    if (chunk.startTime) {
        const int rate = settings_.outputRate;
        times = SampleTimes{*chunk.startTime, *chunk.startTime + chunk.frames * UNITS / rate};
    }
    return output_.deliverBytes(chunk.bytes, times, false);
}

HRESULT DecoderFilter::receive(IMediaSample* sample) {
    std::lock_guard stream(stream_);
    if (!decoder_ || IsStopped())
        return VFW_E_WRONG_STATE;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data)
        return E_POINTER;
    const LONG length = std::max<LONG>(sample->GetActualDataLength(), 0);
    std::optional<int64_t> pts;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    if (SUCCEEDED(sample->GetTime(&start, &stop)))
        pts = start * kPtsPerSecond / kUnitsPerSecond;
    HRESULT result = S_OK;
    decoder_->decode(std::span<const uint8_t>(data, static_cast<size_t>(length)), pts,
                     [&](const PcmChunk& chunk) {
                         if (result == S_OK)
                             result = deliver(chunk);
                     });
    return result;
}

HRESULT DecoderFilter::endOfStream() {
    {
        std::lock_guard stream(stream_);
        if (decoder_)
            decoder_->endOfStream([this](const PcmChunk& chunk) { deliver(chunk); });
    }
    return output_.IsConnected() ? output_.DeliverEndOfStream() : S_OK;
}

void DecoderFilter::beginFlush() {
    if (output_.IsConnected())
        output_.DeliverBeginFlush();
}

void DecoderFilter::endFlush() {
    {
        std::lock_guard stream(stream_);
        if (decoder_)
            decoder_->flush();
    }
    if (output_.IsConnected())
        output_.DeliverEndFlush();
}

void DecoderFilter::newSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    if (output_.IsConnected())
        output_.DeliverNewSegment(start, stop, rate);
}

} // namespace platform::dshow::filters
