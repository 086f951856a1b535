#include "tests/platform/dshow/filters/stock_graph.h"

#include "platform/com/co_create.h"
#include "platform/com/inproc_server.h"
#include "platform/com/wide_text.h"
#include "platform/dshow/file_interfaces.h"
#include "platform/dshow/filters/stock_builtins.h"
#include "platform/dshow/guids.h"
#include "tests/support/lavf_media.h"
#include "tests/support/program_folder.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>

namespace kes::test {

namespace {
constexpr CLSID kQuillon = makeGuid("{53022B5B-F982-4886-B0B9-CF185F40332A}");
}

HRESULT EventGraph::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IFilterGraph)
        *ppv = static_cast<IFilterGraph*>(this);
    else if (riid == IID_IMediaEventSink)
        *ppv = static_cast<IMediaEventSink*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    return S_OK;
}

HRESULT EventGraph::Notify(LONG code, intptr_t param1, intptr_t) {
    {
        std::lock_guard lock(mutex_);
        events_.push_back({code, param1});
    }
    arrived_.notify_all();
    return S_OK;
}

bool EventGraph::waitFor(LONG code, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (saw(code))
            return true;
        if (std::chrono::steady_clock::now() >= until)
            return false;
        QCoreApplication::processEvents();
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, std::chrono::milliseconds(10));
    }
}

std::vector<EventGraph::Event> EventGraph::events() {
    std::lock_guard lock(mutex_);
    return events_;
}

bool EventGraph::saw(LONG code) {
    std::lock_guard lock(mutex_);
    return std::any_of(events_.begin(), events_.end(), [code](const Event& e) { return e.code == code; });
}

std::filesystem::path builtExtern() {
    return builtProgramDir() / "extern";
}

void loadStockModules() {
    static std::vector<std::shared_ptr<InprocServer>> servers;
    if (!servers.empty())
        return;
    for (const char* file :
         {"_Quillon.ax", "_Mpeg2Parser.ax", "Mpeg2splt.ax", "XmdAudioDecode.dll", "_wavdest.ax"}) {
        std::string error;
        auto server = InprocServer::load((builtExtern() / file).string(), &error);
        ASSERT_NE(server, nullptr) << error;
        ASSERT_EQ(server->registerServer(), S_OK) << file;
        servers.push_back(server);
    }
    platform::dshow::filters::registerStockBuiltins();
}

ComPtr<IBaseFilter> createFilter(const CLSID& clsid) {
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.putVoid()), S_OK)
        << guidToString(clsid);
    return filter;
}

ComPtr<IPin> pinAt(IBaseFilter* filter, int n) {
    ComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(pins.put())) || !pins)
        return {};
    if (n > 0 && pins->Skip(static_cast<ULONG>(n)) != S_OK)
        return {};
    IPin* pin = nullptr;
    ULONG fetched = 0;
    if (pins->Next(1, &pin, &fetched) != S_OK || fetched != 1)
        return {};
    return ComPtr<IPin>::adopt(pin);
}

std::vector<std::string> pinNames(IBaseFilter* filter) {
    std::vector<std::string> names;
    for (int n = 0;; ++n) {
        const auto pin = pinAt(filter, n);
        if (!pin)
            return names;
        PIN_INFO info;
        pin->QueryPinInfo(&info);
        if (info.pFilter)
            info.pFilter->Release();
        names.push_back(bytesFromWide(info.achName));
    }
}

FilterChain::~FilterChain() {
    stop();
    for (auto& filter : filters_) {
        for (int n = 0;; ++n) {
            auto pin = pinAt(filter.get(), n);
            if (!pin)
                break;
            pin->Disconnect();
        }
        filter->JoinFilterGraph(nullptr, nullptr);
    }
}

void FilterChain::add(const ComPtr<IBaseFilter>& filter) {
    ASSERT_TRUE(filter);
    filter->JoinFilterGraph(&graph_, u"filter");
    filters_.push_back(filter);
}

HRESULT FilterChain::run() {
    for (auto it = filters_.rbegin(); it != filters_.rend(); ++it)
        if (const HRESULT hr = (*it)->Pause(); FAILED(hr))
            return hr;
    for (auto it = filters_.rbegin(); it != filters_.rend(); ++it)
        if (const HRESULT hr = (*it)->Run(0); FAILED(hr))
            return hr;
    return S_OK;
}

HRESULT FilterChain::stop(StopOrder order) {
    HRESULT result = S_OK;
    const auto stopOne = [&](const ComPtr<IBaseFilter>& filter) {
        const HRESULT hr = filter->Stop();
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    };
    switch (order) {
    case StopOrder::Downstream:
        std::for_each(filters_.rbegin(), filters_.rend(), stopOne);
        break;
    case StopOrder::Upstream:
        std::for_each(filters_.begin(), filters_.end(), stopOne);
        break;
    case StopOrder::PullerFirst:
        if (!filters_.empty()) {
            std::for_each(filters_.begin() + 1, filters_.end(), stopOne);
            stopOne(filters_.front());
        }
        break;
    }
    return result;
}

ComPtr<IBaseFilter> sourceFor(const std::filesystem::path& list) {
    auto source = createFilter(kQuillon);
    ComPtr<IFileSourceFilter> file;
    EXPECT_EQ(source.as(IID_IFileSourceFilter, file), S_OK);
    if (file) {
        EXPECT_EQ(file->Load(wideFromBytes(list.string()).c_str(), nullptr), S_OK);
    }
    return source;
}

uint32_t le32At(const std::string& bytes, size_t offset) {
    uint32_t value = 0;
    if (offset + 4 <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

void expectCanonicalWav(const std::string& bytes, uint32_t rate) {
    ASSERT_GE(bytes.size(), 44u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32At(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(le32At(bytes, 24), rate);
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(le32At(bytes, 40), bytes.size() - 44);
    TempDir dir;
    writeBytes(dir.file("check.wav"), bytes);
    const LavfProbe probe = probeLavf(dir.file("check.wav"), true);
    ASSERT_EQ(probe.format, "wav");
    ASSERT_EQ(probe.streams.size(), 1u);
    const LavfStream& stream = probe.streams[0];
    EXPECT_EQ(stream.codec, "pcm_s16le");
    EXPECT_EQ(stream.sampleRate, static_cast<int>(rate));
    EXPECT_EQ(stream.channels, 2);
    const std::vector<int16_t> ours = wavSamples(bytes);
    ASSERT_EQ(stream.pcm.size(), ours.size());
    for (size_t i = 0; i < ours.size(); ++i)
        ASSERT_EQ(std::lround(stream.pcm[i] * 32768.0), ours[i]) << "sample " << i;
}

std::vector<int16_t> wavSamples(const std::string& bytes) {
    constexpr size_t kHeader = 44;
    if (bytes.size() < kHeader)
        return {};
    std::vector<int16_t> samples((bytes.size() - kHeader) / 2);
    std::memcpy(samples.data(), bytes.data() + kHeader, samples.size() * 2);
    return samples;
}

int maxDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    int worst = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

size_t threadCount() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

bool threadsBackTo(size_t before) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (threadCount() > before) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace kes::test
