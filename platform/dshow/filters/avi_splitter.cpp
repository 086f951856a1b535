#include "platform/dshow/filters/avi_splitter.h"

#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/core/paths.h"
#include "platform/dshow/filters/media_types.h"
#include "platform/dshow/filters/video_types.h"
#include "platform/dshow/guids.h"
#include "platform/vfw/avi_reader.h"

#include <algorithm>
#include <new>

namespace platform::dshow::filters {

namespace {

namespace vfw = platform::vfw;

constexpr char kObjectName[] = "AVI Splitter";
constexpr size_t kMaxNameUnits = 4096;
constexpr LONG kAudioBuffers = 16;
constexpr LONG kVideoBuffers = 8;
// The largest chunk a pin delivers; a chunk said to be larger is damaged and skipped.
constexpr uint32_t kMaxChunk = 16 * 1024 * 1024;
constexpr LONG kMinBuffer = 64 * 1024;
constexpr size_t kWaveFormatBlockAlign = 12;

__extension__ using WideInt = __int128;

// The start of sample n of a stream at rate / scale samples a second.
REFERENCE_TIME timeOfSample(int64_t n, uint32_t scale, uint32_t rate) {
    if (rate == 0)
        return 0;
    const WideInt units = static_cast<WideInt>(n) * scale * UNITS / rate;
    return static_cast<REFERENCE_TIME>(units);
}

std::u16string pinName(size_t streamIndex) {
    std::string name = "Stream ";
    if (streamIndex < 10)
        name += '0';
    name += std::to_string(streamIndex);
    return std::u16string(name.begin(), name.end());
}

// Bytes per sample of an audio stream that counts its samples in bytes (0: one sample per chunk).
uint32_t sampleBytes(const vfw::StreamData& stream) {
    if (stream.info.dwSampleSize > 0)
        return stream.info.dwSampleSize;
    if (!stream.fixedSampleSize())
        return 0;
    vfw::LeReader format(stream.format);
    return std::max<uint32_t>(format.u16(kWaveFormatBlockAlign), 1);
}

} // namespace

AviSplitterFilter::AviSplitterFilter(IUnknown* outer)
    : CBaseFilter(kObjectName, outer, &lock_, CLSID_AviSplitter) {}

AviSplitterFilter::~AviSplitterFilter() {
    stopStreaming();
}

CUnknown* AviSplitterFilter::CreateInstance(IUnknown* outer, HRESULT* hr) {
    auto* filter = new (std::nothrow) AviSplitterFilter(outer);
    if (!filter && hr)
        *hr = E_OUTOFMEMORY;
    return filter;
}

HRESULT AviSplitterFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IFileSourceFilter)
        return GetInterface(static_cast<IFileSourceFilter*>(this), ppv);
    if (riid == IID_IMediaSeeking)
        return GetInterface(static_cast<IMediaSeeking*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

CBasePin* AviSplitterFilter::GetPin(int n) {
    if (n < 0 || n >= static_cast<int>(tracks_.size()))
        return nullptr;
    return tracks_[static_cast<size_t>(n)].pin.get();
}

void AviSplitterFilter::clearFile() {
    tracks_.clear();
    streams_.clear();
    source_.reset();
    duration_ = current_ = stop_ = 0;
    IncrementPinVersion();
}

bool AviSplitterFilter::addTrack(size_t streamIndex) {
    const vfw::StreamData& stream = streams_[streamIndex];
    const bool video = stream.info.fccType == vfw::streamtypeVIDEO;
    if (!video && stream.info.fccType != vfw::streamtypeAUDIO)
        return false;
    Track track;
    track.stream = streamIndex;
    track.video = video;
    const uint32_t scale = stream.info.dwScale;
    const uint32_t rate = stream.info.dwRate;
    const int64_t first = stream.info.dwStart;
    const uint32_t bytesPerSample = video ? 0 : sampleBytes(stream);
    int64_t samples = 0;
    uint32_t largest = 0;
    track.chunkStart.reserve(stream.chunks.size() + 1);
    for (const vfw::ChunkEntry& chunk : stream.chunks) {
        track.chunkStart.push_back(timeOfSample(first + samples, scale, rate));
        samples += bytesPerSample ? chunk.size / bytesPerSample : 1;
        largest = std::max(largest, std::min(chunk.size, kMaxChunk));
    }
    track.chunkStart.push_back(timeOfSample(first + samples, scale, rate));

    CMediaType type;
    const REFERENCE_TIME frameDuration = timeOfSample(1, scale, rate);
    if (video) {
        type = compressedVideoType(stream.format, frameDuration);
    } else {
        const auto format = parseWaveFormat(stream.format);
        if (!format)
            return false;
        type = audioMediaType(audioSubtypeOf(format->formatTag), *format);
        type.bFixedSizeSamples = bytesPerSample ? TRUE : FALSE;
        type.lSampleSize = bytesPerSample;
    }
    const LONG buffer = std::max<LONG>(static_cast<LONG>(largest), kMinBuffer);
    track.pin = std::make_unique<StockOutputPin>("AVI Splitter output", this, &lock_, pinName(streamIndex),
                                                 video ? kVideoBuffers : kAudioBuffers, buffer);
    track.pin->setTypes({type});
    duration_ = std::max(duration_, track.chunkStart.back());
    tracks_.push_back(std::move(track));
    return true;
}

HRESULT AviSplitterFilter::Load(LPCOLESTR fileName, const AM_MEDIA_TYPE*) {
    if (!fileName)
        return E_POINTER;
    const std::u16string_view wide = platform::com::wideView(fileName, kMaxNameUnits + 1);
    if (wide.empty() || wide.size() > kMaxNameUnits)
        return E_INVALIDARG;
    CAutoLock lock(&lock_);
    if (!IsStopped())
        return VFW_E_WRONG_STATE;
    for (const Track& track : tracks_)
        if (track.pin->IsConnected())
            return VFW_E_WRONG_STATE;
    clearFile();
    name_ = platform::com::bytesFromWide(wide);
    source_ = vfw::openFileSource(name_);
    if (!source_)
        return E_FAIL;
    vfw::ParsedFile parsed;
    if (vfw::parseAviFile(*source_, parsed) != vfw::AVIERR_OK) {
        clearFile();
        return VFW_E_INVALID_FILE_FORMAT;
    }
    streams_ = std::move(parsed.streams);
    for (size_t i = 0; i < streams_.size(); ++i)
        addTrack(i);
    if (tracks_.empty()) {
        clearFile();
        return VFW_E_INVALID_FILE_FORMAT;
    }
    stop_ = duration_;
    IncrementPinVersion();
    return S_OK;
}

HRESULT AviSplitterFilter::GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) {
    if (!fileName)
        return E_POINTER;
    CAutoLock lock(&lock_);
    *fileName = platform::com::taskMemWideCopy(platform::com::wideFromBytes(name_));
    if (type)
        *type = CMediaType(MEDIATYPE_Stream, MEDIASUBTYPE_Avi);
    return *fileName ? S_OK : E_OUTOFMEMORY;
}

HRESULT AviSplitterFilter::Pause() {
    CAutoLock lock(&lock_);
    const bool starting = state_ == State_Stopped;
    const bool fromRunning = state_ == State_Running;
    const HRESULT hr = CBaseFilter::Pause();
    if (FAILED(hr))
        return hr;
    if (starting) {
        ranBefore_ = 0;
        startStreaming();
    } else if (fromRunning) {
        ranBefore_ +=
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - runSince_)
                .count() /
            100;
    }
    return hr;
}

HRESULT AviSplitterFilter::Run(REFERENCE_TIME start) {
    CAutoLock lock(&lock_);
    const HRESULT hr = CBaseFilter::Run(start);
    if (SUCCEEDED(hr))
        runSince_ = std::chrono::steady_clock::now();
    return hr;
}

HRESULT AviSplitterFilter::Stop() {
    CAutoLock lock(&lock_);
    stopStreaming();
    return CBaseFilter::Stop();
}

void AviSplitterFilter::startStreaming() {
    stopRequested_ = false;
    const REFERENCE_TIME from = current_;
    const REFERENCE_TIME stop = stop_;
    for (Track& track : tracks_)
        if (track.pin->IsConnected())
            track.thread = std::thread([this, &track, from, stop] { streamLoop(track, from, stop); });
}

void AviSplitterFilter::stopStreaming() {
    stopRequested_ = true;
    bool any = false;
    for (Track& track : tracks_)
        if (track.thread.joinable()) {
            any = true;
            track.pin->DeliverBeginFlush();
        }
    if (!any)
        return;
    for (Track& track : tracks_)
        if (track.thread.joinable()) {
            track.thread.join();
            track.pin->DeliverEndFlush();
        }
}

void AviSplitterFilter::streamLoop(Track& track, REFERENCE_TIME from, REFERENCE_TIME stop) {
    const vfw::StreamData& stream = streams_[track.stream];
    track.pin->DeliverNewSegment(from, stop, 1.0);
    const size_t chunks = stream.chunks.size();
    // The first chunk that plays at or after from: for video the key frame there (seeking chose one),
    // for audio the chunk that holds the time.
    auto upper = std::upper_bound(track.chunkStart.begin(),
                                  track.chunkStart.begin() + static_cast<long>(chunks), from);
    size_t index =
        upper == track.chunkStart.begin() ? 0 : static_cast<size_t>(upper - track.chunkStart.begin()) - 1;
    if (track.video)
        while (index > 0 && !stream.chunks[index].key)
            --index;
    bool first = true;
    std::vector<uint8_t> buffer;
    for (; index < chunks && !stopRequested_; ++index) {
        const vfw::ChunkEntry& chunk = stream.chunks[index];
        if (track.chunkStart[index] >= stop)
            break;
        if (chunk.size == 0 || chunk.size > kMaxChunk)
            continue; // a dropped frame shows the previous one; a chunk that large is damaged
        buffer.resize(chunk.size);
        if (!source_->readAt(chunk.offset, buffer.data(), buffer.size()))
            break; // a file cut short plays up to where it ends
        const SampleTimes times{track.chunkStart[index], track.chunkStart[index + 1]};
        const HRESULT hr = track.pin->deliverBytes(buffer, times, first, !track.video || chunk.key);
        if (hr != S_OK) {
            if (!isQuietRefusal(hr) && !stopRequested_)
                NotifyEvent(EC_ERRORABORT, hr, 0);
            return;
        }
        first = false;
    }
    if (!stopRequested_)
        track.pin->DeliverEndOfStream();
}

} // namespace platform::dshow::filters
