#include "platform/dshow/filters/parser_filter.h"

#include "platform/com/wide_text.h"
#include "platform/dshow/filters/media_types.h"
#include "platform/dshow/filters/stock_guids.h"
#include "platform/dshow/guids.h"
#include "platform/dshow/mem_allocator.h"

#include <algorithm>
#include <new>

namespace platform::dshow::filters {

namespace {

constexpr char kFilterObjectName[] = "MPEG-2 program stream parser";
constexpr char kOutputObjectName[] = "MPEG-2 parser output";
// One read of the source fills the parser's whole look-ahead window.
constexpr LONG kReadBufferSize = static_cast<LONG>(SourceWindow::kCapacity);
constexpr LONG kOutputBuffers = 8;
constexpr LONG kOutputBufferSize = 64 * 1024;
constexpr int64_t kPtsClock = 90'000; // time stamps count 90 kHz ticks

template <typename T>
HRESULT putOut(T* target, T value) {
    if (!target)
        return E_POINTER;
    *target = value;
    return S_OK;
}

} // namespace

ParserInputPin::ParserInputPin(ParserFilter* filter, CCritSec* lock)
    : CBasePin("MPEG-2 parser input", filter, lock, nullptr, u"Input", PINDIR_INPUT), parser_(filter) {}

HRESULT ParserInputPin::CheckMediaType(const CMediaType* type) {
    if (!type)
        return E_POINTER;
    const GUID& sub = *type->Subtype();
    const bool program =
        sub == MEDIASUBTYPE_MPEG2_PROGRAM || sub == MEDIASUBTYPE_MPEG1System || sub == GUID_NULL;
    return *type->Type() == MEDIATYPE_Stream && program ? S_OK : S_FALSE;
}

HRESULT ParserInputPin::CompleteConnect(IPin* receivePin) {
    return parser_->connectInput(receivePin);
}

HRESULT ParserInputPin::BreakConnect() {
    parser_->disconnectInput();
    return S_OK;
}

ParserFilter::ParserFilter(IUnknown* outer, REFCLSID clsid)
    : CBaseFilter(kFilterObjectName, outer, &lock_, clsid), input_(this, &lock_) {}

ParserFilter::~ParserFilter() {
    stopStreaming();
}

CUnknown* ParserFilter::CreateParser(IUnknown* outer, HRESULT* hr) {
    auto* filter = new (std::nothrow) ParserFilter(outer, CLSID_Mpeg2Parser);
    if (!filter && hr)
        *hr = E_OUTOFMEMORY;
    return filter;
}

CUnknown* ParserFilter::CreateSplitter(IUnknown* outer, HRESULT* hr) {
    auto* filter = new (std::nothrow) ParserFilter(outer, CLSID_Mpeg2Splitter);
    if (!filter && hr)
        *hr = E_OUTOFMEMORY;
    return filter;
}

HRESULT ParserFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IMediaSeeking)
        return GetInterface(static_cast<IMediaSeeking*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

int ParserFilter::GetPinCount() {
    CAutoLock lock(&lock_);
    return 1 + static_cast<int>(outputs_.size());
}

CBasePin* ParserFilter::GetPin(int n) {
    CAutoLock lock(&lock_);
    if (n == 0)
        return &input_;
    if (n < 0 || static_cast<size_t>(n) > outputs_.size())
        return nullptr;
    return outputs_[static_cast<size_t>(n - 1)].get();
}

HRESULT ParserFilter::connectInput(IPin* sourcePin) {
    disconnectInput();
    platform::com::ComPtr<IAsyncReader> reader;
    if (FAILED(sourcePin->QueryInterface(IID_IAsyncReader, reader.putVoid())) || !reader)
        return E_NOINTERFACE;
    auto* created = new CMemAllocator("MPEG-2 parser read allocator", nullptr);
    created->NonDelegatingAddRef();
    auto preferred = platform::com::ComPtr<IMemAllocator>::adopt(created);
    ALLOCATOR_PROPERTIES props;
    props.cBuffers = 1;
    props.cbBuffer = kReadBufferSize;
    props.cbAlign = 1;
    platform::com::ComPtr<IMemAllocator> allocator;
    if (FAILED(reader->RequestAllocator(preferred.get(), &props, allocator.put())) || !allocator)
        return VFW_E_NO_ALLOCATOR;
    if (FAILED(allocator->Commit()))
        return VFW_E_NO_ALLOCATOR;

    auto source = std::make_unique<AsyncReaderSource>(reader.get(), allocator.get());
    auto parser = std::make_unique<ProgramStreamParser>(*source);
    const bool found = parser->open();
    std::optional<int64_t> duration;
    if (found)
        duration = parser->durationPts();
    allocator->Decommit();
    if (!found)
        return VFW_E_TYPE_NOT_ACCEPTED;

    for (const ParserOutput& output : parser->outputs()) {
        auto pin = std::make_unique<StockOutputPin>(kOutputObjectName, this, &lock_,
                                                    platform::com::wideFromBytes(output.name), kOutputBuffers,
                                                    kOutputBufferSize);
        pin->setTypes({parserOutputType(output)});
        outputs_.push_back(std::move(pin));
    }
    basePts_ = streamOrigin(parser->outputs());
    // A start before time 0 reaches back to the earliest stamp of any stream (sound that begins before
    // the first picture).
    earliestTime_ = 0;
    for (const ParserOutput& output : parser->outputs())
        if (output.firstPts)
            earliestTime_ = std::min(earliestTime_, timeOf(*output.firstPts));
    reader_ = std::move(reader);
    readAllocator_ = std::move(allocator);
    source_ = std::move(source);
    parser_ = std::move(parser);
    durationPts_ = duration;
    seekTarget_.reset();
    startTime_ = 0;
    position_ = 0;
    IncrementPinVersion();
    return S_OK;
}

void ParserFilter::disconnectInput() {
    stopStreaming();
    for (auto& pin : outputs_) {
        if (IPin* other = pin->GetConnected()) {
            other->Disconnect();
            pin->Disconnect();
        }
        retired_.push_back(std::move(pin));
    }
    const bool hadOutputs = !outputs_.empty();
    outputs_.clear();
    parser_.reset();
    source_.reset();
    readAllocator_.reset();
    reader_.reset();
    durationPts_.reset();
    if (hadOutputs)
        IncrementPinVersion();
}

HRESULT ParserFilter::Pause() {
    CAutoLock lock(&lock_);
    const bool starting = state_ == State_Stopped;
    const HRESULT hr = CBaseFilter::Pause();
    if (SUCCEEDED(hr) && starting && parser_)
        startStreaming();
    return hr;
}

HRESULT ParserFilter::Stop() {
    CAutoLock lock(&lock_);
    stopStreaming();
    const HRESULT hr = CBaseFilter::Stop();
    if (readAllocator_)
        readAllocator_->Decommit();
    // The next run starts from the beginning again.
    seekTarget_.reset();
    startTime_ = 0;
    return hr;
}

void ParserFilter::startStreaming() {
    if (thread_.joinable() || !parser_ || !readAllocator_ || FAILED(readAllocator_->Commit()))
        return;
    // A start at or before time 0 reads from the beginning; the segment's start still says where
    // the caller's time begins.
    if (!seekTarget_ || *seekTarget_ <= 0 || !parser_->seekTime(ptsOf(*seekTarget_), seekReference()))
        parser_->seek(seekTarget_ ? offsetOfTime(*seekTarget_) : 0);
    position_ = startTime_;
    for (auto& pin : outputs_)
        if (pin->IsConnected())
            pin->DeliverNewSegment(startTime_, durationPts_ ? timeOf(basePts_ + *durationPts_) : startTime_,
                                   1.0);
    stopRequested_ = false;
    thread_ = std::thread([this] { streamLoop(); });
}

void ParserFilter::stopStreaming() {
    if (!thread_.joinable())
        return;
    stopRequested_ = true;
    for (auto& pin : outputs_)
        if (pin->IsConnected())
            pin->DeliverBeginFlush();
    thread_.join();
    for (auto& pin : outputs_)
        if (pin->IsConnected())
            pin->DeliverEndFlush();
}

REFERENCE_TIME ParserFilter::timeOf(int64_t pts) const {
    return (pts - basePts_) * UNITS / kPtsClock;
}

int64_t ParserFilter::ptsOf(REFERENCE_TIME time) const {
    // Time stamps have 33 bits: a later time stands for the end.
    constexpr REFERENCE_TIME kLatest = (int64_t{1} << 33) * UNITS / kPtsClock;
    return basePts_ + std::clamp<REFERENCE_TIME>(time, 0, kLatest) * kPtsClock / UNITS;
}

void ParserFilter::streamLoop() {
    std::vector<bool> open(outputs_.size());
    for (size_t i = 0; i < outputs_.size(); ++i)
        open[i] = outputs_[i]->IsConnected();
    ParsedPacket packet;
    while (!stopRequested_ && std::find(open.begin(), open.end(), true) != open.end()) {
        const ParseStatus status = parser_->next(packet);
        if (status == ParseStatus::Pending)
            continue;
        if (status == ParseStatus::EndOfStream)
            break;
        if (status == ParseStatus::Error) {
            NotifyEvent(EC_ERRORABORT, VFW_E_RUNTIME_ERROR, 0);
            break;
        }
        deliverPacket(packet, open);
    }
    if (stopRequested_)
        return;
    // The end of the stream goes out on every connected output, even one whose downstream failed, so
    // that every renderer completes.
    for (auto& pin : outputs_)
        if (pin->IsConnected())
            pin->DeliverEndOfStream();
}

void ParserFilter::deliverPacket(const ParsedPacket& packet, std::vector<bool>& open) {
    if (packet.output >= outputs_.size() || !open[packet.output])
        return;
    std::optional<SampleTimes> times;
    if (packet.pts) {
        const REFERENCE_TIME start = timeOf(*packet.pts);
        times = SampleTimes{start, start + 1};
        position_ = start;
    }
    const HRESULT hr = outputs_[packet.output]->deliverBytes(packet.payload, times, packet.discontinuity);
    if (hr == S_OK)
        return;
    open[packet.output] = false;
    if (!isQuietRefusal(hr) && !stopRequested_)
        NotifyEvent(EC_ERRORABORT, hr, 0);
}

size_t ParserFilter::seekReference() const {
    // The stream being taken out decides where a seek lands: the first connected audio output, else
    // the first connected output, else the first audio output.
    const auto connected = [&](size_t i) { return outputs_[i]->IsConnected(); };
    for (size_t i = 1; i < outputs_.size(); ++i)
        if (connected(i))
            return i;
    if (!outputs_.empty() && connected(0))
        return 0;
    return outputs_.size() > 1 ? 1 : 0;
}

int64_t ParserFilter::offsetOfTime(REFERENCE_TIME time) {
    const auto length = parser_ ? parser_->length() : std::nullopt;
    if (!length || !durationPts_ || *durationPts_ <= 0 || time <= 0)
        return 0;
    const REFERENCE_TIME duration = *durationPts_ * UNITS / kPtsClock;
    if (time >= duration)
        return *length;
    return static_cast<int64_t>(static_cast<long double>(*length) * time / duration);
}

HRESULT ParserFilter::GetCapabilities(DWORD* capabilities) {
    return putOut<DWORD>(capabilities, AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards |
                                           AM_SEEKING_CanSeekBackwards | AM_SEEKING_CanGetCurrentPos |
                                           AM_SEEKING_CanGetDuration);
}

HRESULT ParserFilter::CheckCapabilities(DWORD* capabilities) {
    if (!capabilities)
        return E_POINTER;
    DWORD mine = 0;
    GetCapabilities(&mine);
    const DWORD asked = *capabilities;
    *capabilities &= mine;
    return *capabilities == asked ? S_OK : (*capabilities ? S_FALSE : E_FAIL);
}

HRESULT ParserFilter::IsFormatSupported(const GUID* format) {
    if (!format)
        return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT ParserFilter::QueryPreferredFormat(GUID* format) {
    return putOut(format, TIME_FORMAT_MEDIA_TIME);
}
HRESULT ParserFilter::GetTimeFormat(GUID* format) {
    return putOut(format, TIME_FORMAT_MEDIA_TIME);
}
HRESULT ParserFilter::IsUsingTimeFormat(const GUID* format) {
    return IsFormatSupported(format);
}
HRESULT ParserFilter::SetTimeFormat(const GUID* format) {
    if (!format)
        return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

HRESULT ParserFilter::GetDuration(LONGLONG* duration) {
    if (!duration)
        return E_POINTER;
    CAutoLock lock(&lock_);
    if (!durationPts_)
        return E_NOTIMPL;
    *duration = *durationPts_ * UNITS / kPtsClock;
    return S_OK;
}

HRESULT ParserFilter::GetStopPosition(LONGLONG* stop) {
    return GetDuration(stop);
}

HRESULT ParserFilter::GetCurrentPosition(LONGLONG* current) {
    return putOut<LONGLONG>(current, std::max<REFERENCE_TIME>(position_.load(), 0));
}

HRESULT ParserFilter::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                        const GUID* sourceFormat) {
    const bool media = (!targetFormat || *targetFormat == TIME_FORMAT_MEDIA_TIME) &&
                       (!sourceFormat || *sourceFormat == TIME_FORMAT_MEDIA_TIME);
    return media ? putOut<LONGLONG>(target, source) : E_INVALIDARG;
}

HRESULT ParserFilter::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD) {
    const DWORD positioning = currentFlags & AM_SEEKING_PositioningBitsMask;
    if (positioning == AM_SEEKING_NoPositioning)
        return S_OK;
    if (!current)
        return E_POINTER;
    CAutoLock lock(&lock_);
    if (!parser_)
        return VFW_E_NOT_CONNECTED;
    REFERENCE_TIME wanted = *current;
    if (positioning == AM_SEEKING_RelativePositioning)
        wanted += position_.load();
    wanted = std::max<REFERENCE_TIME>(wanted, earliestTime_);
    const bool streaming = thread_.joinable();
    stopStreaming();
    seekTarget_ = wanted;
    startTime_ = wanted;
    position_ = wanted;
    if (streaming)
        startStreaming();
    if (stop)
        GetDuration(stop);
    return S_OK;
}

HRESULT ParserFilter::GetPositions(LONGLONG* current, LONGLONG* stop) {
    if (current)
        GetCurrentPosition(current);
    if (stop && FAILED(GetDuration(stop)))
        *stop = 0;
    return S_OK;
}

HRESULT ParserFilter::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
    if (earliest)
        *earliest = 0;
    if (latest && FAILED(GetDuration(latest)))
        *latest = 0;
    return S_OK;
}

HRESULT ParserFilter::SetRate(double rate) {
    return rate == 1.0 ? S_OK : E_INVALIDARG;
}
HRESULT ParserFilter::GetRate(double* rate) {
    return putOut(rate, 1.0);
}
HRESULT ParserFilter::GetPreroll(LONGLONG* preroll) {
    return putOut<LONGLONG>(preroll, 0);
}

} // namespace platform::dshow::filters
