// Positions of the filter graph manager: every call goes to the filter that seeks (a parser or a
// source, found from the renderers upstream). Times are REFERENCE_TIME; IMediaPosition gives seconds.

#include "platform/dshow/filter_graph.h"

#include <cmath>

namespace platform::dshow {

namespace {

constexpr double kUnitsPerSecond = static_cast<double>(UNITS);

bool isMediaTime(const GUID* format) {
    return format && *format == TIME_FORMAT_MEDIA_TIME;
}

HRESULT toUnits(REFTIME seconds, LONGLONG* units) {
    const double value = seconds * kUnitsPerSecond;
    // Beyond about 29,000 years a position means nothing: refuse it instead of overflowing.
    if (!std::isfinite(value) || std::fabs(value) >= 9.0e18)
        return E_INVALIDARG;
    *units = std::llround(value);
    return S_OK;
}

} // namespace

ComPtr<IMediaSeeking> FilterGraph::seeker() {
    std::lock_guard lock(lock_);
    return graph::findSeeker(memberFilters());
}

HRESULT FilterGraph::GetCapabilities(DWORD* capabilities) {
    if (!capabilities)
        return E_POINTER;
    *capabilities = 0;
    const auto seeking = seeker();
    return seeking ? seeking->GetCapabilities(capabilities) : E_NOTIMPL;
}

HRESULT FilterGraph::CheckCapabilities(DWORD* capabilities) {
    if (!capabilities)
        return E_POINTER;
    const auto seeking = seeker();
    return seeking ? seeking->CheckCapabilities(capabilities) : E_NOTIMPL;
}

HRESULT FilterGraph::IsFormatSupported(const GUID* format) {
    if (!format)
        return E_POINTER;
    return isMediaTime(format) ? S_OK : S_FALSE;
}

HRESULT FilterGraph::QueryPreferredFormat(GUID* format) {
    return GetTimeFormat(format);
}

HRESULT FilterGraph::GetTimeFormat(GUID* format) {
    if (!format)
        return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

HRESULT FilterGraph::IsUsingTimeFormat(const GUID* format) {
    if (!format)
        return E_POINTER;
    return isMediaTime(format) ? S_OK : S_FALSE;
}

HRESULT FilterGraph::SetTimeFormat(const GUID* format) {
    if (!format)
        return E_POINTER;
    return isMediaTime(format) ? S_OK : E_INVALIDARG;
}

HRESULT FilterGraph::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                       const GUID* sourceFormat) {
    if (!target)
        return E_POINTER;
    const bool targetOk = !targetFormat || isMediaTime(targetFormat);
    const bool sourceOk = !sourceFormat || isMediaTime(sourceFormat);
    if (!targetOk || !sourceOk)
        return E_INVALIDARG;
    *target = source;
    return S_OK;
}

HRESULT FilterGraph::GetDuration(LONGLONG* duration) {
    if (!duration)
        return E_POINTER;
    const auto seeking = seeker();
    return seeking ? seeking->GetDuration(duration) : E_NOTIMPL;
}

HRESULT FilterGraph::GetStopPosition(LONGLONG* stop) {
    if (!stop)
        return E_POINTER;
    const auto seeking = seeker();
    return seeking ? seeking->GetStopPosition(stop) : E_NOTIMPL;
}

HRESULT FilterGraph::GetCurrentPosition(LONGLONG* current) {
    if (!current)
        return E_POINTER;
    const auto seeking = seeker();
    if (!seeking)
        return E_NOTIMPL;
    // Once every renderer has played its stream to the end, the position is the stop position, even
    // where one stream ends before the other.
    if (state_ != State_Stopped && events_.completedRun())
        return seeking->GetStopPosition(current);
    return seeking->GetCurrentPosition(current);
}

HRESULT FilterGraph::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
    std::lock_guard lock(lock_);
    const auto seeking = seeker();
    if (!seeking)
        return E_NOTIMPL;
    // The renderers will end the stream again from the new position.
    if (state_ != State_Stopped)
        events_.restartRun();
    return seeking->SetPositions(current, currentFlags, stop, stopFlags);
}

HRESULT FilterGraph::GetPositions(LONGLONG* current, LONGLONG* stop) {
    const auto seeking = seeker();
    return seeking ? seeking->GetPositions(current, stop) : E_NOTIMPL;
}

HRESULT FilterGraph::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
    const auto seeking = seeker();
    return seeking ? seeking->GetAvailable(earliest, latest) : E_NOTIMPL;
}

HRESULT FilterGraph::SetRate(double rate) {
    const auto seeking = seeker();
    return seeking ? seeking->SetRate(rate) : E_NOTIMPL;
}

HRESULT FilterGraph::GetRate(double* rate) {
    if (!rate)
        return E_POINTER;
    const auto seeking = seeker();
    return seeking ? seeking->GetRate(rate) : E_NOTIMPL;
}

HRESULT FilterGraph::GetPreroll(LONGLONG* preroll) {
    if (!preroll)
        return E_POINTER;
    const auto seeking = seeker();
    return seeking ? seeking->GetPreroll(preroll) : E_NOTIMPL;
}

// ---- IMediaPosition -----------------------------------------------------------------------------

HRESULT FilterGraph::get_Duration(REFTIME* length) {
    if (!length)
        return E_POINTER;
    LONGLONG units = 0;
    const HRESULT hr = GetDuration(&units);
    *length = SUCCEEDED(hr) ? static_cast<double>(units) / kUnitsPerSecond : 0.0;
    return hr;
}

HRESULT FilterGraph::put_CurrentPosition(REFTIME time) {
    LONGLONG units = 0;
    const HRESULT hr = toUnits(time, &units);
    if (FAILED(hr))
        return hr;
    return SetPositions(&units, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

HRESULT FilterGraph::get_CurrentPosition(REFTIME* time) {
    if (!time)
        return E_POINTER;
    LONGLONG units = 0;
    const HRESULT hr = GetCurrentPosition(&units);
    *time = SUCCEEDED(hr) ? static_cast<double>(units) / kUnitsPerSecond : 0.0;
    return hr;
}

HRESULT FilterGraph::get_StopTime(REFTIME* time) {
    if (!time)
        return E_POINTER;
    LONGLONG units = 0;
    const HRESULT hr = GetStopPosition(&units);
    *time = SUCCEEDED(hr) ? static_cast<double>(units) / kUnitsPerSecond : 0.0;
    return hr;
}

HRESULT FilterGraph::put_StopTime(REFTIME time) {
    LONGLONG units = 0;
    const HRESULT hr = toUnits(time, &units);
    if (FAILED(hr))
        return hr;
    return SetPositions(nullptr, AM_SEEKING_NoPositioning, &units, AM_SEEKING_AbsolutePositioning);
}

HRESULT FilterGraph::get_PrerollTime(REFTIME* time) {
    if (!time)
        return E_POINTER;
    LONGLONG units = 0;
    const HRESULT hr = GetPreroll(&units);
    *time = SUCCEEDED(hr) ? static_cast<double>(units) / kUnitsPerSecond : 0.0;
    return hr;
}

HRESULT FilterGraph::put_PrerollTime(REFTIME) {
    return E_NOTIMPL; // filters decide their own preroll
}

HRESULT FilterGraph::put_Rate(double rate) {
    return SetRate(rate);
}

HRESULT FilterGraph::get_Rate(double* rate) {
    return GetRate(rate);
}

HRESULT FilterGraph::CanSeekForward(LONG* canSeek) {
    if (!canSeek)
        return E_POINTER;
    DWORD capabilities = 0;
    GetCapabilities(&capabilities);
    *canSeek = (capabilities & AM_SEEKING_CanSeekForwards) ? OATRUE : OAFALSE;
    return S_OK;
}

HRESULT FilterGraph::CanSeekBackward(LONG* canSeek) {
    if (!canSeek)
        return E_POINTER;
    DWORD capabilities = 0;
    GetCapabilities(&capabilities);
    *canSeek = (capabilities & AM_SEEKING_CanSeekBackwards) ? OATRUE : OAFALSE;
    return S_OK;
}

} // namespace platform::dshow
