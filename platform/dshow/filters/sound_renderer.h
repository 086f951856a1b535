#pragma once

// The sound renderer: one input pin, "Audio Input pin (rendered)", that takes PCM audio and plays it on
// the sound card when a device opens, or else consumes it at the pace it would play, so that it can be
// created, connected and run where there is no sound device. While paused it holds the stream; at the
// end of the stream it waits for the last sample to play and then sends EC_COMPLETE.
//
// It is also the graph's reference clock: GetTime gives the stream time of the sound being heard (the
// times of the samples, from where the stream began). When the first sample after a start or a flush
// begins after the start of its segment (a stream that starts late), the gap is played as silence, so
// that the clock runs from the segment's start.

#include "platform/dshow/base_filter.h"
#include "platform/dshow/filters/audio_clock.h"
#include "platform/dshow/filters/audio_output.h"
#include "platform/dshow/filters/stock_pins.h"
#include "platform/dshow/graph_interfaces.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

namespace platform::dshow::filters {

class SoundRendererFilter final : public CBaseFilter,
                                  public IAMFilterMiscFlags,
                                  public IReferenceClock,
                                  private StreamHandler {
public:
    explicit SoundRendererFilter(IUnknown* outer);
    ~SoundRendererFilter() override;

    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &input_ : nullptr; }
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT Stop() override;

    ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

    // IReferenceClock: only GetTime; the advise calls are not offered.
    HRESULT GetTime(REFERENCE_TIME* time) override;
    HRESULT AdviseTime(REFERENCE_TIME, REFERENCE_TIME, CAMEvent*, uintptr_t*) override { return E_NOTIMPL; }
    HRESULT AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, CAMEvent*, uintptr_t*) override {
        return E_NOTIMPL;
    }
    HRESULT Unadvise(uintptr_t) override { return E_NOTIMPL; }

    // Whether the current run plays on a device (false: paced, or not running).
    bool playsOnDevice();
    int64_t bytesPlayed() const { return played_; }

private:
    HRESULT checkInputType(const CMediaType& type) override;
    HRESULT inputConnected(const CMediaType& type) override;
    HRESULT receive(IMediaSample* sample) override;
    HRESULT endOfStream() override;
    void beginFlush() override;
    void endFlush() override;
    void newSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    // Plays the silence before a late first sample; false when stopped meanwhile.
    bool playLeadIn(IMediaSample* sample);
    REFERENCE_TIME timeOfBytes(int64_t bytes) const;

    CCritSec lock_;
    std::mutex stream_;
    PlaybackGate gate_;
    WaveFormat format_;
    std::unique_ptr<AudioOutput> output_; // from Pause to Stop
    std::atomic<int64_t> played_{0};
    AudioClock clock_;
    std::optional<REFERENCE_TIME> segmentStart_; // under stream_
    int64_t sinceBase_ = 0;                      // bytes played since the clock's base, under stream_
    StockInputPin input_;
};

} // namespace platform::dshow::filters
