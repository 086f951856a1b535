#pragma once

// The video renderer: pin "Input" takes top-down 32-bit pictures and shows each in its video window
// when the graph's clock (the sound being heard) reaches the picture's start, or, without a clock, at
// the pace of the pictures' times from the first one on. A picture that comes more than a few frames
// late is dropped so that the picture catches up with the sound. While paused it holds the stream; at
// the end of the stream it waits for the last picture's end and sends EC_COMPLETE.
//
// Its window (IVideoWindow) is made with the filter, on the thread that creates it (the window
// thread), shown when the graph starts and hidden when the filter goes; every window call belongs on
// that thread. A window the user closed reports itself not visible.

#include "platform/dshow/base_filter.h"
#include "platform/dshow/filters/audio_output.h"
#include "platform/dshow/filters/stock_pins.h"
#include "platform/dshow/graph_interfaces.h"
#include "platform/dshow/video_interfaces.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

namespace platform::dshow::filters {

class VideoWindow;

inline constexpr CLSID CLSID_VideoRenderer = makeGuid("{70E102B0-5556-11CE-97C0-00AA0055595A}");

class VideoRendererFilter final : public CBaseFilter,
                                  public IAMFilterMiscFlags,
                                  public IVideoWindow,
                                  private StreamHandler {
public:
    explicit VideoRendererFilter(IUnknown* outer);
    ~VideoRendererFilter() override;

    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &input_ : nullptr; }
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT Stop() override;

    ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

    // IVideoWindow
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

    // What was shown: each picture's start, and the clock's time when it went up.
    struct Shown {
        REFERENCE_TIME start = 0;
        REFERENCE_TIME at = 0;
        uint32_t centre = 0; // the picture's middle pixel, 0xAARRGGBB
    };
    std::vector<Shown> shownLog();
    int64_t droppedCount() const { return dropped_; }
    VideoWindow* window() const { return window_; }

private:
    HRESULT checkInputType(const CMediaType& type) override;
    HRESULT inputConnected(const CMediaType& type) override;
    HRESULT receive(IMediaSample* sample) override;
    HRESULT endOfStream() override;
    void beginFlush() override;
    void endFlush() override;
    void newSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // The stream time now, from the clock or from the wall clock since the first picture.
    REFERENCE_TIME streamNow();
    // Waits until the stream time reaches when; false when stopped or flushed first.
    bool waitFor(REFERENCE_TIME when);

    CCritSec lock_;
    std::mutex stream_;
    PlaybackGate gate_;
    VideoWindow* window_ = nullptr; // owned; deleted on the window thread
    int32_t width_ = 0;
    int32_t height_ = 0;
    REFERENCE_TIME frameDuration_ = 0;
    std::mutex clockMutex_;
    IReferenceClock* runClock_ = nullptr; // the clock of the run, held from Pause to Stop
    std::optional<REFERENCE_TIME> paceBase_;
    PlaybackGate::Clock::time_point paceWall_{};
    PlaybackGate::Clock::duration pausedAtBase_{};
    REFERENCE_TIME segmentStart_ = 0;
    REFERENCE_TIME lastStop_ = 0;
    bool sawPicture_ = false;
    std::mutex logMutex_;
    std::vector<Shown> log_;
    std::atomic<int64_t> dropped_{0};
    StockInputPin input_;
};

} // namespace platform::dshow::filters
