#include "platform/dshow/filters/sound_renderer.h"

#include "platform/dshow/filters/acm_wrapper.h"
#include "platform/dshow/filters/media_types.h"
#include "platform/dshow/filters/stock_guids.h"
#include "platform/dshow/guids.h"

#include <algorithm>
#include <new>
#include <vector>

namespace platform::dshow::filters {

namespace {
constexpr char kObjectName[] = "Sound Renderer";
// A late start beyond this is taken as a time stamp that means nothing, not as a gap to fill.
constexpr REFERENCE_TIME kMaxLeadIn = 60 * UNITS;
constexpr size_t kSilenceBlock = 16 * 1024;
} // namespace

SoundRendererFilter::SoundRendererFilter(IUnknown* outer)
    : CBaseFilter(kObjectName, outer, &lock_, CLSID_SoundRenderer),
      input_("Sound Renderer input", this, &lock_, u"Audio Input pin (rendered)", *this) {}

SoundRendererFilter::~SoundRendererFilter() {
    gate_.cancel();
}

CUnknown* SoundRendererFilter::CreateInstance(IUnknown* outer, HRESULT* hr) {
    auto* filter = new (std::nothrow) SoundRendererFilter(outer);
    if (!filter && hr)
        *hr = E_OUTOFMEMORY;
    return filter;
}

HRESULT SoundRendererFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IAMFilterMiscFlags)
        return GetInterface(static_cast<IAMFilterMiscFlags*>(this), ppv);
    if (riid == IID_IReferenceClock)
        return GetInterface(static_cast<IReferenceClock*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

bool SoundRendererFilter::playsOnDevice() {
    std::lock_guard stream(stream_);
    return output_ && output_->isDevice();
}

HRESULT SoundRendererFilter::Pause() {
    CAutoLock lock(&lock_);
    gate_.setRunning(false);
    clock_.setRunning(false);
    if (state_ == State_Stopped) {
        gate_.reset();
        std::lock_guard stream(stream_);
        played_ = 0;
        sinceBase_ = 0;
        clock_.restart(segmentStart_);
        output_ = openDeviceOutput(format_, gate_);
        if (!output_)
            output_ = makePacedOutput(format_, gate_);
    }
    return CBaseFilter::Pause();
}

HRESULT SoundRendererFilter::Run(REFERENCE_TIME start) {
    CAutoLock lock(&lock_);
    const HRESULT hr = CBaseFilter::Run(start);
    if (FAILED(hr))
        return hr;
    gate_.setRunning(true);
    clock_.setRunning(true);
    return hr;
}

HRESULT SoundRendererFilter::Stop() {
    CAutoLock lock(&lock_);
    gate_.cancel();
    const HRESULT hr = CBaseFilter::Stop();
    std::lock_guard stream(stream_);
    output_.reset();
    gate_.setRunning(false);
    clock_.setRunning(false);
    clock_.restart(std::nullopt);
    segmentStart_.reset();
    return hr;
}

HRESULT SoundRendererFilter::checkInputType(const CMediaType& type) {
    return isPcmAudioType(type) ? S_OK : S_FALSE;
}

HRESULT SoundRendererFilter::inputConnected(const CMediaType& type) {
    const auto format = waveFormatOf(type);
    if (!format)
        return VFW_E_TYPE_NOT_ACCEPTED;
    format_ = *format;
    return S_OK;
}

HRESULT SoundRendererFilter::receive(IMediaSample* sample) {
    std::lock_guard stream(stream_);
    if (!output_)
        return VFW_E_WRONG_STATE;
    if (!gate_.waitRunning())
        return S_FALSE;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data)
        return E_POINTER;
    if (!clock_.base() && !playLeadIn(sample))
        return S_FALSE;
    const auto length = static_cast<size_t>(std::max<LONG>(sample->GetActualDataLength(), 0));
    const std::span<const uint8_t> bytes(data, length);
    if (!output_->play(bytes)) {
        if (gate_.cancelled())
            return S_FALSE;
        // The device failed under way: the rest is consumed at its pace, so the stream still ends.
        output_ = makePacedOutput(format_, gate_);
        output_->play(bytes);
    }
    played_ += static_cast<int64_t>(length);
    sinceBase_ += static_cast<int64_t>(length);
    const REFERENCE_TIME base = clock_.base().value_or(0);
    clock_.played(base + timeOfBytes(sinceBase_), base + timeOfBytes(sinceBase_ - output_->pendingBytes()));
    return S_OK;
}

REFERENCE_TIME SoundRendererFilter::timeOfBytes(int64_t bytes) const {
    const int64_t perSecond = std::max<int64_t>(format_.avgBytesPerSec, 1);
    return std::max<int64_t>(bytes, 0) * UNITS / perSecond;
}

bool SoundRendererFilter::playLeadIn(IMediaSample* sample) {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    if (!timed) {
        clock_.setBase(segmentStart_.value_or(0));
        return true;
    }
    const REFERENCE_TIME from = segmentStart_.value_or(start);
    const REFERENCE_TIME gap = start - from;
    if (gap <= 0 || gap > kMaxLeadIn || format_.blockAlign == 0) {
        clock_.setBase(start);
        return true;
    }
    clock_.setBase(from);
    int64_t bytes = gap * format_.avgBytesPerSec / UNITS;
    bytes -= bytes % format_.blockAlign;
    // Unsigned 8-bit samples are silent at their middle value.
    const std::vector<uint8_t> silence(kSilenceBlock - kSilenceBlock % format_.blockAlign,
                                       format_.bitsPerSample == 8 ? 0x80 : 0);
    while (bytes > 0) {
        const auto count =
            static_cast<size_t>(std::min<int64_t>(bytes, static_cast<int64_t>(silence.size())));
        if (!output_->play(std::span<const uint8_t>(silence.data(), count)))
            return false;
        bytes -= static_cast<int64_t>(count);
        played_ += static_cast<int64_t>(count);
        sinceBase_ += static_cast<int64_t>(count);
        clock_.played(from + timeOfBytes(sinceBase_),
                      from + timeOfBytes(sinceBase_ - output_->pendingBytes()));
    }
    return true;
}

HRESULT SoundRendererFilter::GetTime(REFERENCE_TIME* time) {
    if (!time)
        return E_POINTER;
    *time = clock_.now();
    return S_OK;
}

void SoundRendererFilter::newSegment(REFERENCE_TIME start, REFERENCE_TIME, double) {
    std::lock_guard stream(stream_);
    segmentStart_ = start;
    if (!clock_.base())
        clock_.restart(start);
}

HRESULT SoundRendererFilter::endOfStream() {
    {
        std::lock_guard stream(stream_);
        if (!output_ || !gate_.waitRunning() || !output_->drain())
            return S_OK; // stopped or flushed before the end played
    }
    clock_.ended();
    NotifyEvent(EC_COMPLETE, S_OK, 0);
    return S_OK;
}

void SoundRendererFilter::beginFlush() {
    gate_.cancel();
    std::lock_guard stream(stream_);
    if (output_)
        output_->discard();
}

void SoundRendererFilter::endFlush() {
    std::lock_guard stream(stream_);
    sinceBase_ = 0;
    clock_.restart(segmentStart_);
    gate_.reset();
}

} // namespace platform::dshow::filters
