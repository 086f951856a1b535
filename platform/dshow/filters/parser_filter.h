#pragma once

// The MPEG-2 program stream parser filter. Pin 1 "Input" pulls the stream from a source's reader; when
// it connects, the parser reads a bounded start of the stream to find the streams and builds one output
// per stream: "Video" first, then the audio streams ("AC3", "Audio", "LPCM") in the order of their DVD
// stream numbers. While the filter runs, a thread of its own reads the stream and delivers each
// packet's payload, stripped of its headers, with its time, on the output it belongs to, then ends the
// stream. A read error ends the stream too, after EC_ERRORABORT.
//
// Seeking (IMediaSeeking on the filter): a new position stops the thread with a flush downstream and
// continues from the pack that the time stamps near it show to hold the time, the audio from the frame
// that holds it; where the stamps give no way there, from the byte offset in proportion to the time.

#include "platform/com/com_ptr.h"
#include "platform/dshow/base_filter.h"
#include "platform/dshow/filters/ps_parser.h"
#include "platform/dshow/filters/reader_source.h"
#include "platform/dshow/filters/stock_pins.h"
#include "platform/dshow/graph_interfaces.h"

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace platform::dshow::filters {

class ParserFilter;

class ParserInputPin final : public CBasePin {
public:
    ParserInputPin(ParserFilter* filter, CCritSec* lock);

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT BreakConnect() override;
    // Nothing is pushed into a pulling pin.
    HRESULT BeginFlush() override { return S_OK; }
    HRESULT EndFlush() override { return S_OK; }

private:
    ParserFilter* parser_;
};

class ParserFilter final : public CBaseFilter, public IMediaSeeking {
public:
    ParserFilter(IUnknown* outer, REFCLSID clsid);
    ~ParserFilter() override;

    // Creation functions for the class table, one per identifier.
    static CUnknown* CreateParser(IUnknown* outer, HRESULT* hr);
    static CUnknown* CreateSplitter(IUnknown* outer, HRESULT* hr);

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    HRESULT Stop() override;
    HRESULT Pause() override;

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

private:
    friend class ParserInputPin;

    // Under the filter's lock, from the input pin's connection.
    HRESULT connectInput(IPin* sourcePin);
    void disconnectInput();

    void startStreaming();
    // Stops and joins the thread; flushes downstream first so that nothing there holds it.
    void stopStreaming();
    void streamLoop();
    void deliverPacket(const ParsedPacket& packet, std::vector<bool>& open);
    REFERENCE_TIME timeOf(int64_t pts) const;
    int64_t ptsOf(REFERENCE_TIME time) const;
    int64_t offsetOfTime(REFERENCE_TIME time);
    size_t seekReference() const;

    CCritSec lock_;
    ParserInputPin input_;
    std::vector<std::unique_ptr<StockOutputPin>> outputs_;
    // Pins of earlier connections: kept to the end, as holders of their interfaces may still call them.
    std::vector<std::unique_ptr<StockOutputPin>> retired_;

    platform::com::ComPtr<IAsyncReader> reader_;
    platform::com::ComPtr<IMemAllocator> readAllocator_;
    std::unique_ptr<AsyncReaderSource> source_;
    std::unique_ptr<ProgramStreamParser> parser_;
    std::optional<int64_t> durationPts_;
    int64_t basePts_ = 0;
    REFERENCE_TIME earliestTime_ = 0; // of the earliest stamp, <= 0

    std::thread thread_;
    std::atomic<bool> stopRequested_{false};
    std::optional<REFERENCE_TIME> seekTarget_; // where the next start seeks to; nothing: the start
    REFERENCE_TIME startTime_ = 0;             // the time the next start begins its segment at
    std::atomic<REFERENCE_TIME> position_{0};  // the time of the last delivered packet
};

} // namespace platform::dshow::filters
