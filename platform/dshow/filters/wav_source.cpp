#include "platform/dshow/filters/wav_source.h"

#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/dshow/filters/media_types.h"
#include "platform/dshow/filters/stock_guids.h"
#include "platform/dshow/guids.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <vector>

namespace platform::dshow::filters {

namespace {

constexpr char kObjectName[] = "WAV file source";
constexpr LONG kOutputBuffers = 4;
constexpr LONG kOutputBufferSize = 64 * 1024;
constexpr size_t kMaxNameUnits = 4096;

} // namespace

WavSourceFilter::WavSourceFilter(IUnknown* outer)
    : CBaseFilter(kObjectName, outer, &lock_, CLSID_WavFileSource),
      output_("WAV file source output", this, &lock_, u"Output", kOutputBuffers, kOutputBufferSize) {}

WavSourceFilter::~WavSourceFilter() {
    stopStreaming();
}

CUnknown* WavSourceFilter::CreateInstance(IUnknown* outer, HRESULT* hr) {
    auto* filter = new (std::nothrow) WavSourceFilter(outer);
    if (!filter && hr)
        *hr = E_OUTOFMEMORY;
    return filter;
}

HRESULT WavSourceFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IFileSourceFilter)
        return GetInterface(static_cast<IFileSourceFilter*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT WavSourceFilter::Load(LPCOLESTR fileName, const AM_MEDIA_TYPE*) {
    if (!fileName)
        return E_POINTER;
    const std::u16string_view wide = platform::com::wideView(fileName, kMaxNameUnits + 1);
    if (wide.empty() || wide.size() > kMaxNameUnits)
        return E_INVALIDARG;
    CAutoLock lock(&lock_);
    if (!IsStopped() || output_.IsConnected())
        return VFW_E_WRONG_STATE;
    name_ = platform::com::bytesFromWide(wide);
    info_ = readWavFileInfo(platform::core::resolvePath(name_));
    if (!info_ || info_->format.blockAlign == 0 || info_->format.channels == 0 ||
        info_->format.samplesPerSec == 0) {
        info_.reset();
        output_.setTypes({});
        return E_FAIL;
    }
    output_.setTypes({audioMediaType(audioSubtypeOf(info_->format.formatTag), info_->format)});
    return S_OK;
}

HRESULT WavSourceFilter::GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) {
    if (!fileName)
        return E_POINTER;
    CAutoLock lock(&lock_);
    *fileName = platform::com::taskMemWideCopy(platform::com::wideFromBytes(name_));
    if (type)
        *type = output_.types().empty() ? CMediaType() : output_.types().front();
    return *fileName ? S_OK : E_OUTOFMEMORY;
}

HRESULT WavSourceFilter::Pause() {
    CAutoLock lock(&lock_);
    const bool starting = state_ == State_Stopped;
    const HRESULT hr = CBaseFilter::Pause();
    if (SUCCEEDED(hr) && starting && info_ && output_.IsConnected()) {
        stopRequested_ = false;
        thread_ = std::thread(
            [this, path = platform::core::resolvePath(name_), info = *info_] { streamLoop(path, info); });
    }
    return hr;
}

HRESULT WavSourceFilter::Stop() {
    CAutoLock lock(&lock_);
    stopStreaming();
    return CBaseFilter::Stop();
}

void WavSourceFilter::stopStreaming() {
    if (!thread_.joinable())
        return;
    stopRequested_ = true;
    if (output_.IsConnected())
        output_.DeliverBeginFlush();
    thread_.join();
    if (output_.IsConnected())
        output_.DeliverEndFlush();
}

void WavSourceFilter::streamLoop(std::string path, WavFileInfo info) {
    const int fd = platform::core::openForReading(path);
    if (fd < 0) {
        NotifyEvent(EC_ERRORABORT, E_FAIL, 0);
        output_.DeliverEndOfStream();
        return;
    }
    const size_t frame = info.format.blockAlign;
    // A tenth of a second a sample, in whole frames.
    const size_t perSample = std::max<size_t>(frame, info.format.samplesPerSec / 10 * frame);
    std::vector<uint8_t> buffer(perSample);
    int64_t done = 0;
    bool failed = false;
    while (!stopRequested_ && done < info.dataSize) {
        const size_t want =
            static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(buffer.size()), info.dataSize - done));
        const ssize_t got = ::pread(fd, buffer.data(), want, static_cast<off_t>(info.dataOffset + done));
        if (got <= 0) {
            failed = got < 0;
            break; // a file cut short ends where it ends
        }
        const auto bytes = std::span<const uint8_t>(buffer).first(static_cast<size_t>(got));
        const int64_t framesBefore = done / static_cast<int64_t>(frame);
        const int64_t framesAfter = (done + got) / static_cast<int64_t>(frame);
        const SampleTimes times{framesBefore * UNITS / info.format.samplesPerSec,
                                framesAfter * UNITS / info.format.samplesPerSec};
        const HRESULT hr = output_.deliverBytes(bytes, times, done == 0);
        if (hr != S_OK) {
            if (!isQuietRefusal(hr) && !stopRequested_)
                NotifyEvent(EC_ERRORABORT, hr, 0);
            break;
        }
        done += got;
    }
    ::close(fd);
    if (failed && !stopRequested_)
        NotifyEvent(EC_ERRORABORT, E_FAIL, 0);
    if (!stopRequested_)
        output_.DeliverEndOfStream();
}

} // namespace platform::dshow::filters
