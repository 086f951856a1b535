#include "quillon/multiple_file_source.h"

#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/dshow/guids.h"
#include "quillon/message_boxes.h"
#include "quillon/quillon_guids.h"

#include <new>

namespace quillon {

namespace {
constexpr char kObjectName[] = "Multiple MPEG2 File Source";
// Wide names this long or longer are refused before any conversion.
constexpr size_t kMaxWideListPath = 1024;
} // namespace

MultipleFileSource::MultipleFileSource(IUnknown* outer, HRESULT* hr, MessageSink& sink)
    : CBaseFilter(kObjectName, outer, &lock_, CLSID_MultipleFileSource), sink_(sink), reader_(sink),
      list_(sink), progress_(feed_), pin_(this, &lock_, &readerLock_, hr, reader_, list_, feed_) {}

MultipleFileSource::~MultipleFileSource() = default;

CUnknown* MultipleFileSource::CreateInstance(IUnknown* outer, HRESULT* hr) {
    auto* filter = new (std::nothrow) MultipleFileSource(outer, hr, messageBoxes());
    if (!filter && hr)
        *hr = E_OUTOFMEMORY;
    return filter;
}

HRESULT MultipleFileSource::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IFileSourceFilter)
        return GetInterface(static_cast<IFileSourceFilter*>(this), ppv);
    if (riid == IID_ISpecifyPropertyPages)
        return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

int MultipleFileSource::GetPinCount() {
    CAutoLock lock(&lock_);
    return list_.count() >= 1 ? 1 : 0;
}

CBasePin* MultipleFileSource::GetPin(int n) {
    return GetPinCount() >= 1 && n == 0 ? &pin_ : nullptr;
}

void MultipleFileSource::reload() {
    CAutoLock reading(&readerLock_);
    list_.load(listPath_);
    reader_.open(list_);
    IncrementPinVersion();
}

HRESULT MultipleFileSource::Load(LPCOLESTR fileName, const AM_MEDIA_TYPE*) {
    if (!fileName)
        return E_POINTER;
    CAutoLock lock(&lock_);
    CAutoLock reading(&readerLock_);
    const std::u16string_view wide = wideView(fileName, kMaxWideListPath);
    std::string path = wide.size() < kMaxWideListPath ? bytesFromWide(wide) : std::string();
    if (path.empty() || path.size() > kMaxListPath) {
        // A refused name leaves no list and no open file behind.
        reader_.close();
        list_.free();
        IncrementPinVersion();
        return E_FAIL;
    }
    listPath_ = std::move(path);
    list_.load(listPath_);
    IncrementPinVersion();
    if (list_.count() >= 1) {
        reader_.open(list_);
        return S_OK;
    }
    reader_.close(); // reads must not go through the emptied list
    return E_FAIL;
}

HRESULT MultipleFileSource::GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE*) {
    if (!fileName)
        return E_POINTER;
    CAutoLock lock(&lock_);
    *fileName = taskMemWideCopy(kCurFileText);
    return *fileName ? S_OK : E_OUTOFMEMORY;
}

HRESULT MultipleFileSource::GetPages(CAUUID* pages) {
    if (!pages)
        return E_POINTER;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems) {
        pages->cElems = 0;
        return E_FAIL;
    }
    pages->cElems = 1;
    pages->pElems[0] = CLSID_MultipleFileSourceAbout;
    return S_OK;
}

HRESULT MultipleFileSource::Run(REFERENCE_TIME start) {
    CAutoLock lock(&lock_);
    reload();
    feed_.reset();
    progress_.create();
    progress_.setBatchFile(listPath_);
    progress_.setTotal(list_.total());
    progress_.startTimer();
    return CBaseFilter::Run(start);
}

HRESULT MultipleFileSource::Stop() {
    CAutoLock lock(&lock_);
    const HRESULT result = CBaseFilter::Stop();
    progress_.stopTimer();
    progress_.destroy();
    {
        CAutoLock reading(&readerLock_);
        reader_.close();
        list_.free();
    }
    IncrementPinVersion();
    return result;
}

} // namespace quillon
