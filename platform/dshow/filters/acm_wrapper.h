#pragma once

// The ACM Wrapper: pin "Input" takes PCM audio and pin "Output" passes it on unchanged, in the format it
// came in.

#include "platform/dshow/base_filter.h"
#include "platform/dshow/filters/stock_pins.h"

#include <mutex>

namespace platform::dshow::filters {

class AcmWrapperFilter final : public CBaseFilter, private StreamHandler {
public:
    explicit AcmWrapperFilter(IUnknown* outer);
    ~AcmWrapperFilter() override;

    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override;
    HRESULT Stop() override;

private:
    HRESULT checkInputType(const CMediaType& type) override;
    HRESULT inputConnected(const CMediaType& type) override;
    HRESULT receive(IMediaSample* sample) override;
    HRESULT endOfStream() override;
    void beginFlush() override;
    void endFlush() override;
    void newSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    CCritSec lock_;
    std::mutex stream_;
    StockInputPin input_;
    StockOutputPin output_;
};

// PCM audio with a WAVEFORMATEX (integer PCM or its extensible form) that a PCM pin can take.
bool isPcmAudioType(const CMediaType& type);

} // namespace platform::dshow::filters
