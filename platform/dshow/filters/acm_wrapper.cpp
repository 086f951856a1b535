#include "platform/dshow/filters/acm_wrapper.h"

#include "platform/dshow/filters/media_types.h"
#include "platform/dshow/filters/stock_guids.h"
#include "platform/dshow/guids.h"

#include <new>

namespace platform::dshow::filters {

namespace {
constexpr char kObjectName[] = "ACM Wrapper";
constexpr uint16_t kWaveFormatExtensible = 0xFFFE;
constexpr LONG kOutputBuffers = 4;
constexpr LONG kOutputBufferSize = 64 * 1024;
} // namespace

bool isPcmAudioType(const CMediaType& type) {
    if (*type.Type() != MEDIATYPE_Audio)
        return false;
    const auto format = waveFormatOf(type);
    return format && (format->formatTag == kWaveFormatPcm || format->formatTag == kWaveFormatExtensible) &&
           format->channels > 0 && format->samplesPerSec > 0 && format->blockAlign > 0 &&
           format->bitsPerSample > 0;
}

AcmWrapperFilter::AcmWrapperFilter(IUnknown* outer)
    : CBaseFilter(kObjectName, outer, &lock_, CLSID_AcmWrapper),
      input_("ACM Wrapper input", this, &lock_, u"Input", *this),
      output_("ACM Wrapper output", this, &lock_, u"Output", kOutputBuffers, kOutputBufferSize) {}

AcmWrapperFilter::~AcmWrapperFilter() = default;

CUnknown* AcmWrapperFilter::CreateInstance(IUnknown* outer, HRESULT* hr) {
    auto* filter = new (std::nothrow) AcmWrapperFilter(outer);
    if (!filter && hr)
        *hr = E_OUTOFMEMORY;
    return filter;
}

CBasePin* AcmWrapperFilter::GetPin(int n) {
    if (n == 0)
        return &input_;
    return n == 1 ? &output_ : nullptr;
}

HRESULT AcmWrapperFilter::Stop() {
    CAutoLock lock(&lock_);
    const HRESULT hr = CBaseFilter::Stop();
    std::lock_guard stream(stream_); // no sample is passing any more
    return hr;
}

HRESULT AcmWrapperFilter::checkInputType(const CMediaType& type) {
    return isPcmAudioType(type) ? S_OK : S_FALSE;
}

HRESULT AcmWrapperFilter::inputConnected(const CMediaType& type) {
    output_.setTypes({type});
    return S_OK;
}

HRESULT AcmWrapperFilter::receive(IMediaSample* sample) {
    std::lock_guard stream(stream_);
    if (IsStopped())
        return VFW_E_WRONG_STATE;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data)
        return E_POINTER;
    const auto length = static_cast<size_t>(std::max<LONG>(sample->GetActualDataLength(), 0));
    std::optional<SampleTimes> times;
    SampleTimes t;
    if (SUCCEEDED(sample->GetTime(&t.start, &t.stop)))
        times = t;
    return output_.deliverBytes(std::span<const uint8_t>(data, length), times,
                                sample->IsDiscontinuity() == S_OK);
}

HRESULT AcmWrapperFilter::endOfStream() {
    std::lock_guard stream(stream_);
    return output_.IsConnected() ? output_.DeliverEndOfStream() : S_OK;
}

void AcmWrapperFilter::beginFlush() {
    if (output_.IsConnected())
        output_.DeliverBeginFlush();
}

void AcmWrapperFilter::endFlush() {
    if (output_.IsConnected())
        output_.DeliverEndFlush();
}

void AcmWrapperFilter::newSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    if (output_.IsConnected())
        output_.DeliverNewSegment(start, stop, rate);
}

} // namespace platform::dshow::filters
