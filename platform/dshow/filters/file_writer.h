#pragma once

// The File Writer: one input pin "in" that writes what arrives into a file. On a byte stream
// (MEDIATYPE_Stream) each sample whose times are set is written at the byte offset its start time
// gives; everything else follows what was written last. The
// name (IFileSinkFilter) may stay empty until the graph starts; the file is opened (the name resolved
// without regard to case) when the filter leaves the stopped state and closed when it stops. The
// writes are made by a thread of their own (WriteBehind), so the stream's thread does not wait for the
// file system. It is a renderer: the end of the stream sends EC_COMPLETE once every byte is written
// (EC_ERRORABORT when a write failed).

#include "platform/dshow/base_filter.h"
#include "platform/dshow/file_interfaces.h"
#include "platform/dshow/filters/stock_pins.h"
#include "platform/dshow/filters/write_behind.h"
#include "platform/dshow/graph_interfaces.h"

#include <memory>
#include <mutex>
#include <string>

namespace platform::dshow::filters {

class FileWriterFilter final : public CBaseFilter,
                               public IFileSinkFilter,
                               public IAMFilterMiscFlags,
                               private StreamHandler {
public:
    explicit FileWriterFilter(IUnknown* outer);
    ~FileWriterFilter() override;

    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &input_ : nullptr; }
    HRESULT Pause() override;
    HRESULT Stop() override;

    // IFileSinkFilter
    HRESULT SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) override;
    HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) override;
    // IAMFilterMiscFlags
    ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

    bool fileOpen();

private:
    HRESULT checkInputType(const CMediaType&) override { return S_OK; }
    HRESULT receive(IMediaSample* sample) override;
    HRESULT endOfStream() override;

    CCritSec lock_;
    std::mutex stream_;
    std::string name_;
    std::unique_ptr<WriteBehind> file_;
    int64_t end_ = 0; // where a sample without times goes
    bool completed_ = false;
    StockInputPin input_;
};

} // namespace platform::dshow::filters
