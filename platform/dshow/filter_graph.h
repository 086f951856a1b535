#pragma once

// The filter graph manager: created by CLSID_FilterGraph through CoCreateInstance once
// registerFilterGraph() has made it a built-in class of the process.
//
// Building: AddFilter holds a reference to the filter and names it (a filter added without a name
// takes the name it is registered under; a name already in use gets " 0001", " 0002", ... appended).
// ConnectDirect connects two pins of filters in the graph with no other filter; Connect tries that
// first and then each registered filter (highest merit first, merit above MERIT_DO_NOT_USE, input
// types matching what the output pin offers) placed between the two. Render connects an output pin on
// until every branch ends at a renderer, trying the filters already in the graph before registered
// ones; RenderFile does the same for each output pin of a source made for the file (only ".wav" files:
// CLSID_WavFileSource). A failed Connect or Render takes out again every filter it added and every
// connection it made. Building needs the graph stopped.
//
// Running (all on the caller's thread): Run from stopped pauses and then runs each filter in start
// order (graph_topology.h): renderers and other downstream filters first, a reader before the filter
// that pulls from it. Stop stops them in the reverse order, so that a puller joins its thread before
// its reader closes its files and every streaming thread ends before the filters it feeds stop; Stop
// returns when every filter has returned from its Stop. A second Stop does nothing. When a filter
// refuses to pause or run, every filter is stopped again and the failure is returned. There is no
// reference clock: filters run with a start time of 0 and pace themselves.
//
// Events: see graph_events.h. Positions: the calls go to the filter found by findSeeker(); a new
// position while the graph is paused or running starts the counting of renderers' ends anew.
//
// Filters may call only IMediaEventSink::Notify on their streaming threads; every other call into the
// graph belongs on the thread that controls it.

#include "platform/com/com_ptr.h"
#include "platform/com/cunknown.h"
#include "platform/dshow/graph_events.h"
#include "platform/dshow/graph_interfaces.h"
#include "platform/dshow/graph_topology.h"
#include "platform/dshow/video_interfaces.h"

#include <atomic>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace platform::dshow {

// Makes CLSID_FilterGraph creatable in this process; may be called any number of times.
void registerFilterGraph();

class FilterGraph final : public CUnknown,
                          public IGraphBuilder,
                          public IMediaControl,
                          public IMediaEventEx,
                          public IMediaEventSink,
                          public IMediaPosition,
                          public IMediaSeeking,
                          public IVideoWindow {
public:
    FilterGraph(IUnknown* outer);
    ~FilterGraph() override;

    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IFilterGraph
    HRESULT AddFilter(IBaseFilter* filter, LPCOLESTR name) override;
    HRESULT RemoveFilter(IBaseFilter* filter) override;
    HRESULT EnumFilters(IEnumFilters** filters) override;
    HRESULT FindFilterByName(LPCOLESTR name, IBaseFilter** filter) override;
    HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) override;
    HRESULT Reconnect(IPin* pin) override;
    HRESULT Disconnect(IPin* pin) override;
    HRESULT SetDefaultSyncSource() override;
    // IGraphBuilder
    HRESULT Connect(IPin* out, IPin* in) override;
    HRESULT Render(IPin* out) override;
    HRESULT RenderFile(LPCOLESTR file, LPCOLESTR playList) override;
    HRESULT AddSourceFilter(LPCOLESTR file, LPCOLESTR filterName, IBaseFilter** filter) override;
    HRESULT Abort() override;
    HRESULT ShouldOperationContinue() override;

    // IMediaControl
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(LONG timeoutMs, OAFilterState* state) override;
    HRESULT RenderFile(LPCOLESTR file) override;
    HRESULT StopWhenReady() override;

    // IMediaEvent, IMediaEventEx
    HRESULT GetEventHandle(OAEVENT* handle) override;
    HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs) override;
    HRESULT WaitForCompletion(LONG timeoutMs, LONG* code) override;
    HRESULT CancelDefaultHandling(LONG code) override;
    HRESULT RestoreDefaultHandling(LONG code) override;
    HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) override;
    HRESULT SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instanceData) override;
    HRESULT SetNotifyFlags(LONG flags) override;
    HRESULT GetNotifyFlags(LONG* flags) override;

    // IMediaEventSink, for the filters
    HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override;

    // IMediaPosition
    HRESULT get_Duration(REFTIME* length) override;
    HRESULT put_CurrentPosition(REFTIME time) override;
    HRESULT get_CurrentPosition(REFTIME* time) override;
    HRESULT get_StopTime(REFTIME* time) override;
    HRESULT put_StopTime(REFTIME time) override;
    HRESULT get_PrerollTime(REFTIME* time) override;
    HRESULT put_PrerollTime(REFTIME time) override;
    HRESULT put_Rate(double rate) override;
    HRESULT get_Rate(double* rate) override;
    HRESULT CanSeekForward(LONG* canSeek) override;
    HRESULT CanSeekBackward(LONG* canSeek) override;

    // IMediaSeeking
    HRESULT GetCapabilities(DWORD* capabilities) override;
    HRESULT CheckCapabilities(DWORD* capabilities) override;
    HRESULT IsFormatSupported(const GUID* format) override;
    HRESULT QueryPreferredFormat(GUID* format) override;
    HRESULT GetTimeFormat(GUID* format) override;
    HRESULT IsUsingTimeFormat(const GUID* format) override;
    HRESULT SetTimeFormat(const GUID* format) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetStopPosition(LONGLONG* stop) override;
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                              const GUID* sourceFormat) override;
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;
    HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
    HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
    HRESULT SetRate(double rate) override;
    HRESULT GetRate(double* rate) override;
    HRESULT GetPreroll(LONGLONG* preroll) override;

    // IVideoWindow: passed to the graph's video renderer; VFW_E_NO_VIDEO_WINDOW while there is none.
    HRESULT put_Caption(const char* caption) override;
    HRESULT put_Left(LONG left) override;
    HRESULT get_Left(LONG* left) override;
    HRESULT put_Top(LONG top) override;
    HRESULT get_Top(LONG* top) override;
    HRESULT put_Width(LONG width) override;
    HRESULT get_Width(LONG* width) override;
    HRESULT put_Height(LONG height) override;
    HRESULT get_Height(LONG* height) override;
    HRESULT put_Visible(OABOOL visible) override;
    HRESULT get_Visible(OABOOL* visible) override;
    HRESULT put_FullScreenMode(OABOOL on) override;
    HRESULT get_FullScreenMode(OABOOL* on) override;
    HRESULT put_MessageDrain(OAHWND drain) override;
    HRESULT get_MessageDrain(OAHWND* drain) override;
    HRESULT SetWindowForeground(LONG focus) override;

private:
    struct Member {
        ComPtr<IBaseFilter> filter;
        std::u16string name;
    };
    using PinPair = std::pair<ComPtr<IPin>, ComPtr<IPin>>;

    // What one building step added, so that a failure can take it out again.
    struct Journal {
        std::vector<PinPair> connections;
        std::vector<ComPtr<IBaseFilter>> filters;
    };
    struct JournalMark {
        size_t connections;
        size_t filters;
    };

    // Under lock_.
    Member* findMember(IUnknown* filter);
    bool inGraph(IPin* pin);
    std::u16string uniqueName(std::u16string wanted);
    std::u16string defaultName(IBaseFilter* filter);
    graph::FilterList memberFilters() const;
    HRESULT checkPins(IPin* out, IPin* in);
    HRESULT connectPins(IPin* out, IPin* in, const AM_MEDIA_TYPE* type, Journal* journal);
    void disconnectPair(IPin* out, IPin* in);
    void disconnectAll(IBaseFilter* filter);
    void forgetConnections(IBaseFilter* filter);
    HRESULT addMember(IBaseFilter* filter, LPCOLESTR name);
    void removeMember(IBaseFilter* filter);
    void rollBack(Journal& journal, JournalMark mark);
    static JournalMark markOf(const Journal& journal) {
        return {journal.connections.size(), journal.filters.size()};
    }

    // Graph building (graph_build.cpp), under lock_.
    HRESULT connectThroughRegistered(IPin* out, IPin* in, Journal& journal);
    HRESULT renderPin(IPin* out, int depth, Journal& journal);
    HRESULT renderFrom(IBaseFilter* filter, int depth, Journal& journal);
    HRESULT tryRenderInto(IPin* out, IBaseFilter* filter, int depth, Journal& journal);
    ComPtr<IBaseFilter> createRegistered(const CLSID& clsid, const std::string& name, Journal& journal);
    HRESULT addSource(LPCOLESTR file, LPCOLESTR filterName, ComPtr<IBaseFilter>& source, Journal& journal);

    // State changes (filter_graph_control.cpp), under lock_.
    void beginRun();
    HRESULT startFilters(bool run);
    HRESULT stopFilters();

    // Seeking (graph_position.cpp).
    ComPtr<IMediaSeeking> seeker();
    // The video renderer's window (graph_video_window.cpp).
    ComPtr<IVideoWindow> videoWindow();
    // The clock of a run: the first filter that offers one (a sound renderer), handed to every filter.
    void chooseClock();
    void dropClock();

    std::recursive_mutex lock_;
    std::vector<Member> members_;
    std::vector<PinPair> connections_;               // made through the graph, in both directions' pins
    graph::FilterList order_;                        // start order of the current run
    std::atomic<FILTER_STATE> state_{State_Stopped}; // written under lock_, read anywhere
    graph::GraphEvents events_;
    std::atomic<bool> abort_{false};
};

} // namespace platform::dshow
