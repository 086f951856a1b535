#include "platform/dshow/filters/video_renderer.h"

#include "platform/dshow/filters/video_types.h"
#include "platform/dshow/filters/video_window.h"
#include "platform/dshow/guids.h"

#include <QImage>
#include <QThread>

#include <algorithm>
#include <cstring>
#include <new>

namespace platform::dshow::filters {

namespace {

using namespace std::chrono;

constexpr char kObjectName[] = "Video Renderer";
constexpr int kBytesPerPixel = 4;
// A picture later than this many frames (and never less than the floor) is dropped.
constexpr int kLateFrames = 3;
constexpr REFERENCE_TIME kLateFloor = UNITS / 5;
constexpr auto kPollStep = milliseconds(5);
constexpr int64_t kNanosPerUnit = 100;
// The most pictures the log keeps.
constexpr size_t kMaxLog = 100'000;

} // namespace

VideoRendererFilter::VideoRendererFilter(IUnknown* outer)
    : CBaseFilter(kObjectName, outer, &lock_, CLSID_VideoRenderer),
      input_("Video renderer input", this, &lock_, u"Input", *this) {
    window_ = new VideoWindow();
    window_->setWindowTitle(QStringLiteral("ActiveMovie Window"));
}

VideoRendererFilter::~VideoRendererFilter() {
    gate_.cancel();
    {
        std::lock_guard clock(clockMutex_);
        if (runClock_)
            runClock_->Release();
        runClock_ = nullptr;
    }
    if (window_->thread() == QThread::currentThread()) {
        delete window_;
    } else {
        window_->hide();
        window_->deleteLater();
    }
}

CUnknown* VideoRendererFilter::CreateInstance(IUnknown* outer, HRESULT* hr) {
    auto* filter = new (std::nothrow) VideoRendererFilter(outer);
    if (!filter && hr)
        *hr = E_OUTOFMEMORY;
    return filter;
}

HRESULT VideoRendererFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IAMFilterMiscFlags)
        return GetInterface(static_cast<IAMFilterMiscFlags*>(this), ppv);
    if (riid == IID_IVideoWindow)
        return GetInterface(static_cast<IVideoWindow*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT VideoRendererFilter::Pause() {
    CAutoLock lock(&lock_);
    gate_.setRunning(false);
    if (state_ == State_Stopped) {
        gate_.reset();
        {
            std::lock_guard clock(clockMutex_);
            if (clock_)
                clock_->AddRef();
            if (runClock_)
                runClock_->Release();
            runClock_ = clock_;
        }
        {
            std::lock_guard stream(stream_);
            paceBase_.reset();
            sawPicture_ = false;
            lastStop_ = 0;
        }
        std::lock_guard log(logMutex_);
        log_.clear();
        window_->show();
    }
    return CBaseFilter::Pause();
}

HRESULT VideoRendererFilter::Run(REFERENCE_TIME start) {
    CAutoLock lock(&lock_);
    const HRESULT hr = CBaseFilter::Run(start);
    if (SUCCEEDED(hr))
        gate_.setRunning(true);
    return hr;
}

HRESULT VideoRendererFilter::Stop() {
    CAutoLock lock(&lock_);
    gate_.cancel();
    const HRESULT hr = CBaseFilter::Stop();
    gate_.setRunning(false);
    std::lock_guard clock(clockMutex_);
    if (runClock_)
        runClock_->Release();
    runClock_ = nullptr;
    return hr;
}

std::vector<VideoRendererFilter::Shown> VideoRendererFilter::shownLog() {
    std::lock_guard log(logMutex_);
    return log_;
}

HRESULT VideoRendererFilter::checkInputType(const CMediaType& type) {
    if (type.majortype != MEDIATYPE_Video || type.subtype != MEDIASUBTYPE_RGB32)
        return S_FALSE;
    const auto format = videoFormatOf(type);
    return format && format->width > 0 && format->height != 0 ? S_OK : S_FALSE;
}

HRESULT VideoRendererFilter::inputConnected(const CMediaType& type) {
    const auto format = videoFormatOf(type);
    if (!format)
        return VFW_E_TYPE_NOT_ACCEPTED;
    width_ = format->width;
    height_ = std::abs(format->height);
    frameDuration_ = format->frameDuration;
    if (window_->thread() == QThread::currentThread())
        window_->resize(width_, height_);
    return S_OK;
}

REFERENCE_TIME VideoRendererFilter::streamNow() {
    {
        std::lock_guard clock(clockMutex_);
        if (runClock_) {
            REFERENCE_TIME now = 0;
            if (SUCCEEDED(runClock_->GetTime(&now)))
                return now;
        }
    }
    if (!paceBase_)
        return segmentStart_;
    const auto ran = PlaybackGate::Clock::now() - paceWall_ - (gate_.pausedTotal() - pausedAtBase_);
    return *paceBase_ + duration_cast<nanoseconds>(ran).count() / kNanosPerUnit;
}

bool VideoRendererFilter::waitFor(REFERENCE_TIME when) {
    for (;;) {
        if (!gate_.waitRunning())
            return false;
        const REFERENCE_TIME now = streamNow();
        if (now >= when)
            return true;
        const auto left = nanoseconds((when - now) * kNanosPerUnit);
        if (!gate_.sleepUntil(PlaybackGate::Clock::now() +
                              std::min<PlaybackGate::Clock::duration>(left, kPollStep)))
            return false;
    }
}

HRESULT VideoRendererFilter::receive(IMediaSample* sample) {
    std::lock_guard stream(stream_);
    if (!gate_.waitRunning())
        return S_FALSE;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data)
        return E_POINTER;
    const auto length = static_cast<size_t>(std::max<LONG>(sample->GetActualDataLength(), 0));
    if (width_ <= 0 || length < static_cast<size_t>(width_) * static_cast<size_t>(height_) * kBytesPerPixel)
        return S_OK; // not a whole picture
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    if (!paceBase_) {
        paceBase_ = std::min(segmentStart_, timed ? start : segmentStart_);
        paceWall_ = PlaybackGate::Clock::now();
        pausedAtBase_ = gate_.pausedTotal();
    }
    if (timed) {
        lastStop_ = std::max(lastStop_, stop);
        const REFERENCE_TIME late = streamNow() - start;
        if (sawPicture_ && late > std::max<REFERENCE_TIME>(kLateFrames * frameDuration_, kLateFloor)) {
            ++dropped_;
            return S_OK;
        }
        if (!waitFor(start))
            return S_FALSE;
    }
    QImage picture(width_, height_, QImage::Format_RGB32);
    for (int y = 0; y < height_; ++y)
        std::memcpy(picture.scanLine(y), data + static_cast<size_t>(y) * width_ * kBytesPerPixel,
                    static_cast<size_t>(width_) * kBytesPerPixel);
    window_->setPicture(picture);
    sawPicture_ = true;
    std::lock_guard log(logMutex_);
    if (log_.size() < kMaxLog)
        log_.push_back({timed ? start : streamNow(), streamNow(), picture.pixel(width_ / 2, height_ / 2)});
    return S_OK;
}

HRESULT VideoRendererFilter::endOfStream() {
    REFERENCE_TIME end = 0;
    {
        std::lock_guard stream(stream_);
        end = lastStop_;
    }
    if (end > 0 && !waitFor(end))
        return S_OK; // stopped or flushed before the last picture ended
    NotifyEvent(EC_COMPLETE, S_OK, 0);
    return S_OK;
}

void VideoRendererFilter::beginFlush() {
    gate_.cancel();
}

void VideoRendererFilter::endFlush() {
    std::lock_guard stream(stream_);
    paceBase_.reset();
    sawPicture_ = false;
    lastStop_ = 0;
    gate_.reset();
}

void VideoRendererFilter::newSegment(REFERENCE_TIME start, REFERENCE_TIME, double) {
    std::lock_guard stream(stream_);
    segmentStart_ = start;
    paceBase_.reset();
}

// ---- IVideoWindow: calls of the window thread -------------------------------------------------

HRESULT VideoRendererFilter::put_Caption(const char* caption) {
    if (!caption)
        return E_POINTER;
    window_->setWindowTitle(QString::fromUtf8(caption));
    return S_OK;
}

HRESULT VideoRendererFilter::put_Left(LONG left) {
    window_->move(left, window_->y());
    return S_OK;
}

HRESULT VideoRendererFilter::get_Left(LONG* left) {
    if (!left)
        return E_POINTER;
    *left = window_->x();
    return S_OK;
}

HRESULT VideoRendererFilter::put_Top(LONG top) {
    window_->move(window_->x(), top);
    return S_OK;
}

HRESULT VideoRendererFilter::get_Top(LONG* top) {
    if (!top)
        return E_POINTER;
    *top = window_->y();
    return S_OK;
}

HRESULT VideoRendererFilter::put_Width(LONG width) {
    if (width <= 0)
        return E_INVALIDARG;
    window_->resize(width, window_->height());
    return S_OK;
}

HRESULT VideoRendererFilter::get_Width(LONG* width) {
    if (!width)
        return E_POINTER;
    *width = window_->width();
    return S_OK;
}

HRESULT VideoRendererFilter::put_Height(LONG height) {
    if (height <= 0)
        return E_INVALIDARG;
    window_->resize(window_->width(), height);
    return S_OK;
}

HRESULT VideoRendererFilter::get_Height(LONG* height) {
    if (!height)
        return E_POINTER;
    *height = window_->height();
    return S_OK;
}

HRESULT VideoRendererFilter::put_Visible(OABOOL visible) {
    window_->setVisible(visible != OAFALSE);
    return S_OK;
}

HRESULT VideoRendererFilter::get_Visible(OABOOL* visible) {
    if (!visible)
        return E_POINTER;
    *visible = window_->isVisible() ? OATRUE : OAFALSE;
    return S_OK;
}

HRESULT VideoRendererFilter::put_FullScreenMode(OABOOL on) {
    if (on != OAFALSE)
        window_->showFullScreen();
    else if (window_->isFullScreen())
        window_->showNormal();
    return S_OK;
}

HRESULT VideoRendererFilter::get_FullScreenMode(OABOOL* on) {
    if (!on)
        return E_POINTER;
    *on = window_->isFullScreen() ? OATRUE : OAFALSE;
    return S_OK;
}

HRESULT VideoRendererFilter::put_MessageDrain(OAHWND drain) {
    window_->setDrain(reinterpret_cast<QWidget*>(drain));
    return S_OK;
}

HRESULT VideoRendererFilter::get_MessageDrain(OAHWND* drain) {
    if (!drain)
        return E_POINTER;
    *drain = reinterpret_cast<OAHWND>(window_->drain());
    return S_OK;
}

HRESULT VideoRendererFilter::SetWindowForeground(LONG focus) {
    window_->raise();
    if (focus)
        window_->activateWindow();
    return S_OK;
}

} // namespace platform::dshow::filters
