#include "graph_test_filters.h"

#include "platform/com/wide_text.h"
#include "platform/dshow/guids.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <unistd.h>

namespace platform::dshow::graphtest {

namespace {

constexpr auto kPoll = std::chrono::milliseconds(2);

void fill(IMediaSample* sample, int index) {
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    for (LONG k = 0; k < kSampleBytes; ++k)
        data[k] = static_cast<BYTE>(index + k);
    sample->SetActualDataLength(kSampleBytes);
    REFERENCE_TIME start = index * kSampleDuration;
    REFERENCE_TIME end = start + kSampleDuration;
    sample->SetTime(&start, &end);
}

std::string readText(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string text;
    std::getline(in, text);
    return text;
}

} // namespace

HRESULT sizeTestBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) {
    props->cBuffers = std::max(props->cBuffers, kTestBuffers);
    props->cbBuffer = std::max(props->cbBuffer, kSampleBytes);
    ALLOCATOR_PROPERTIES actual;
    return allocator->SetProperties(props, &actual);
}

// ---- Log ----------------------------------------------------------------------------------------

OpLog& OpLog::instance() {
    static OpLog log;
    return log;
}

void OpLog::add(const std::string& filter, const std::string& op) {
    std::lock_guard lock(mutex_);
    ops_.push_back({filter, op, std::this_thread::get_id()});
}

std::vector<Op> OpLog::ops() {
    std::lock_guard lock(mutex_);
    return ops_;
}

std::vector<std::string> OpLog::filtersThat(const std::string& op) {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    for (const Op& entry : ops_)
        if (entry.op == op)
            names.push_back(entry.filter);
    return names;
}

void OpLog::clear() {
    std::lock_guard lock(mutex_);
    ops_.clear();
}

HRESULT LoggedFilter::Pause() {
    OpLog::instance().add(name_, "Pause");
    if (FAILED(pauseResult.load()))
        return pauseResult.load();
    return CBaseFilter::Pause();
}

HRESULT LoggedFilter::Run(REFERENCE_TIME start) {
    OpLog::instance().add(name_, "Run");
    return CBaseFilter::Run(start);
}

HRESULT LoggedFilter::Stop() {
    OpLog::instance().add(name_, "Stop");
    ++stops;
    return CBaseFilter::Stop();
}

int threadCount() {
    // A runtime may start a helper thread of its own with the process's first new thread (the thread
    // sanitizer does): one thread started and joined before the first count keeps it out of the
    // difference; it is waited out of the task list, where a joined thread can linger for a moment.
    static const bool warmedUp = [] {
        std::atomic<pid_t> tid{0};
        std::thread([&tid] { tid = ::gettid(); }).join();
        const std::filesystem::path task = "/proc/self/task/" + std::to_string(tid.load());
        while (std::filesystem::exists(task))
            std::this_thread::sleep_for(kPoll);
        return true;
    }();
    (void)warmedUp;
    // Unnamed threads carry the program's name; the toolkit names its own (its thread pool lingers
    // after use), and those are not the filters' or the graph's.
    const std::string program = readText("/proc/self/comm");
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        if (readText(entry.path() / "comm") == program)
            ++count;
    return count;
}

bool threadsBackTo(int before) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (threadCount() > before) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

// ---- Source -------------------------------------------------------------------------------------

class SourcePin final : public CBaseOutputPin {
public:
    SourcePin(CBaseFilter* filter, CCritSec* lock, GUID subtype)
        : CBaseOutputPin("source pin", filter, lock, nullptr, u"Out"), subtype_(subtype) {}
    HRESULT CheckMediaType(const CMediaType* type) override {
        return *type->Type() == MEDIATYPE_Audio && *type->Subtype() == subtype_ ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int position, CMediaType* type) override {
        if (position < 0)
            return E_INVALIDARG;
        if (position > 0)
            return VFW_S_NO_MORE_ITEMS;
        *type = CMediaType(MEDIATYPE_Audio, subtype_);
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override {
        return sizeTestBuffers(allocator, props);
    }

private:
    GUID subtype_;
};

TestSource::TestSource(std::string name, GUID subtype, int count)
    : LoggedFilter(std::move(name), &lock_), pin_(std::make_unique<SourcePin>(this, &lock_, subtype)),
      count_(count) {}

TestSource::~TestSource() {
    stopRequested_ = true;
    joinThread();
    pin_.reset();
}

HRESULT TestSource::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IMediaSeeking)
        return GetInterface(static_cast<IMediaSeeking*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

CBasePin* TestSource::GetPin(int n) {
    return n == 0 ? pin_.get() : nullptr;
}

IPin* TestSource::pin() {
    return pin_.get();
}

HRESULT TestSource::Pause() {
    const bool wasStopped = IsStopped();
    const HRESULT hr = LoggedFilter::Pause();
    if (SUCCEEDED(hr) && wasStopped && pin_->IsConnected())
        startThread(position_);
    return hr;
}

HRESULT TestSource::Stop() {
    stopRequested_ = true;
    const HRESULT hr = LoggedFilter::Stop(); // decommits: a thread waiting for a buffer wakes
    joinThread();
    position_ = 0;
    return hr;
}

void TestSource::startThread(int from) {
    joinThread();
    stopRequested_ = false;
    threadRunning_ = true;
    thread_ = std::thread([this, from] { push(from); });
}

void TestSource::joinThread() {
    if (thread_.joinable())
        thread_.join();
}

bool TestSource::waitingAtHold(int seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!waiting_ && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(kPoll);
    return waiting_;
}

void TestSource::push(int from) {
    for (;;) {
        bool failed = false;
        for (int i = from; count_ < 0 || i < count_; ++i) {
            if (holdAt_ == i) {
                waiting_ = true;
                while (held_ && !stopRequested_)
                    std::this_thread::sleep_for(kPoll);
                waiting_ = false;
                holdAt_ = -1;
            }
            if (stopRequested_)
                break;
            if (const int seek = seekTo_.exchange(-1); seek >= 0) {
                pin_->DeliverBeginFlush();
                pin_->DeliverEndFlush();
                i = seek;
                if (count_ >= 0 && i >= count_)
                    break;
            }
            if (failAt_ == i) {
                NotifyEvent(EC_ERRORABORT, E_FAIL, 0);
                failed = true;
                break;
            }
            ComPtr<IMediaSample> sample;
            if (FAILED(pin_->GetDeliveryBuffer(sample.put(), nullptr, nullptr, 0)))
                break;
            fill(sample.get(), i);
            if (pin_->Deliver(sample.get()) != S_OK)
                break;
            position_ = i + 1;
            if (count_ < 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (!stopRequested_ && !failed)
            pin_->DeliverEndOfStream();
        int seek = -1;
        {
            // A new position that came while the stream was ending starts it again from there.
            std::lock_guard lock(seekMutex_);
            seek = stopRequested_ || failed ? -1 : seekTo_.exchange(-1);
            if (seek < 0) {
                threadRunning_ = false;
                return;
            }
        }
        pin_->DeliverBeginFlush();
        pin_->DeliverEndFlush();
        from = seek;
    }
}

HRESULT TestSource::GetCapabilities(DWORD* capabilities) {
    *capabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards |
                    AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetDuration;
    return S_OK;
}
HRESULT TestSource::CheckCapabilities(DWORD* capabilities) {
    DWORD have = 0;
    GetCapabilities(&have);
    const DWORD asked = *capabilities;
    *capabilities &= have;
    return *capabilities == asked ? S_OK : (*capabilities ? S_FALSE : E_FAIL);
}
HRESULT TestSource::IsFormatSupported(const GUID* format) {
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}
HRESULT TestSource::QueryPreferredFormat(GUID* format) {
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}
HRESULT TestSource::GetTimeFormat(GUID* format) {
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}
HRESULT TestSource::IsUsingTimeFormat(const GUID* format) {
    return IsFormatSupported(format);
}
HRESULT TestSource::SetTimeFormat(const GUID* format) {
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}
HRESULT TestSource::GetDuration(LONGLONG* duration) {
    if (count_ < 0)
        return E_NOTIMPL;
    *duration = count_ * kSampleDuration;
    return S_OK;
}
HRESULT TestSource::GetStopPosition(LONGLONG* stop) {
    return GetDuration(stop);
}
HRESULT TestSource::GetCurrentPosition(LONGLONG* current) {
    *current = position_ * kSampleDuration;
    return S_OK;
}
HRESULT TestSource::ConvertTimeFormat(LONGLONG* target, const GUID*, LONGLONG source, const GUID*) {
    *target = source;
    return S_OK;
}
HRESULT TestSource::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG*, DWORD) {
    if (!current || (currentFlags & AM_SEEKING_PositioningBitsMask) != AM_SEEKING_AbsolutePositioning)
        return E_INVALIDARG;
    ++seeks;
    const int limit = count_ < 0 ? INT32_MAX : count_;
    const int to = static_cast<int>(std::clamp<LONGLONG>(*current / kSampleDuration, 0, limit));
    std::lock_guard lock(seekMutex_);
    if (IsStopped()) {
        position_ = to;
    } else if (threadRunning_) {
        seekTo_ = to;
    } else { // the stream had ended: flush and go again from the new position
        joinThread();
        pin_->DeliverBeginFlush();
        pin_->DeliverEndFlush();
        position_ = to;
        startThread(to);
    }
    return S_OK;
}
HRESULT TestSource::GetPositions(LONGLONG* current, LONGLONG* stop) {
    if (current)
        GetCurrentPosition(current);
    return stop ? GetStopPosition(stop) : S_OK;
}
HRESULT TestSource::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
    if (earliest)
        *earliest = 0;
    return latest ? GetDuration(latest) : S_OK;
}
HRESULT TestSource::SetRate(double rate) {
    return rate == 1.0 ? S_OK : E_INVALIDARG;
}
HRESULT TestSource::GetRate(double* rate) {
    *rate = 1.0;
    return S_OK;
}
HRESULT TestSource::GetPreroll(LONGLONG* preroll) {
    *preroll = 0;
    return S_OK;
}

// ---- File source --------------------------------------------------------------------------------

TestFileSource::TestFileSource() : TestSource("file source", kSubtypeA, 3) {}

HRESULT TestFileSource::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IFileSourceFilter)
        return GetInterface(static_cast<IFileSourceFilter*>(this), ppv);
    return TestSource::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT TestFileSource::Load(LPCOLESTR fileName, const AM_MEDIA_TYPE*) {
    if (!fileName)
        return E_POINTER;
    const std::string path = bytesFromWide(wideView(fileName));
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return E_FAIL;
    loaded = path;
    return S_OK;
}

HRESULT TestFileSource::GetCurFile(LPOLESTR*, AM_MEDIA_TYPE*) {
    return E_NOTIMPL;
}

CUnknown* TestFileSource::CreateInstance(IUnknown*, HRESULT*) {
    return new TestFileSource;
}

} // namespace platform::dshow::graphtest
