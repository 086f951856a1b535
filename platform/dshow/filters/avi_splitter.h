#pragma once

// The AVI splitter: Load reads an AVI file through the AVI reader (headers, formats and the chunk
// index: OpenDML, idx1, or a scan of the movie list when there is no index) and makes one output pin
// per video or audio stream, "Stream 00", "Stream 01", ... after the stream's number in the file. Video
// pins offer the frames under their FourCC, audio pins the stream's own format.
//
// Times come from each stream header as it stands when the file is loaded: a chunk's start is its
// sample number (from the header's start) × scale / rate, so a delay or frame rate patched into the
// headers plays as written. The duration is the latest end of a stream.
//
// While the filter runs, each pin has a thread of its own that delivers the chunks from the current
// position to the stop position and then ends its stream. A new position lands on the key frame at or
// before it (the earliest such frame over the video streams), from where every stream plays; while
// running, the streams are flushed and start again from there. The current position is the graph's
// clock while there is one (the sound being heard), else the time run since the stream began.

#include "platform/dshow/base_filter.h"
#include "platform/dshow/file_interfaces.h"
#include "platform/dshow/filters/stock_pins.h"
#include "platform/dshow/graph_interfaces.h"
#include "platform/vfw/stream_data.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace platform::dshow::filters {

class AviSplitterFilter final : public CBaseFilter, public IFileSourceFilter, public IMediaSeeking {
public:
    explicit AviSplitterFilter(IUnknown* outer);
    ~AviSplitterFilter() override;

    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    int GetPinCount() override { return static_cast<int>(tracks_.size()); }
    CBasePin* GetPin(int n) override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT Stop() override;

    // IFileSourceFilter
    HRESULT Load(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) override;
    HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) override;

    // IMediaSeeking (TIME_FORMAT_MEDIA_TIME only)
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

    // Where a new position lands: the start of the key frame at or before it.
    REFERENCE_TIME keyFrameBefore(REFERENCE_TIME position) const;

private:
    struct Track {
        size_t stream = 0; // in parsed_.streams
        bool video = false;
        std::vector<REFERENCE_TIME> chunkStart; // and the stream's end after the last chunk
        std::unique_ptr<StockOutputPin> pin;
        std::thread thread;
    };

    void clearFile();
    bool addTrack(size_t streamIndex);
    void startStreaming();
    void stopStreaming();
    void streamLoop(Track& track, REFERENCE_TIME from, REFERENCE_TIME stop);
    REFERENCE_TIME positionNow();

    CCritSec lock_;
    std::string name_;
    std::unique_ptr<platform::vfw::ByteSource> source_;
    std::vector<platform::vfw::StreamData> streams_;
    std::vector<Track> tracks_;
    REFERENCE_TIME duration_ = 0;
    REFERENCE_TIME current_ = 0; // where the streams began (a key frame)
    REFERENCE_TIME stop_ = 0;
    std::atomic<bool> stopRequested_{false};
    // Without a clock: the wall time at which the position current_ (or the pause) began.
    std::chrono::steady_clock::time_point runSince_{};
    REFERENCE_TIME ranBefore_ = 0;
};

} // namespace platform::dshow::filters
