#pragma once

// The multiple-file source filter: the VOB files named in a list file, offered as one MPEG-2 program
// stream on a pull-mode output pin. Load reads the list and opens the files; Run reads both afresh
// and shows the progress window; Stop closes everything and removes the pin until the next Load or
// Run. One critical section serialises loading, running, stopping and every read.
//
// Threads: Load, Run, Pause and Stop come on the thread of the host's windows; reads come on the
// parser's pull thread, which the graph stops before this filter's Stop closes the files.

#include "platform/dshow/base_filter.h"
#include "platform/dshow/file_interfaces.h"
#include "platform/dshow/property_interfaces.h"
#include "quillon/file_list.h"
#include "quillon/message_sink.h"
#include "quillon/multiple_file_inputer.h"
#include "quillon/multiple_file_output_pin.h"
#include "quillon/progress_dialog.h"
#include "quillon/progress_feed.h"

#include <string>

namespace quillon {

// The longest list path Load accepts, in bytes.
inline constexpr size_t kMaxListPath = 1023;
inline constexpr char16_t kCurFileText[] = u"Orvento Multiple MPEG2 Source";

class MultipleFileSource final : public CBaseFilter, public IFileSourceFilter, public ISpecifyPropertyPages {
public:
    MultipleFileSource(IUnknown* outer, HRESULT* hr, MessageSink& sink);
    ~MultipleFileSource() override;

    // The creation function of the class table: a filter that shows real message boxes.
    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT Stop() override;

    // IFileSourceFilter
    HRESULT Load(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) override;
    HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) override;
    // ISpecifyPropertyPages
    HRESULT GetPages(CAUUID* pages) override;

    const std::string& listPath() const { return listPath_; }
    ProgressDialog& progress() { return progress_; }
    const FileList& list() const { return list_; }
    MultipleFileOutputPin& outputPin() { return pin_; }

private:
    // Under the lock: the list is read again from listPath and the files reopened.
    void reload(FileList& fresh);

    std::string listPath_;
    int64_t listFileSize_ = -1; // of the list file at listPath_ when Load read it
    CCritSec lock_;
    // Taken after lock_ where both are held: guards the reader and the list against the pin's reads.
    CCritSec readerLock_;
    MessageSink& sink_;
    MultipleFileInputer reader_;
    FileList list_;
    ProgressFeed feed_;
    ProgressDialog progress_;
    MultipleFileOutputPin pin_;
};

} // namespace quillon
