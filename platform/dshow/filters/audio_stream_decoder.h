#pragma once

// The audio decoder of the playback graphs: pin "In" takes the compressed audio of an AVI stream
// (MPEG layers I to III, WMA 1 and 2, AC3, ADPCM, A-law and mu-law, float PCM) in its WAVEFORMATEX;
// pin "Out" gives 16-bit PCM at the stream's rate, in mono or stereo (more channels are mixed down to
// two). Decoding runs with libavcodec on the upstream thread inside Receive. Each block of PCM carries
// the time of the sample it came from; a stream the decoder cannot read further is ended rather than
// left hanging.

#include "platform/dshow/base_filter.h"
#include "platform/dshow/filters/audio_format.h"
#include "platform/dshow/filters/stock_pins.h"

#include <memory>
#include <mutex>

namespace platform::dshow::filters {

inline constexpr CLSID CLSID_AudioStreamDecoder = makeGuid("{3C3F2B6D-8E2A-4F0C-A7C1-2B9D5E6F7A10}");

class AudioStreamDecoderFilter final : public CBaseFilter, private StreamHandler {
public:
    explicit AudioStreamDecoderFilter(IUnknown* outer);
    ~AudioStreamDecoderFilter() override;

    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override;
    HRESULT Stop() override;

    // Whether the decoder reads this format tag.
    static bool accepts(uint16_t formatTag);

private:
    struct Codec;

    HRESULT checkInputType(const CMediaType& type) override;
    HRESULT inputConnected(const CMediaType& type) override;
    void inputDisconnected() override;
    HRESULT receive(IMediaSample* sample) override;
    HRESULT endOfStream() override;
    void beginFlush() override;
    void endFlush() override;
    void newSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    HRESULT decodePacket(const uint8_t* data, int length, std::optional<REFERENCE_TIME> time);
    HRESULT drainFrames(std::optional<REFERENCE_TIME> time);

    CCritSec lock_;
    std::mutex stream_;
    std::unique_ptr<Codec> codec_;
    WaveFormat output_format_;
    StockInputPin input_;
    StockOutputPin output_;
};

} // namespace platform::dshow::filters
