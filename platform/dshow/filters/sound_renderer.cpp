#include "platform/dshow/filters/sound_renderer.h"

#include "platform/dshow/filters/acm_wrapper.h"
#include "platform/dshow/filters/media_types.h"
#include "platform/dshow/filters/stock_guids.h"

#include <new>

namespace platform::dshow::filters {

namespace {
constexpr char kObjectName[] = "Sound Renderer";
}

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
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

bool SoundRendererFilter::playsOnDevice() {
    std::lock_guard stream(stream_);
    return output_ && output_->isDevice();
}

HRESULT SoundRendererFilter::Pause() {
    CAutoLock lock(&lock_);
    gate_.setRunning(false);
    if (state_ == State_Stopped) {
        gate_.reset();
        std::lock_guard stream(stream_);
        played_ = 0;
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
    return hr;
}

HRESULT SoundRendererFilter::Stop() {
    CAutoLock lock(&lock_);
    gate_.cancel();
    const HRESULT hr = CBaseFilter::Stop();
    std::lock_guard stream(stream_);
    output_.reset();
    gate_.setRunning(false);
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
    return S_OK;
}

HRESULT SoundRendererFilter::endOfStream() {
    {
        std::lock_guard stream(stream_);
        if (!output_ || !gate_.waitRunning() || !output_->drain())
            return S_OK; // stopped or flushed before the end played
    }
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
    gate_.reset();
}

} // namespace platform::dshow::filters
