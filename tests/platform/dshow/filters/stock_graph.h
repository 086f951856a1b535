#pragma once

// Helpers of the stock filter tests: the filter modules loaded from the built program folder and
// registered, filters joined to a stand-in graph that records their events, pins found by position,
// and a chain of filters run and stopped as a graph would.

#include "platform/com/com_ptr.h"
#include "platform/dshow/filter_interfaces.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace kes::test {

using namespace platform::com;
using namespace platform::dshow;

// A graph reduced to what filters ask of it: it takes their events.
class EventGraph final : public IFilterGraph, public IMediaEventSink {
public:
    struct Event {
        LONG code;
        intptr_t param1;
    };

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return 1; } // lives on the test's stack
    ULONG Release() override { return 1; }

    HRESULT AddFilter(IBaseFilter*, LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
    HRESULT EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
    HRESULT FindFilterByName(LPCOLESTR, IBaseFilter**) override { return E_NOTIMPL; }
    HRESULT ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT Reconnect(IPin*) override { return E_NOTIMPL; }
    HRESULT Disconnect(IPin*) override { return E_NOTIMPL; }
    HRESULT SetDefaultSyncSource() override { return E_NOTIMPL; }

    HRESULT Notify(LONG code, intptr_t param1, intptr_t param2) override;

    // Waits for an event of that code; the window's messages are processed meanwhile.
    bool waitFor(LONG code, std::chrono::milliseconds timeout);
    std::vector<Event> events();
    bool saw(LONG code);

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Event> events_;
};

// Loads and registers _Quillon.ax, the parser, the decoder and the WAV writer from the built program
// folder, and registers the built-in filters. Once per test program.
void loadStockModules();
std::filesystem::path builtExtern();

ComPtr<IBaseFilter> createFilter(const CLSID& clsid);
// The n-th pin (from 0) of the filter's enumeration, or none.
ComPtr<IPin> pinAt(IBaseFilter* filter, int n);
std::vector<std::string> pinNames(IBaseFilter* filter);

// Filters from upstream to downstream, joined to one graph.
class FilterChain {
public:
    ~FilterChain();
    void add(const ComPtr<IBaseFilter>& filter);
    // Pause then Run, downstream first, as a graph does; the first failure.
    HRESULT run();
    // The orders a stop may come in. PullerFirst is the graph manager's: the filter that pulls from the
    // source (the second) first, then the rest downstream from it, the source last.
    enum class StopOrder { PullerFirst, Downstream, Upstream };
    HRESULT stop(StopOrder order = StopOrder::PullerFirst);
    EventGraph& graph() { return graph_; }

private:
    EventGraph graph_;
    std::vector<ComPtr<IBaseFilter>> filters_;
};

// Quillon loaded with a list file.
ComPtr<IBaseFilter> sourceFor(const std::filesystem::path& list);
// Little-endian 32-bit number of a WAV file's bytes.
uint32_t le32At(const std::string& bytes, size_t offset);
// A canonical 44-byte-header PCM WAV of the given rate with its sizes completed, which FFmpeg reads as
// 16-bit stereo PCM with every sample of the data chunk and the same samples.
void expectCanonicalWav(const std::string& bytes, uint32_t rate);
// The 16-bit samples after a canonical 44-byte header.
std::vector<int16_t> wavSamples(const std::string& bytes);
int maxDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b);
// Threads of this process now.
size_t threadCount();
// Waits until no more than `before` threads are left: a joined thread stays listed for a moment while
// the kernel finishes its exit, longer on a loaded machine or under a sanitizer.
bool threadsBackTo(size_t before);

} // namespace kes::test
