#pragma once

// The interfaces of the filter graph manager, as hosts and filters use them: building (adding filters,
// connecting and rendering pins), control (run, pause, stop), events, and position.
//
// How the graph manager behaves (see filter_graph.h for the whole account):
// - Filters' Pause, Run and Stop are called on the thread that calls IMediaControl, never on a thread
//   of the graph's own. Filters are started downstream first along push connections and, along a pull
//   connection (an output pin that offers IAsyncReader), the reader before the filter that pulls from
//   it. They stop in the reverse order: a filter that pulls stops (and joins its pull thread) before
//   its reader stops and closes its files, and every streaming thread is stopped before the filters it
//   feeds, so those finish their files with no sample arriving.
// - EC_COMPLETE reaches the host once every renderer of the run (a filter with a connected input pin
//   and no output pin, or one whose IAMFilterMiscFlags says it renders) has sent EC_COMPLETE. A
//   streaming error (EC_ERRORABORT) or a user abort (EC_USERABORT) is passed on and ends the run: an
//   EC_COMPLETE carrying the failure follows it, so that a host waiting only for completion finishes.

#include "platform/dshow/filter_interfaces.h"

namespace platform::dshow {

using LONG_PTR = intptr_t;
using OAEVENT = intptr_t; // a CAMEvent* owned by the graph, set while events are queued
using OAHWND = intptr_t;
using OAFilterState = LONG; // one of FILTER_STATE
using REFTIME = double;     // seconds

inline constexpr CLSID CLSID_FilterGraph = makeGuid("{E436EBB3-524F-11CE-9F53-0020AF0BA770}");

inline constexpr IID IID_IGraphBuilder = makeGuid("{56A868A9-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMediaControl = makeGuid("{56A868B1-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMediaPosition = makeGuid("{56A868B2-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMediaEvent = makeGuid("{56A868B6-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMediaEventEx = makeGuid("{56A868C0-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMediaSeeking = makeGuid("{36B73880-C2C8-11CF-8B46-00805F6CEF60}");
inline constexpr IID IID_IAMFilterMiscFlags = makeGuid("{2DD74950-A890-11D1-ABE8-00A0C905F375}");

// The filter through which RenderFile and AddSourceFilter open a ".wav" file: a source with one output
// pin and IFileSourceFilter, created by this class identifier.
inline constexpr CLSID CLSID_WavFileSource = makeGuid("{91386C06-B95E-4783-9411-903B35E755CD}");
// The filter through which they open an ".avi" file: the AVI splitter, which reads the file itself
// (IFileSourceFilter) and has one output pin per stream.
inline constexpr CLSID CLSID_AviSplitter = makeGuid("{1B544C20-FD0B-11CE-8C63-00AA0044B51E}");

// Time formats of IMediaSeeking.
inline constexpr GUID TIME_FORMAT_NONE = GUID_NULL;
inline constexpr GUID TIME_FORMAT_BYTE = makeGuid("{7B785571-8C82-11CF-BC0C-00AA00AC74F6}");
inline constexpr GUID TIME_FORMAT_MEDIA_TIME = makeGuid("{7B785574-8C82-11CF-BC0C-00AA00AC74F6}");

// Result codes of graph building.
inline constexpr HRESULT VFW_S_DUPLICATE_NAME = 0x0004022D;
inline constexpr HRESULT VFW_S_PARTIAL_RENDER = 0x00040242;
inline constexpr HRESULT VFW_E_CANNOT_CONNECT = makeResult(0x80040217u);
inline constexpr HRESULT VFW_E_CANNOT_RENDER = makeResult(0x80040218u);
inline constexpr HRESULT VFW_E_UNKNOWN_FILE_TYPE = makeResult(0x80040240u);
inline constexpr HRESULT VFW_E_NOT_IN_GRAPH = makeResult(0x8004025Fu);

// IMediaEventEx notify flags: with AM_MEDIAEVENT_NONOTIFY set, nothing is queued.
inline constexpr LONG AM_MEDIAEVENT_NONOTIFY = 0x01;

// IAMFilterMiscFlags.
inline constexpr ULONG AM_FILTER_MISC_FLAGS_IS_RENDERER = 0x1;
inline constexpr ULONG AM_FILTER_MISC_FLAGS_IS_SOURCE = 0x2;

// IMediaSeeking capabilities.
inline constexpr DWORD AM_SEEKING_CanSeekAbsolute = 0x1;
inline constexpr DWORD AM_SEEKING_CanSeekForwards = 0x2;
inline constexpr DWORD AM_SEEKING_CanSeekBackwards = 0x4;
inline constexpr DWORD AM_SEEKING_CanGetCurrentPos = 0x8;
inline constexpr DWORD AM_SEEKING_CanGetStopPos = 0x10;
inline constexpr DWORD AM_SEEKING_CanGetDuration = 0x20;

// IMediaSeeking::SetPositions flags (the low bits say how the position is given).
inline constexpr DWORD AM_SEEKING_NoPositioning = 0x0;
inline constexpr DWORD AM_SEEKING_AbsolutePositioning = 0x1;
inline constexpr DWORD AM_SEEKING_RelativePositioning = 0x2;
inline constexpr DWORD AM_SEEKING_IncrementalPositioning = 0x3;
inline constexpr DWORD AM_SEEKING_PositioningBitsMask = 0x3;
inline constexpr DWORD AM_SEEKING_SeekToKeyFrame = 0x4;
inline constexpr DWORD AM_SEEKING_ReturnTime = 0x8;

struct IGraphBuilder : IFilterGraph {
    // Connects out to in: directly first, then through one registered filter placed between them.
    virtual HRESULT Connect(IPin* out, IPin* in) = 0;
    // Connects an output pin on to a renderer: filters already in the graph first, then registered ones.
    virtual HRESULT Render(IPin* out) = 0;
    // Adds a source for the file (".wav": the WAV file source, ".avi": the AVI splitter) and renders its
    // output pins.
    virtual HRESULT RenderFile(LPCOLESTR file, LPCOLESTR playList) = 0;
    virtual HRESULT AddSourceFilter(LPCOLESTR file, LPCOLESTR filterName, IBaseFilter** filter) = 0;
    // Asks a graph-building operation under way on another thread to give up.
    virtual HRESULT Abort() = 0;
    // S_OK, or E_ABORT once Abort was called.
    virtual HRESULT ShouldOperationContinue() = 0;

protected:
    ~IGraphBuilder() = default;
};

struct IMediaControl : IUnknown {
    // From stopped, every filter is paused and then run. S_OK when running.
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    // Returns when every filter has stopped; nothing happens when the graph is stopped already.
    virtual HRESULT Stop() = 0;
    virtual HRESULT GetState(LONG timeoutMs, OAFilterState* state) = 0;
    virtual HRESULT RenderFile(LPCOLESTR file) = 0;
    // Pauses and then stops.
    virtual HRESULT StopWhenReady() = 0;

protected:
    ~IMediaControl() = default;
};

struct IMediaEvent : IUnknown {
    virtual HRESULT GetEventHandle(OAEVENT* handle) = 0;
    // The oldest queued event; E_ABORT when none came within timeoutMs (a negative time-out waits
    // without end).
    virtual HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs) = 0;
    // Waits for the end of the run (EC_COMPLETE, EC_ERRORABORT or EC_USERABORT) without taking events
    // from the queue; E_ABORT on time-out, VFW_E_WRONG_STATE when the graph is stopped.
    virtual HRESULT WaitForCompletion(LONG timeoutMs, LONG* code) = 0;
    // With the default handling of EC_COMPLETE cancelled, every renderer's EC_COMPLETE is queued as
    // it comes.
    virtual HRESULT CancelDefaultHandling(LONG code) = 0;
    virtual HRESULT RestoreDefaultHandling(LONG code) = 0;
    virtual HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;

protected:
    ~IMediaEvent() = default;
};

struct IMediaEventEx : IMediaEvent {
    // There are no windows to post to: only clearing (window 0) is accepted.
    virtual HRESULT SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instanceData) = 0;
    virtual HRESULT SetNotifyFlags(LONG flags) = 0;
    virtual HRESULT GetNotifyFlags(LONG* flags) = 0;

protected:
    ~IMediaEventEx() = default;
};

// Positions in seconds, for hosts.
struct IMediaPosition : IUnknown {
    virtual HRESULT get_Duration(REFTIME* length) = 0;
    virtual HRESULT put_CurrentPosition(REFTIME time) = 0;
    virtual HRESULT get_CurrentPosition(REFTIME* time) = 0;
    virtual HRESULT get_StopTime(REFTIME* time) = 0;
    virtual HRESULT put_StopTime(REFTIME time) = 0;
    virtual HRESULT get_PrerollTime(REFTIME* time) = 0;
    virtual HRESULT put_PrerollTime(REFTIME time) = 0;
    virtual HRESULT put_Rate(double rate) = 0;
    virtual HRESULT get_Rate(double* rate) = 0;
    virtual HRESULT CanSeekForward(LONG* canSeek) = 0;
    virtual HRESULT CanSeekBackward(LONG* canSeek) = 0;

protected:
    ~IMediaPosition() = default;
};

// Positions in REFERENCE_TIME (TIME_FORMAT_MEDIA_TIME). A parser offers it on its filter or on its
// output pins; the graph offers it to hosts and passes the calls to the filter that seeks.
struct IMediaSeeking : IUnknown {
    virtual HRESULT GetCapabilities(DWORD* capabilities) = 0;
    // S_OK when all asked are there, S_FALSE when some are (*capabilities then holds those), else E_FAIL.
    virtual HRESULT CheckCapabilities(DWORD* capabilities) = 0;
    virtual HRESULT IsFormatSupported(const GUID* format) = 0;
    virtual HRESULT QueryPreferredFormat(GUID* format) = 0;
    virtual HRESULT GetTimeFormat(GUID* format) = 0;
    virtual HRESULT IsUsingTimeFormat(const GUID* format) = 0;
    virtual HRESULT SetTimeFormat(const GUID* format) = 0;
    virtual HRESULT GetDuration(LONGLONG* duration) = 0;
    virtual HRESULT GetStopPosition(LONGLONG* stop) = 0;
    virtual HRESULT GetCurrentPosition(LONGLONG* current) = 0;
    virtual HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                      const GUID* sourceFormat) = 0;
    // Either pointer may be null with its flags AM_SEEKING_NoPositioning.
    virtual HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) = 0;
    virtual HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) = 0;
    virtual HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) = 0;
    virtual HRESULT SetRate(double rate) = 0;
    virtual HRESULT GetRate(double* rate) = 0;
    virtual HRESULT GetPreroll(LONGLONG* preroll) = 0;

protected:
    ~IMediaSeeking() = default;
};

// Offered by filters that render although they have an output pin (or that want to say so).
struct IAMFilterMiscFlags : IUnknown {
    virtual ULONG GetMiscFlags() = 0;

protected:
    ~IAMFilterMiscFlags() = default;
};

} // namespace platform::dshow
