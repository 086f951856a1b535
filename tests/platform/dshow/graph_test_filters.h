#pragma once

// Small filters for the graph manager's tests: a push source with its own thread, a transform, a
// renderer that counts samples and ends of stream, and a consumer that pulls from a reader. Every
// state change is written to one log with the thread it came on.

#include "platform/com/com_ptr.h"
#include "platform/dshow/base_filter.h"
#include "platform/dshow/file_interfaces.h"
#include "platform/dshow/graph_interfaces.h"
#include "platform/dshow/input_pin.h"
#include "platform/dshow/output_pin.h"
#include "platform/dshow/pull_pin.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform::dshow::graphtest {

inline constexpr GUID kSubtypeA = makeGuid("{02CB92B4-B848-4CC4-B1A3-45B99855C0D0}");
inline constexpr GUID kSubtypeB = makeGuid("{3AAB95F2-E7B7-4C6B-9A09-359E1FEB80D3}");
inline constexpr CLSID kTransformClass = makeGuid("{A63EB4EC-88D1-43F4-A900-9A9555C4B9E6}");
inline constexpr CLSID kRendererClass = makeGuid("{6F1C2D3E-4B5A-4978-8695-A4B3C2D1E0F9}");
inline constexpr CLSID kMissingClass = makeGuid("{11111111-2222-4333-8444-555555555555}");
inline constexpr REFERENCE_TIME kSampleDuration = UNITS / 10;
inline constexpr LONG kSampleBytes = 64;
inline constexpr LONG kTestBuffers = 2;

// Asks the allocator for kTestBuffers buffers of kSampleBytes at least.
HRESULT sizeTestBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props);

struct Op {
    std::string filter;
    std::string op;
    std::thread::id thread;
};

// The state changes of every test filter, in the order they happened.
class OpLog {
public:
    static OpLog& instance();
    void add(const std::string& filter, const std::string& op);
    std::vector<Op> ops();
    // The filters that did op, in order.
    std::vector<std::string> filtersThat(const std::string& op);
    void clear();

private:
    std::mutex mutex_;
    std::vector<Op> ops_;
};

// Makes a filter with one reference owned by the returned pointer.
template <typename Filter, typename... Args>
ComPtr<IBaseFilter> make(Filter** raw, Args&&... args) {
    auto* filter = new Filter(std::forward<Args>(args)...);
    if (raw)
        *raw = filter;
    return ComPtr<IBaseFilter>(static_cast<IBaseFilter*>(filter));
}

class LoggedFilter : public CBaseFilter {
public:
    LoggedFilter(std::string name, CCritSec* lock, const CLSID& clsid = GUID_NULL)
        : CBaseFilter(name.c_str(), nullptr, lock, clsid), name_(std::move(name)) {}
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT Stop() override;

    std::atomic<HRESULT> pauseResult{S_OK}; // a failure makes Pause fail
    std::atomic<int> stops{0};

protected:
    std::string name_;
};

class SourcePin;

// Pushes count samples of kSampleBytes (byte k of sample i holds i + k) on its own thread, started
// when paused, then ends the stream. count < 0: until stopped. Answers IMediaSeeking for its samples.
class TestSource : public LoggedFilter, public IMediaSeeking {
public:
    TestSource(std::string name, GUID subtype, int count);
    ~TestSource() override;

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;
    HRESULT Pause() override;
    HRESULT Stop() override;

    IPin* pin();
    // The thread waits before sample i until open() (or a stop).
    void holdBefore(int i) { holdAt_ = i; }
    void open() { held_ = false; }
    bool waitingAtHold(int seconds);
    // Sample i is not sent: EC_ERRORABORT with E_FAIL instead, and the thread ends.
    void failBefore(int i) { failAt_ = i; }
    bool threadRunning() const { return threadRunning_; }

    // IMediaSeeking: positions in sample durations.
    HRESULT GetCapabilities(DWORD* capabilities) override;
    HRESULT CheckCapabilities(DWORD* capabilities) override;
    HRESULT IsFormatSupported(const GUID* format) override;
    HRESULT QueryPreferredFormat(GUID* format) override;
    HRESULT GetTimeFormat(GUID* format) override;
    HRESULT IsUsingTimeFormat(const GUID* format) override;
    HRESULT SetTimeFormat(const GUID* format) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetStopPosition(LONGLONG* stop) override;
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                              const GUID* sourceFormat) override;
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;
    HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
    HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
    HRESULT SetRate(double rate) override;
    HRESULT GetRate(double* rate) override;
    HRESULT GetPreroll(LONGLONG* preroll) override;

    std::atomic<int> seeks{0};

private:
    void startThread(int from);
    void joinThread();
    void push(int from);

    CCritSec lock_;
    std::unique_ptr<SourcePin> pin_;
    int count_;
    std::thread thread_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> threadRunning_{false};
    std::atomic<int> holdAt_{-1};
    std::atomic<bool> held_{true};
    std::atomic<bool> waiting_{false};
    std::atomic<int> failAt_{-1};
    std::atomic<int> position_{0};
    std::atomic<int> seekTo_{-1};
    std::mutex seekMutex_; // a new position against the end of the thread
};

// A TestSource that opens a file through IFileSourceFilter, for RenderFile: Load fails for a file that
// does not exist.
class TestFileSource final : public TestSource, public IFileSourceFilter {
public:
    TestFileSource();
    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    HRESULT Load(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) override;
    HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) override;
    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

    std::string loaded;
};

class RendererPin;

// Counts what it receives; at the end of the stream it sends EC_COMPLETE.
class TestRenderer final : public LoggedFilter {
public:
    TestRenderer(std::string name, GUID accepted);
    ~TestRenderer() override;
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;
    IPin* pin();

    std::atomic<int> samples{0};
    std::atomic<int> endOfStreams{0};
    std::atomic<int> flushes{0};
    std::atomic<int> firstByteOfLast{-1};
    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

private:
    CCritSec lock_;
    std::unique_ptr<RendererPin> pin_;
};

class TransformInputPin;
class TransformOutputPin;

// Takes kSubtypeA and gives the same bytes as kSubtypeB.
class TestTransform final : public LoggedFilter {
public:
    explicit TestTransform(std::string name);
    ~TestTransform() override;
    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override;
    IPin* input();
    IPin* output();
    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

private:
    friend class TransformInputPin;
    CCritSec lock_;
    std::unique_ptr<TransformInputPin> in_;
    std::unique_ptr<TransformOutputPin> out_;
};

class PullInputPin;

// Pulls the whole stream of the reader it is connected to, keeping the byte count, and sends
// EC_COMPLETE at its end (EC_ERRORABORT on a read failure). When stopped it notes whether its reader's
// filter still showed its pins, that is, had not stopped yet.
class PullConsumer final : public LoggedFilter {
public:
    PullConsumer(std::string name, LONG bufferSize);
    ~PullConsumer() override;
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;
    IPin* pin();
    HRESULT Stop() override;

    std::atomic<long long> bytes{0};
    std::atomic<bool> ended{false};
    std::atomic<HRESULT> error{S_OK};
    std::atomic<int> readerPinsAtStop{-1};
    std::atomic<int> receiveDelayMs{0};
    std::atomic<bool> pullThreadSeen{false};
    std::thread::id pullThread;

private:
    CCritSec lock_;
    std::unique_ptr<PullInputPin> pin_;
};

// Registers the transform and the renderer as built-in classes and in the filter registration
// (merits as given), and removes them again on destruction.
class RegisteredTestFilters {
public:
    explicit RegisteredTestFilters(DWORD transformMerit = MERIT_NORMAL, DWORD rendererMerit = MERIT_NORMAL);
    ~RegisteredTestFilters();
    RegisteredTestFilters(const RegisteredTestFilters&) = delete;
    RegisteredTestFilters& operator=(const RegisteredTestFilters&) = delete;
};

// CLSID_WavFileSource made a built-in class (TestFileSource) for the object's lifetime.
class RegisteredWavSource {
public:
    RegisteredWavSource();
    ~RegisteredWavSource();
    RegisteredWavSource(const RegisteredWavSource&) = delete;
    RegisteredWavSource& operator=(const RegisteredWavSource&) = delete;
};

// Threads of this process, other than those the toolkit names as its own.
int threadCount();
// Waits until no more than `before` threads are left: a joined thread stays listed for a moment while
// the kernel finishes its exit, longer on a loaded machine or under a sanitizer.
bool threadsBackTo(int before);

} // namespace platform::dshow::graphtest
