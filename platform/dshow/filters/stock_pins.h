#pragma once

// The pins the stock filters are made of. An input pin hands what arrives (samples, end of stream,
// flushes) to its filter through StreamHandler; an output pin offers the media types its filter set and
// delivers bytes in samples of its allocator.

#include "platform/dshow/input_pin.h"
#include "platform/dshow/output_pin.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace platform::dshow::filters {

using namespace platform::dshow;

// What a filter does with the stream that reaches one of its input pins. Receive, EndOfStream and
// NewSegment come on the upstream filter's streaming thread; the flushes may come on any thread.
class StreamHandler {
public:
    virtual HRESULT checkInputType(const CMediaType& type) = 0;
    // After the type is agreed; a failure refuses the connection.
    virtual HRESULT inputConnected(const CMediaType&) { return S_OK; }
    virtual void inputDisconnected() {}
    virtual HRESULT receive(IMediaSample* sample) = 0;
    virtual HRESULT endOfStream() = 0;
    virtual void beginFlush() {}
    virtual void endFlush() {}
    virtual void newSegment(REFERENCE_TIME, REFERENCE_TIME, double) {}

protected:
    ~StreamHandler() = default;
};

class StockInputPin final : public CBaseInputPin {
public:
    StockInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, std::u16string_view name,
                  StreamHandler& handler);

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT BreakConnect() override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

private:
    StreamHandler& handler_;
};

struct SampleTimes {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
};

class StockOutputPin final : public CBaseOutputPin {
public:
    StockOutputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, std::u16string_view name,
                   LONG bufferCount, LONG bufferSize);

    // The types the pin offers, best first; a connection must use one of them. Set while stopped.
    void setTypes(std::vector<CMediaType> types);
    // The size of each buffer asked for at the next connection (a whole video frame, say).
    void setBufferSize(LONG bytes) { bufferSize_ = bytes; }
    const std::vector<CMediaType>& types() const { return types_; }

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;

    // Copies bytes into as many samples as they need and delivers them; the first carries the times
    // and the discontinuity flag; every one is marked a sync point unless syncPoint is false. Returns the
    // first result other than S_OK from downstream.
    HRESULT deliverBytes(std::span<const uint8_t> bytes, std::optional<SampleTimes> times, bool discontinuity,
                         bool syncPoint = true);
    // Positioned bytes for a file sink: each sample's times are the byte range it covers in the file.
    HRESULT deliverAt(int64_t offset, std::span<const uint8_t> bytes);

private:
    std::vector<CMediaType> types_;
    LONG bufferCount_;
    LONG bufferSize_;
};

// Results from downstream that mean "no more, the stream is going away" (stopped, flushing, no
// buffers), as opposed to a failure worth reporting.
bool isQuietRefusal(HRESULT hr);

} // namespace platform::dshow::filters
