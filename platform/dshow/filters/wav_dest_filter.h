#pragma once

// The WAV writer filter ("Wav Dest"): pin 1 "In" takes audio of any WAVEFORMATEX, pin 2 "Out" gives a
// canonical RIFF WAVE stream as positioned writes (each sample's times are its byte range in the file)
// for a file sink. The header goes out with the first samples and again after each one with the sizes
// so far, so that the file is a valid WAV whenever the graph stops; the end of the stream, or a stop,
// writes the final sizes before the filter's Stop returns.
//
// PCM begins at the start of the segment the filter is given (the start of the stream unless a seek
// set another): samples stamped earlier are cut away, and silence fills the time before a first
// sample stamped later.

#include "platform/dshow/base_filter.h"
#include "platform/dshow/filters/pcm_start.h"
#include "platform/dshow/filters/stock_pins.h"
#include "platform/dshow/filters/wav_writer.h"

#include <memory>
#include <mutex>

namespace platform::dshow::filters {

class WavDestFilter final : public CBaseFilter, private StreamHandler, private WavSink {
public:
    explicit WavDestFilter(IUnknown* outer);
    ~WavDestFilter() override;

    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override;
    HRESULT Pause() override;
    HRESULT Stop() override;

private:
    HRESULT checkInputType(const CMediaType& type) override;
    HRESULT inputConnected(const CMediaType& type) override;
    HRESULT receive(IMediaSample* sample) override;
    HRESULT endOfStream() override;
    void beginFlush() override;
    void endFlush() override;
    void newSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    bool write(int64_t offset, std::span<const uint8_t> bytes) override;

    CCritSec lock_;
    std::mutex stream_;
    WaveFormat format_;
    std::unique_ptr<WavWriter> writer_; // from Pause to Stop
    std::unique_ptr<PcmStart> start_;   // PCM only: where the file's first sample lies
    std::vector<uint8_t> placed_;
    HRESULT lastDelivery_ = S_OK;
    StockInputPin input_;
    StockOutputPin output_;
};

} // namespace platform::dshow::filters
