#pragma once

// The WAV file source, for rendering a ".wav" file: Load reads where the file's samples are, and its
// output pin "Output" offers them in the file's format. While the filter runs, a thread of its own
// reads the data chunk and delivers it with times, then ends the stream.

#include "platform/dshow/base_filter.h"
#include "platform/dshow/file_interfaces.h"
#include "platform/dshow/filters/stock_pins.h"
#include "platform/dshow/filters/wav_file_info.h"

#include <atomic>
#include <optional>
#include <string>
#include <thread>

namespace platform::dshow::filters {

class WavSourceFilter final : public CBaseFilter, public IFileSourceFilter {
public:
    explicit WavSourceFilter(IUnknown* outer);
    ~WavSourceFilter() override;

    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &output_ : nullptr; }
    HRESULT Pause() override;
    HRESULT Stop() override;

    // IFileSourceFilter
    HRESULT Load(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) override;
    HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) override;

private:
    void stopStreaming();
    void streamLoop(std::string path, WavFileInfo info);

    CCritSec lock_;
    std::string name_;
    std::optional<WavFileInfo> info_;
    std::thread thread_;
    std::atomic<bool> stopRequested_{false};
    StockOutputPin output_;
};

} // namespace platform::dshow::filters
