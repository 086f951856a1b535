#pragma once

// The audio decoder filter: pin 1 "Input" takes AC3, MPEG audio or DVD LPCM from the parser; pin 2
// "Output" gives 16-bit stereo PCM at 48 kHz, or at 44.1 kHz when the user's setting "bMax441Khz" is
// "1" when the filter is created. Decoding runs on the upstream thread, inside Receive.

#include "platform/dshow/base_filter.h"
#include "platform/dshow/filters/audio_decoder.h"
#include "platform/dshow/filters/stock_pins.h"

#include <memory>
#include <mutex>
#include <string>

namespace platform::dshow::filters {

// Where the decoder's settings live (current user) and the value that asks for 44.1 kHz.
inline constexpr char kDecoderSettingsKey[] = "Software\\Xing Technology Corp.\\XingDVD Player";
inline constexpr char kMax441KhzValue[] = "bMax441Khz";

// The settings as the registry holds them now.
DecoderSettings storedDecoderSettings();

class DecoderFilter final : public CBaseFilter, private StreamHandler {
public:
    // partsError: why the parts are missing, when they are (the input then refuses every type).
    DecoderFilter(IUnknown* outer, DecoderSettings settings, DecoderParts parts, std::string partsError);
    ~DecoderFilter() override;

    // The class table's creation function: the stored settings, the parts from the module's own folder.
    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override;
    HRESULT Stop() override;

    const std::string& partsError() const { return partsError_; }

private:
    HRESULT checkInputType(const CMediaType& type) override;
    HRESULT inputConnected(const CMediaType& type) override;
    void inputDisconnected() override;
    HRESULT receive(IMediaSample* sample) override;
    HRESULT endOfStream() override;
    void beginFlush() override;
    void endFlush() override;
    void newSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    HRESULT deliver(const PcmChunk& chunk);

    CCritSec lock_;
    std::mutex stream_; // held while a sample or the end of the stream is being decoded
    DecoderSettings settings_;
    DecoderParts parts_;
    std::string partsError_;
    std::unique_ptr<AudioDecoder> decoder_;
    StockInputPin input_;
    StockOutputPin output_;
};

} // namespace platform::dshow::filters
