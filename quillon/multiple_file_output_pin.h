#pragma once

// The filter's one output pin, "Output": an MPEG-2 program stream offered for pulling through
// IAsyncReader. Every read takes the filter's reader lock (not the filter's own lock, which is held
// while the pin connects to the filter that pulls: that filter asks for the length under its own lock),
// reads through the filter's MultipleFileInputer and reports the new position (and, on a change of
// file, the file's path) to the progress feed.

#include "platform/dshow/base_pin.h"
#include "platform/dshow/sample_interfaces.h"
#include "quillon/file_list.h"
#include "quillon/multiple_file_inputer.h"
#include "quillon/progress_feed.h"

namespace quillon {

using namespace platform::dshow;

class MultipleFileOutputPin final : public CBasePin, public IAsyncReader {
public:
    // lock: the filter's; readerLock: held by the filter whenever it opens or closes the reader or
    // changes the list.
    MultipleFileOutputPin(CBaseFilter* filter, CCritSec* lock, CCritSec* readerLock, HRESULT* hr,
                          MultipleFileInputer& reader, const FileList& list, ProgressFeed& progress);

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // CBasePin
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT Active() override;
    HRESULT Inactive() override;
    HRESULT QueryInternalConnections(IPin** pins, ULONG* count) override;
    // IPin and IAsyncReader alike: nothing to flush.
    HRESULT BeginFlush() override { return S_OK; }
    HRESULT EndFlush() override { return S_OK; }

    // IAsyncReader
    HRESULT RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* props,
                             IMemAllocator** actual) override;
    HRESULT Request(IMediaSample* sample, uintptr_t user) override;
    HRESULT WaitForNext(DWORD timeoutMs, IMediaSample** sample, uintptr_t* user) override;
    HRESULT SyncReadAligned(IMediaSample* sample) override;
    HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) override;
    HRESULT Length(LONGLONG* total, LONGLONG* available) override;

    int32_t lastFileIndex() const;

private:
    // Under the reader lock: tells the progress feed where the reader stands now.
    void reportProgress();

    MultipleFileInputer& reader_;
    int32_t lastFileIndex_ = -1; // under the reader lock
    CCritSec& readerLock_;
    const FileList& list_;
    ProgressFeed& progress_;
};

} // namespace quillon
