#include "platform/dshow/filters/file_writer.h"

#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/core/paths.h"
#include "platform/dshow/filters/stock_guids.h"
#include "platform/dshow/guids.h"
#include "platform/dshow/media_type.h"

#include <new>

namespace platform::dshow::filters {

namespace {
constexpr char kObjectName[] = "File Writer";
// Longer names are refused: no path of the system comes near it.
constexpr size_t kMaxNameUnits = 4096;
} // namespace

FileWriterFilter::FileWriterFilter(IUnknown* outer)
    : CBaseFilter(kObjectName, outer, &lock_, CLSID_FileWriter),
      input_("File Writer input", this, &lock_, u"in", *this) {}

FileWriterFilter::~FileWriterFilter() {
    // A writer released without a stop still leaves what it wrote.
    if (file_)
        file_->commit();
}

CUnknown* FileWriterFilter::CreateInstance(IUnknown* outer, HRESULT* hr) {
    auto* filter = new (std::nothrow) FileWriterFilter(outer);
    if (!filter && hr)
        *hr = E_OUTOFMEMORY;
    return filter;
}

HRESULT FileWriterFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IFileSinkFilter)
        return GetInterface(static_cast<IFileSinkFilter*>(this), ppv);
    if (riid == IID_IAMFilterMiscFlags)
        return GetInterface(static_cast<IAMFilterMiscFlags*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT FileWriterFilter::SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE*) {
    if (!fileName)
        return E_POINTER;
    const std::u16string_view wide = platform::com::wideView(fileName, kMaxNameUnits + 1);
    if (wide.size() > kMaxNameUnits)
        return E_INVALIDARG;
    CAutoLock lock(&lock_);
    name_ = platform::com::bytesFromWide(wide);
    return S_OK;
}

HRESULT FileWriterFilter::GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) {
    if (!fileName)
        return E_POINTER;
    CAutoLock lock(&lock_);
    *fileName = platform::com::taskMemWideCopy(platform::com::wideFromBytes(name_));
    if (type)
        *type = CMediaType();
    return *fileName ? S_OK : E_OUTOFMEMORY;
}

bool FileWriterFilter::fileOpen() {
    std::lock_guard stream(stream_);
    return file_ != nullptr;
}

HRESULT FileWriterFilter::Pause() {
    CAutoLock lock(&lock_);
    if (state_ == State_Stopped) {
        if (name_.empty())
            return E_INVALIDARG;
        auto file = std::make_unique<PositionedFile>(platform::core::resolvePath(name_));
        if (!file->isOpen())
            return E_FAIL;
        std::lock_guard stream(stream_);
        file_ = std::make_unique<WriteBehind>(std::move(file));
        end_ = 0;
        completed_ = false;
    }
    return CBaseFilter::Pause();
}

HRESULT FileWriterFilter::Stop() {
    CAutoLock lock(&lock_);
    HRESULT hr = CBaseFilter::Stop();
    std::lock_guard stream(stream_);
    if (file_ && !file_->commit() && SUCCEEDED(hr))
        hr = E_FAIL;
    file_.reset();
    return hr;
}

HRESULT FileWriterFilter::receive(IMediaSample* sample) {
    std::lock_guard stream(stream_);
    if (!file_)
        return VFW_E_WRONG_STATE;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data)
        return E_POINTER;
    const auto length = static_cast<size_t>(std::max<LONG>(sample->GetActualDataLength(), 0));
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    // Byte streams place their samples by their times; anything else is written in order.
    const bool positioned = *input_.CurrentMediaType().Type() == MEDIATYPE_Stream &&
                            SUCCEEDED(sample->GetTime(&start, &stop)) && start >= 0;
    const int64_t offset = positioned ? start : end_;
    if (!file_->write(offset, std::span<const uint8_t>(data, length)))
        return E_FAIL;
    end_ = std::max<int64_t>(end_, offset + static_cast<int64_t>(length));
    return S_OK;
}

HRESULT FileWriterFilter::endOfStream() {
    bool written = true;
    {
        std::lock_guard stream(stream_);
        if (completed_)
            return S_OK;
        completed_ = true;
        // The stream is complete only once its bytes are in the file.
        if (file_)
            written = file_->flush();
    }
    if (!written)
        NotifyEvent(EC_ERRORABORT, E_FAIL, 0);
    else
        NotifyEvent(EC_COMPLETE, S_OK, 0);
    return S_OK;
}

} // namespace platform::dshow::filters
