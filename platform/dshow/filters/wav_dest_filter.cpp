#include "platform/dshow/filters/wav_dest_filter.h"

#include "platform/dshow/filters/media_types.h"
#include "platform/dshow/filters/stock_guids.h"
#include "platform/dshow/guids.h"

#include <new>

namespace platform::dshow::filters {

namespace {

constexpr char kObjectName[] = "WAV writer";
constexpr LONG kOutputBuffers = 2;
constexpr LONG kOutputBufferSize = 256 * 1024;

CMediaType waveStreamType() {
    CMediaType type(MEDIATYPE_Stream, MEDIASUBTYPE_WAVE);
    type.SetFormatType(&FORMAT_None);
    return type;
}

} // namespace

WavDestFilter::WavDestFilter(IUnknown* outer)
    : CBaseFilter(kObjectName, outer, &lock_, CLSID_WavDest),
      input_("WAV writer input", this, &lock_, u"In", *this),
      output_("WAV writer output", this, &lock_, u"Out", kOutputBuffers, kOutputBufferSize) {
    output_.setTypes({waveStreamType()});
}

WavDestFilter::~WavDestFilter() = default;

CUnknown* WavDestFilter::CreateInstance(IUnknown* outer, HRESULT* hr) {
    auto* filter = new (std::nothrow) WavDestFilter(outer);
    if (!filter && hr)
        *hr = E_OUTOFMEMORY;
    return filter;
}

CBasePin* WavDestFilter::GetPin(int n) {
    if (n == 0)
        return &input_;
    return n == 1 ? &output_ : nullptr;
}

HRESULT WavDestFilter::checkInputType(const CMediaType& type) {
    if (*type.Type() != MEDIATYPE_Audio)
        return S_FALSE;
    const auto format = waveFormatOf(type);
    return format && format->channels > 0 && format->samplesPerSec > 0 ? S_OK : S_FALSE;
}

HRESULT WavDestFilter::inputConnected(const CMediaType& type) {
    const auto format = waveFormatOf(type);
    if (!format)
        return VFW_E_TYPE_NOT_ACCEPTED;
    format_ = *format;
    return S_OK;
}

HRESULT WavDestFilter::Pause() {
    CAutoLock lock(&lock_);
    if (state_ == State_Stopped) {
        std::lock_guard stream(stream_);
        writer_ = std::make_unique<WavWriter>(static_cast<WavSink&>(*this), format_);
        start_.reset();
        if (format_.formatTag == kWaveFormatPcm && format_.blockAlign > 0)
            start_ =
                std::make_unique<PcmStart>(0, static_cast<int>(format_.samplesPerSec), format_.blockAlign);
        lastDelivery_ = S_OK;
    }
    return CBaseFilter::Pause();
}

HRESULT WavDestFilter::Stop() {
    CAutoLock lock(&lock_);
    {
        // Waits for a sample being written, then completes the sizes while the output still runs.
        std::lock_guard stream(stream_);
        if (writer_ && output_.IsConnected())
            writer_->finish();
        writer_.reset();
    }
    return CBaseFilter::Stop();
}

bool WavDestFilter::write(int64_t offset, std::span<const uint8_t> bytes) {
    lastDelivery_ = output_.deliverAt(offset, bytes);
    return lastDelivery_ == S_OK;
}

HRESULT WavDestFilter::receive(IMediaSample* sample) {
    std::lock_guard stream(stream_);
    if (!writer_ || writer_->finished())
        return VFW_E_WRONG_STATE;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data)
        return E_POINTER;
    const auto length = static_cast<size_t>(std::max<LONG>(sample->GetActualDataLength(), 0));
    std::span<const uint8_t> bytes(data, length);
    if (start_) {
        REFERENCE_TIME begin = 0;
        REFERENCE_TIME end = 0;
        std::optional<int64_t> time;
        if (SUCCEEDED(sample->GetTime(&begin, &end)))
            time = begin;
        placed_.clear();
        start_->take(bytes, time, placed_);
        bytes = placed_;
    }
    if (!writer_->append(bytes) || !writer_->updateSizes())
        return lastDelivery_ != S_OK ? lastDelivery_ : E_FAIL;
    return S_OK;
}

HRESULT WavDestFilter::endOfStream() {
    {
        std::lock_guard stream(stream_);
        if (writer_)
            writer_->finish();
    }
    return output_.IsConnected() ? output_.DeliverEndOfStream() : S_OK;
}

void WavDestFilter::newSegment(REFERENCE_TIME start, REFERENCE_TIME, double) {
    std::lock_guard stream(stream_);
    // A new segment before anything was written moves the file's start to it (a seek before the run).
    if (start_ && writer_ && writer_->dataSize() == 0)
        start_ =
            std::make_unique<PcmStart>(start, static_cast<int>(format_.samplesPerSec), format_.blockAlign);
}

void WavDestFilter::beginFlush() {
    if (output_.IsConnected())
        output_.DeliverBeginFlush();
}

void WavDestFilter::endFlush() {
    {
        std::lock_guard stream(stream_);
        if (writer_ && isQuietRefusal(lastDelivery_))
            writer_->clearFailure();
    }
    if (output_.IsConnected())
        output_.DeliverEndFlush();
}

} // namespace platform::dshow::filters
