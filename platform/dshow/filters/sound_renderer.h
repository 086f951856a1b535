#pragma once

// The sound renderer: one input pin, "Audio Input pin (rendered)", that takes PCM audio and plays it on
// the sound card when a device opens, or else consumes it at the pace it would play, so that it can be
// created, connected and run where there is no sound device. While paused it holds the stream; at the
// end of the stream it waits for the last sample to play and then sends EC_COMPLETE.

#include "platform/dshow/base_filter.h"
#include "platform/dshow/filters/audio_output.h"
#include "platform/dshow/filters/stock_pins.h"
#include "platform/dshow/graph_interfaces.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace platform::dshow::filters {

class SoundRendererFilter final : public CBaseFilter, public IAMFilterMiscFlags, private StreamHandler {
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

    CCritSec lock_;
    std::mutex stream_;
    PlaybackGate gate_;
    WaveFormat format_;
    std::unique_ptr<AudioOutput> output_; // from Pause to Stop
    std::atomic<int64_t> played_{0};
    StockInputPin input_;
};

} // namespace platform::dshow::filters
