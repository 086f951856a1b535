// The AVI file interface's functions over the file and stream objects.

#include "platform/vfw/avi_handles.h"
#include "platform/vfw/avi_reader.h"
#include "platform/vfw/avifile.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <set>

namespace platform::vfw {

namespace {

// Files being written, so that the last AVIFileExit can complete those still open.
std::mutex registryMutex;
std::set<AviFile*> openWriters;
int initCount = 0;

void registerWriter(AviFile* file) {
    std::lock_guard lock(registryMutex);
    openWriters.insert(file);
}

void closeFile(AviFile* file) {
    if (file->writing()) {
        {
            std::lock_guard lock(registryMutex);
            openWriters.erase(file);
        }
        file->writer->finish();
    }
    delete file;
}

constexpr int64_t MillisecondsPerSecond = 1000;

} // namespace

int AviFile::streamCount() const {
    return writing() ? writer->streamCount() : static_cast<int>(parsed.streams.size());
}

const StreamData* AviStream::data() const {
    if (file->writing())
        return nullptr;
    return &file->parsed.streams[static_cast<size_t>(index)];
}

AVISTREAMINFO AviStream::info() const {
    if (file->writing())
        return file->writer->streamInfo(index);
    return data()->info;
}

void AVIFileInit() {
    std::lock_guard lock(registryMutex);
    ++initCount;
}

void AVIFileExit() {
    std::set<AviFile*> still;
    {
        std::lock_guard lock(registryMutex);
        initCount = std::max(initCount - 1, 0);
        if (initCount > 0)
            return;
        still = openWriters;
    }
    for (AviFile* file : still)
        file->writer->finish();
}

HRESULT AVIFileOpen(PAVIFILE* ppfile, std::string_view szFile, UINT uMode) {
    if (ppfile == nullptr)
        return AVIERR_BADPARAM;
    *ppfile = nullptr;
    if (szFile.empty())
        return AVIERR_FILEOPEN;
    const UINT access = uMode & (OF_WRITE | OF_READWRITE);
    auto file = std::make_unique<AviFile>();
    if ((uMode & OF_CREATE) != 0) {
        if (access == 0)
            return AVIERR_BADPARAM;
        file->writer = AviWriter::create(szFile);
        if (!file->writer)
            return AVIERR_FILEOPEN;
        registerWriter(file.get());
        *ppfile = file.release();
        return AVIERR_OK;
    }
    if (access != 0)
        return AVIERR_UNSUPPORTED;
    file->source = openFileSource(szFile);
    if (!file->source)
        return AVIERR_FILEOPEN;
    if (const HRESULT hr = parseMediaFile(*file->source, file->parsed); hr != AVIERR_OK)
        return hr;
    *ppfile = file.release();
    return AVIERR_OK;
}

ULONG AVIFileAddRef(PAVIFILE pfile) {
    if (pfile == nullptr)
        return 0;
    return ++pfile->refs;
}

ULONG AVIFileRelease(PAVIFILE pfile) {
    if (pfile == nullptr || pfile->refs == 0)
        return 0;
    const ULONG left = --pfile->refs;
    if (left == 0)
        closeFile(pfile);
    return left;
}

HRESULT AVIFileInfo(PAVIFILE pfile, AVIFILEINFO* pfi, LONG lSize) {
    if (pfile == nullptr)
        return AVIERR_BADHANDLE;
    if (pfi == nullptr || lSize < 0)
        return AVIERR_BADPARAM;
    AVIFILEINFO info;
    if (pfile->writing()) {
        info.dwCaps = AVIFILECAPS_CANWRITE;
        info.dwStreams = static_cast<DWORD>(pfile->writer->streamCount());
        std::strncpy(info.szFileType, "AVI file", sizeof info.szFileType - 1);
    } else {
        info = pfile->parsed.info;
    }
    std::memcpy(pfi, &info, std::min<size_t>(static_cast<size_t>(lSize), sizeof info));
    return AVIERR_OK;
}

HRESULT AVIFileGetStream(PAVIFILE pfile, PAVISTREAM* ppavi, DWORD fccType, LONG lParam) {
    if (ppavi == nullptr)
        return AVIERR_BADPARAM;
    *ppavi = nullptr;
    if (pfile == nullptr)
        return AVIERR_BADHANDLE;
    if (lParam < 0)
        return AVIERR_NODATA;
    LONG seen = 0;
    for (int i = 0; i < pfile->streamCount(); ++i) {
        const AVISTREAMINFO info = pfile->writing() ? pfile->writer->streamInfo(i)
                                                    : pfile->parsed.streams[static_cast<size_t>(i)].info;
        if (fccType != 0 && info.fccType != fccType)
            continue;
        if (seen++ == lParam) {
            AVIFileAddRef(pfile);
            *ppavi = new AviStream(pfile, i);
            return AVIERR_OK;
        }
    }
    return AVIERR_NODATA;
}

HRESULT AVIFileCreateStream(PAVIFILE pfile, PAVISTREAM* ppavi, const AVISTREAMINFO* psi) {
    if (ppavi == nullptr)
        return AVIERR_BADPARAM;
    *ppavi = nullptr;
    if (pfile == nullptr)
        return AVIERR_BADHANDLE;
    if (psi == nullptr)
        return AVIERR_BADPARAM;
    if (!pfile->writing())
        return AVIERR_READONLY;
    int index = 0;
    if (const HRESULT hr = pfile->writer->createStream(*psi, index); hr != AVIERR_OK)
        return hr;
    AVIFileAddRef(pfile);
    *ppavi = new AviStream(pfile, index);
    return AVIERR_OK;
}

HRESULT AVIStreamOpenFromFile(PAVISTREAM* ppavi, std::string_view szFile, DWORD fccType, LONG lParam,
                              UINT mode) {
    if (ppavi == nullptr)
        return AVIERR_BADPARAM;
    *ppavi = nullptr;
    PAVIFILE file = nullptr;
    if (const HRESULT hr = AVIFileOpen(&file, szFile, mode); hr != AVIERR_OK)
        return hr;
    const HRESULT hr = AVIFileGetStream(file, ppavi, fccType, lParam);
    AVIFileRelease(file); // the stream keeps the file open
    return hr;
}

ULONG AVIStreamAddRef(PAVISTREAM pavi) {
    if (pavi == nullptr)
        return 0;
    return ++pavi->refs;
}

ULONG AVIStreamRelease(PAVISTREAM pavi) {
    if (pavi == nullptr || pavi->refs == 0)
        return 0;
    const ULONG left = --pavi->refs;
    if (left == 0) {
        AviFile* file = pavi->file;
        delete pavi;
        AVIFileRelease(file);
    }
    return left;
}

HRESULT AVIStreamInfo(PAVISTREAM pavi, AVISTREAMINFO* psi, LONG lSize) {
    if (pavi == nullptr)
        return AVIERR_BADHANDLE;
    if (psi == nullptr || lSize < 0)
        return AVIERR_BADPARAM;
    const AVISTREAMINFO info = pavi->info();
    std::memcpy(psi, &info, std::min<size_t>(static_cast<size_t>(lSize), sizeof info));
    return AVIERR_OK;
}

LONG AVIStreamStart(PAVISTREAM pavi) {
    return pavi == nullptr ? -1 : static_cast<LONG>(pavi->info().dwStart);
}

LONG AVIStreamLength(PAVISTREAM pavi) {
    return pavi == nullptr ? -1 : static_cast<LONG>(pavi->info().dwLength);
}

LONG AVIStreamEnd(PAVISTREAM pavi) {
    if (pavi == nullptr)
        return -1;
    const AVISTREAMINFO info = pavi->info();
    return static_cast<LONG>(std::min<int64_t>(int64_t{info.dwStart} + info.dwLength, INT_MAX));
}

LONG AVIStreamFindSample(PAVISTREAM pavi, LONG lPos, LONG lFlags) {
    if (pavi == nullptr || pavi->data() == nullptr)
        return -1;
    return pavi->data()->findSample(lPos, lFlags);
}

LONG AVIStreamNearestKeyFrame(PAVISTREAM pavi, LONG lPos) {
    return AVIStreamFindSample(pavi, lPos, FIND_PREV | FIND_KEY);
}

LONG AVIStreamNextKeyFrame(PAVISTREAM pavi, LONG lPos) {
    return lPos == INT_MAX ? -1 : AVIStreamFindSample(pavi, lPos + 1, FIND_NEXT | FIND_KEY);
}

LONG AVIStreamPrevKeyFrame(PAVISTREAM pavi, LONG lPos) {
    return lPos == INT_MIN ? -1 : AVIStreamFindSample(pavi, lPos - 1, FIND_PREV | FIND_KEY);
}

BOOL AVIStreamIsKeyFrame(PAVISTREAM pavi, LONG lPos) {
    return AVIStreamNearestKeyFrame(pavi, lPos) == lPos ? TRUE : FALSE;
}

LONG AVIStreamNextSample(PAVISTREAM pavi, LONG lPos) {
    return lPos == INT_MAX ? -1 : AVIStreamFindSample(pavi, lPos + 1, FIND_NEXT | FIND_ANY);
}

LONG AVIStreamPrevSample(PAVISTREAM pavi, LONG lPos) {
    return lPos == INT_MIN ? -1 : AVIStreamFindSample(pavi, lPos - 1, FIND_PREV | FIND_ANY);
}

HRESULT AVIStreamReadFormat(PAVISTREAM pavi, LONG /*lPos*/, void* lpFormat, LONG* lpcbFormat) {
    if (pavi == nullptr)
        return AVIERR_BADHANDLE;
    if (lpcbFormat == nullptr)
        return AVIERR_BADPARAM;
    const std::vector<uint8_t>& format =
        pavi->file->writing() ? pavi->file->writer->streamFormat(pavi->index) : pavi->data()->format;
    const auto size = static_cast<LONG>(std::min<size_t>(format.size(), INT_MAX));
    if (lpFormat == nullptr) {
        *lpcbFormat = size;
        return AVIERR_OK;
    }
    const LONG room = std::max<LONG>(*lpcbFormat, 0);
    if (!format.empty())
        std::memcpy(lpFormat, format.data(), static_cast<size_t>(std::min(room, size)));
    *lpcbFormat = size;
    return room < size ? AVIERR_BUFFERTOOSMALL : AVIERR_OK;
}

HRESULT AVIStreamFormatSize(PAVISTREAM pavi, LONG lPos, LONG* plSize) {
    return AVIStreamReadFormat(pavi, lPos, nullptr, plSize);
}

HRESULT AVIStreamRead(PAVISTREAM pavi, LONG lStart, LONG lSamples, void* lpBuffer, LONG cbBuffer,
                      LONG* plBytes, LONG* plSamples) {
    if (plBytes != nullptr)
        *plBytes = 0;
    if (plSamples != nullptr)
        *plSamples = 0;
    if (pavi == nullptr)
        return AVIERR_BADHANDLE;
    if (pavi->data() == nullptr)
        return AVIERR_UNSUPPORTED; // a stream being written is not read back
    return pavi->data()->read(*pavi->file->source, lStart, lSamples, lpBuffer, cbBuffer, plBytes, plSamples);
}

HRESULT AVIStreamSetFormat(PAVISTREAM pavi, LONG /*lPos*/, const void* lpFormat, LONG cbFormat) {
    if (pavi == nullptr)
        return AVIERR_BADHANDLE;
    if (!pavi->file->writing())
        return AVIERR_READONLY;
    return pavi->file->writer->setFormat(pavi->index, lpFormat, cbFormat);
}

HRESULT AVIStreamWrite(PAVISTREAM pavi, LONG lStart, LONG lSamples, const void* lpBuffer, LONG cbBuffer,
                       DWORD dwFlags, LONG* plSampWritten, LONG* plBytesWritten) {
    if (plSampWritten != nullptr)
        *plSampWritten = 0;
    if (plBytesWritten != nullptr)
        *plBytesWritten = 0;
    if (pavi == nullptr)
        return AVIERR_BADHANDLE;
    if (!pavi->file->writing())
        return AVIERR_READONLY;
    return pavi->file->writer->write(pavi->index, lStart, lSamples, lpBuffer, cbBuffer, dwFlags,
                                     plSampWritten, plBytesWritten);
}

LONG AVIStreamSampleToTime(PAVISTREAM pavi, LONG lSample) {
    if (pavi == nullptr)
        return -1;
    const AVISTREAMINFO info = pavi->info();
    if (info.dwRate == 0)
        return -1;
    // Rounded up: the first whole millisecond at which the sample is shown. Samples times scale fit in
    // 64 bits, their milliseconds may not: the whole seconds and the rest are counted apart, and a
    // time beyond a LONG is clamped before it is multiplied.
    const int64_t units = int64_t{lSample} * info.dwScale;
    const int64_t rate = info.dwRate;
    const int64_t seconds = units / rate;
    if (seconds > INT_MAX / MillisecondsPerSecond)
        return INT_MAX;
    if (seconds < INT_MIN / MillisecondsPerSecond)
        return INT_MIN;
    const int64_t rest = (units % rate) * MillisecondsPerSecond;
    const int64_t ms =
        seconds * MillisecondsPerSecond + (rest >= 0 ? (rest + rate - 1) / rate : -((-rest) / rate));
    return static_cast<LONG>(std::clamp<int64_t>(ms, INT_MIN, INT_MAX));
}

LONG AVIStreamTimeToSample(PAVISTREAM pavi, LONG lTime) {
    if (pavi == nullptr)
        return -1;
    const AVISTREAMINFO info = pavi->info();
    if (info.dwScale == 0)
        return -1;
    const int64_t num = int64_t{lTime} * info.dwRate;
    const int64_t den = int64_t{info.dwScale} * MillisecondsPerSecond;
    const int64_t samples = num >= 0 ? num / den : -((-num + den - 1) / den);
    return static_cast<LONG>(std::clamp<int64_t>(samples, INT_MIN, INT_MAX));
}

HRESULT AVIStreamBeginStreaming(PAVISTREAM pavi, LONG lStart, LONG lEnd, LONG lRate) {
    if (pavi == nullptr)
        return AVIERR_BADHANDLE;
    if (lEnd < lStart || lRate < 0)
        return AVIERR_BADPARAM;
    return AVIERR_OK;
}

HRESULT AVIStreamEndStreaming(PAVISTREAM pavi) {
    return pavi == nullptr ? AVIERR_BADHANDLE : AVIERR_OK;
}

} // namespace platform::vfw
