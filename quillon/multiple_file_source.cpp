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

MultipleFileSource::~MultipleFileSource() {
    sink_.flush();
}

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

void MultipleFileSource::reload(FileList& fresh) {
    CAutoLock reading(&readerLock_);
    list_.takeFrom(fresh);
    reader_.open(list_);
    IncrementPinVersion();
}

HRESULT MultipleFileSource::Load(LPCOLESTR fileName, const AM_MEDIA_TYPE*) {
    if (!fileName)
        return E_POINTER;
    const std::u16string_view wide = wideView(fileName, kMaxWideListPath);
    std::string path = wide.size() < kMaxWideListPath ? bytesFromWide(wide) : std::string();
    const bool refused = path.empty() || path.size() > kMaxListPath;
    // The list is read before any lock is taken: reading it may ask the user whether to go on.
    FileList fresh(sink_);
    if (!refused)
        fresh.load(path);
    HRESULT result = E_FAIL;
    {
        CAutoLock lock(&lock_);
        CAutoLock reading(&readerLock_);
        if (refused) {
            // A refused name leaves no list and no open file behind.
            reader_.close();
            list_.free();
        } else {
            listPath_ = std::move(path);
            listFileSize_ = fresh.fileSize();
            list_.takeFrom(fresh);
            if (list_.count() >= 1) {
                reader_.open(list_);
                result = S_OK;
            } else {
                reader_.close(); // reads must not go through the emptied list
            }
        }
        IncrementPinVersion();
    }
    sink_.flush();
    return result;
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
    std::string path;
    int64_t accepted = -1;
    {
        CAutoLock lock(&lock_);
        path = listPath_;
        accepted = listFileSize_;
    }
    // Read again for the run, outside the lock (see Load). The same list file the user let load
    // is not questioned a second time.
    FileList fresh(sink_);
    fresh.load(path, accepted);
    HRESULT result = S_OK;
    {
        CAutoLock lock(&lock_);
        reload(fresh);
        // A list that can no longer be read, or whose files no longer open, has nothing to serve:
        // the run fails rather than deliver an empty stream that ends as if it were complete.
        if (list_.count() < 1 || !reader_.isOpen()) {
            reader_.close();
            result = E_FAIL;
        } else {
            feed_.reset();
            progress_.create();
            progress_.setBatchFile(listPath_);
            progress_.setTotal(list_.total());
            progress_.startTimer();
            result = CBaseFilter::Run(start);
        }
    }
    sink_.flush();
    return result;
}

HRESULT MultipleFileSource::Stop() {
    HRESULT result = S_OK;
    {
        CAutoLock lock(&lock_);
        result = CBaseFilter::Stop();
        progress_.stopTimer();
        progress_.destroy();
        {
            CAutoLock reading(&readerLock_);
            reader_.close();
            list_.free();
        }
        IncrementPinVersion();
    }
    // What the reads of the run had to say is shown before the host can go on and end.
    sink_.flush();
    return result;
}

} // namespace quillon
