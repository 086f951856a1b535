// Positions of the AVI splitter.

#include "platform/dshow/filters/avi_splitter.h"

#include <algorithm>

namespace platform::dshow::filters {

namespace {

constexpr DWORD kCapabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards |
                                AM_SEEKING_CanSeekBackwards | AM_SEEKING_CanGetCurrentPos |
                                AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;
constexpr int64_t kNanosPerUnit = 100;

bool isMediaTime(const GUID* format) {
    return format && *format == TIME_FORMAT_MEDIA_TIME;
}

// The position a SetPositions argument asks for, from the one in force.
std::optional<REFERENCE_TIME> wantedPosition(const LONGLONG* value, DWORD flags, REFERENCE_TIME now) {
    switch (flags & AM_SEEKING_PositioningBitsMask) {
    case AM_SEEKING_AbsolutePositioning:
        return *value;
    case AM_SEEKING_RelativePositioning:
    case AM_SEEKING_IncrementalPositioning:
        return now + *value;
    default:
        return std::nullopt;
    }
}

} // namespace

REFERENCE_TIME AviSplitterFilter::keyFrameBefore(REFERENCE_TIME position) const {
    REFERENCE_TIME landing = position;
    bool anyVideo = false;
    for (const Track& track : tracks_) {
        if (!track.video)
            continue;
        const auto& stream = streams_[track.stream];
        const size_t chunks = stream.chunks.size();
        if (chunks == 0)
            continue;
        auto upper = std::upper_bound(track.chunkStart.begin(),
                                      track.chunkStart.begin() + static_cast<long>(chunks), position);
        size_t index =
            upper == track.chunkStart.begin() ? 0 : static_cast<size_t>(upper - track.chunkStart.begin()) - 1;
        while (index > 0 && !stream.chunks[index].key)
            --index;
        // Before the video's first frame (a late video start) the position stands as asked.
        const REFERENCE_TIME key = position < track.chunkStart.front() ? position : track.chunkStart[index];
        landing = anyVideo ? std::min(landing, key) : key;
        anyVideo = true;
    }
    return std::clamp<REFERENCE_TIME>(landing, 0, duration_);
}

REFERENCE_TIME AviSplitterFilter::positionNow() {
    if (state_ == State_Stopped)
        return current_;
    REFERENCE_TIME now = current_;
    if (clock_) {
        REFERENCE_TIME heard = 0;
        if (SUCCEEDED(clock_->GetTime(&heard)))
            now = heard;
    } else {
        REFERENCE_TIME ran = ranBefore_;
        if (state_ == State_Running)
            ran += std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                        runSince_)
                       .count() /
                   kNanosPerUnit;
        now = current_ + ran;
    }
    return std::clamp<REFERENCE_TIME>(now, current_, std::max(current_, stop_));
}

HRESULT AviSplitterFilter::GetCapabilities(DWORD* capabilities) {
    if (!capabilities)
        return E_POINTER;
    *capabilities = kCapabilities;
    return S_OK;
}

HRESULT AviSplitterFilter::CheckCapabilities(DWORD* capabilities) {
    if (!capabilities)
        return E_POINTER;
    const DWORD asked = *capabilities;
    *capabilities &= kCapabilities;
    if (*capabilities == asked)
        return S_OK;
    return *capabilities ? S_FALSE : E_FAIL;
}

HRESULT AviSplitterFilter::IsFormatSupported(const GUID* format) {
    if (!format)
        return E_POINTER;
    return isMediaTime(format) ? S_OK : S_FALSE;
}

HRESULT AviSplitterFilter::QueryPreferredFormat(GUID* format) {
    return GetTimeFormat(format);
}

HRESULT AviSplitterFilter::GetTimeFormat(GUID* format) {
    if (!format)
        return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

HRESULT AviSplitterFilter::IsUsingTimeFormat(const GUID* format) {
    return IsFormatSupported(format);
}

HRESULT AviSplitterFilter::SetTimeFormat(const GUID* format) {
    if (!format)
        return E_POINTER;
    return isMediaTime(format) ? S_OK : E_INVALIDARG;
}

HRESULT AviSplitterFilter::GetDuration(LONGLONG* duration) {
    if (!duration)
        return E_POINTER;
    CAutoLock lock(&lock_);
    *duration = duration_;
    return S_OK;
}

HRESULT AviSplitterFilter::GetStopPosition(LONGLONG* stop) {
    if (!stop)
        return E_POINTER;
    CAutoLock lock(&lock_);
    *stop = stop_;
    return S_OK;
}

HRESULT AviSplitterFilter::GetCurrentPosition(LONGLONG* current) {
    if (!current)
        return E_POINTER;
    CAutoLock lock(&lock_);
    *current = positionNow();
    return S_OK;
}

HRESULT AviSplitterFilter::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                             const GUID* sourceFormat) {
    if (!target)
        return E_POINTER;
    if ((targetFormat && !isMediaTime(targetFormat)) || (sourceFormat && !isMediaTime(sourceFormat)))
        return E_INVALIDARG;
    *target = source;
    return S_OK;
}

HRESULT AviSplitterFilter::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                        DWORD stopFlags) {
    const bool movesCurrent = (currentFlags & AM_SEEKING_PositioningBitsMask) != AM_SEEKING_NoPositioning;
    const bool movesStop = (stopFlags & AM_SEEKING_PositioningBitsMask) != AM_SEEKING_NoPositioning;
    if ((movesCurrent && !current) || (movesStop && !stop))
        return E_POINTER;
    CAutoLock lock(&lock_);
    const REFERENCE_TIME now = positionNow();
    const auto newStop = movesStop ? wantedPosition(stop, stopFlags, stop_) : std::nullopt;
    const auto newCurrent = movesCurrent ? wantedPosition(current, currentFlags, now) : std::nullopt;
    if (newStop)
        stop_ = std::clamp<REFERENCE_TIME>(*newStop, 0, duration_);
    if (!newCurrent) {
        if (newStop && state_ != State_Stopped) {
            // The streams under way must learn of the new end: they start again where playing stands.
            current_ = keyFrameBefore(now);
            stopStreaming();
            ranBefore_ = 0;
            runSince_ = std::chrono::steady_clock::now();
            startStreaming();
        }
        return S_OK;
    }
    current_ = keyFrameBefore(std::clamp<REFERENCE_TIME>(*newCurrent, 0, duration_));
    if ((currentFlags & AM_SEEKING_ReturnTime) && current)
        *current = current_;
    if (state_ != State_Stopped) {
        stopStreaming();
        ranBefore_ = 0;
        runSince_ = std::chrono::steady_clock::now();
        startStreaming();
    }
    return S_OK;
}

HRESULT AviSplitterFilter::GetPositions(LONGLONG* current, LONGLONG* stop) {
    CAutoLock lock(&lock_);
    if (current)
        *current = positionNow();
    if (stop)
        *stop = stop_;
    return S_OK;
}

HRESULT AviSplitterFilter::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
    CAutoLock lock(&lock_);
    if (earliest)
        *earliest = 0;
    if (latest)
        *latest = duration_;
    return S_OK;
}

HRESULT AviSplitterFilter::SetRate(double rate) {
    return rate == 1.0 ? S_OK : E_NOTIMPL;
}

HRESULT AviSplitterFilter::GetRate(double* rate) {
    if (!rate)
        return E_POINTER;
    *rate = 1.0;
    return S_OK;
}

HRESULT AviSplitterFilter::GetPreroll(LONGLONG* preroll) {
    if (!preroll)
        return E_POINTER;
    *preroll = 0;
    return S_OK;
}

} // namespace platform::dshow::filters
