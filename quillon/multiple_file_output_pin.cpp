#include "quillon/multiple_file_output_pin.h"

#include "platform/dshow/guids.h"

#include <algorithm>

namespace quillon {

MultipleFileOutputPin::MultipleFileOutputPin(CBaseFilter* filter, CCritSec* lock, CCritSec* readerLock,
                                             HRESULT* hr, MultipleFileInputer& reader, const FileList& list,
                                             ProgressFeed& progress)
    : CBasePin("Multiple MPEG2 File Source output pin", filter, lock, hr, u"Output", PINDIR_OUTPUT),
      reader_(reader), readerLock_(*readerLock), list_(list), progress_(progress) {}

HRESULT MultipleFileOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IAsyncReader)
        return GetInterface(static_cast<IAsyncReader*>(this), ppv);
    return CBasePin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT MultipleFileOutputPin::CheckMediaType(const CMediaType* type) {
    if (!type)
        return E_POINTER;
    return *type->Type() == MEDIATYPE_Stream && *type->Subtype() == MEDIASUBTYPE_MPEG2_PROGRAM ? S_OK
                                                                                               : S_FALSE;
}

HRESULT MultipleFileOutputPin::GetMediaType(int position, CMediaType* type) {
    if (position < 0)
        return E_INVALIDARG;
    if (position > 0)
        return VFW_S_NO_MORE_ITEMS;
    if (!type)
        return E_POINTER;
    *type = CMediaType(MEDIATYPE_Stream, MEDIASUBTYPE_MPEG2_PROGRAM);
    return S_OK;
}

HRESULT MultipleFileOutputPin::Active() {
    {
        CAutoLock lock(&readerLock_);
        lastFileIndex_ = -1;
    }
    return CBasePin::Active();
}

HRESULT MultipleFileOutputPin::Inactive() {
    {
        CAutoLock lock(&readerLock_);
        lastFileIndex_ = -1;
    }
    return CBasePin::Inactive();
}

int32_t MultipleFileOutputPin::lastFileIndex() const {
    CAutoLock lock(&readerLock_);
    return lastFileIndex_;
}

HRESULT MultipleFileOutputPin::QueryInternalConnections(IPin**, ULONG*) {
    return E_NOTIMPL;
}

HRESULT MultipleFileOutputPin::RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* props,
                                                IMemAllocator** actual) {
    if (!preferred || !props || !actual)
        return E_POINTER;
    props->cbAlign = 1; // reads go to any byte
    ALLOCATOR_PROPERTIES agreed;
    if (FAILED(preferred->SetProperties(props, &agreed)))
        return E_FAIL;
    preferred->AddRef();
    *actual = preferred;
    return S_OK;
}

HRESULT MultipleFileOutputPin::Request(IMediaSample*, uintptr_t) {
    return E_NOTIMPL;
}

HRESULT MultipleFileOutputPin::WaitForNext(DWORD, IMediaSample** sample, uintptr_t*) {
    if (!sample)
        return E_POINTER;
    *sample = nullptr;
    // No request can be pending: Request queues nothing.
    return E_NOTIMPL;
}

void MultipleFileOutputPin::reportProgress() {
    progress_.setPosition(reader_.position());
    const int32_t index = reader_.fileIndex();
    if (index != lastFileIndex_ && index >= 0 && index < list_.count()) {
        progress_.setCurrentFile(list_.names()[static_cast<size_t>(index)]);
        lastFileIndex_ = index;
    }
}

HRESULT MultipleFileOutputPin::SyncReadAligned(IMediaSample* sample) {
    if (!sample)
        return E_POINTER;
    CAutoLock lock(&readerLock_);
    REFERENCE_TIME start = 0;
    REFERENCE_TIME end = 0;
    HRESULT hr = sample->GetTime(&start, &end);
    if (FAILED(hr))
        return hr;
    if (start < 0 || end < start)
        return E_INVALIDARG;
    const LONG size = sample->GetSize();
    if (size < 0)
        return size;
    BYTE* buffer = nullptr;
    hr = sample->GetPointer(&buffer);
    if (FAILED(hr))
        return hr;
    const LONGLONG position = start / UNITS;
    // Asked for: the times' length, at most the buffer; read: that, up to the stream's end.
    const LONGLONG asked = std::min<LONGLONG>((end - start) / UNITS, size);
    const LONGLONG length = std::clamp<LONGLONG>(reader_.total() - position, 0, asked);
    LONGLONG got = 0;
    if (length > 0) {
        reader_.seek(position);
        got = reader_.readBlock(buffer, length);
    }
    hr = sample->SetActualDataLength(static_cast<LONG>(got));
    if (FAILED(hr))
        return hr;
    reportProgress();
    return got < asked ? S_FALSE : S_OK;
}

HRESULT MultipleFileOutputPin::SyncRead(LONGLONG position, LONG length, BYTE* buffer) {
    if (!buffer)
        return E_POINTER;
    CAutoLock lock(&readerLock_);
    const LONGLONG total = reader_.total();
    if (position < 0 || position >= total || length < 0 || length > total - position)
        return E_FAIL;
    reader_.seek(position);
    const LONGLONG got = reader_.readBlock(buffer, length);
    reportProgress();
    return got < length ? S_FALSE : S_OK;
}

HRESULT MultipleFileOutputPin::Length(LONGLONG* total, LONGLONG* available) {
    CAutoLock lock(&readerLock_);
    if (total)
        *total = reader_.total();
    if (available)
        *available = reader_.total() - reader_.position();
    return S_OK;
}

} // namespace quillon
