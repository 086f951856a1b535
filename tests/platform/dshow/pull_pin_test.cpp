#include "platform/com/cunknown.h"
#include "platform/dshow/guids.h"
#include "platform/dshow/pull_pin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace platform::dshow {
namespace {

// A reader over bytes in memory, as a source pin's IAsyncReader would serve them.
class MemoryReader final : public CUnknown, public IAsyncReader {
public:
    explicit MemoryReader(std::string bytes) : CUnknown("memory reader", nullptr), bytes_(std::move(bytes)) {}
    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IAsyncReader)
            return GetInterface(static_cast<IAsyncReader*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    HRESULT RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* props,
                             IMemAllocator** actual) override {
        ALLOCATOR_PROPERTIES agreed;
        if (FAILED(preferred->SetProperties(props, &agreed)))
            return E_FAIL;
        preferred->AddRef();
        *actual = preferred;
        return S_OK;
    }
    HRESULT Request(IMediaSample*, uintptr_t) override { return E_NOTIMPL; }
    HRESULT WaitForNext(DWORD, IMediaSample**, uintptr_t*) override { return E_NOTIMPL; }
    HRESULT SyncReadAligned(IMediaSample* sample) override {
        if (failAt >= 0 && reads.load() == failAt)
            return E_FAIL;
        ++reads;
        REFERENCE_TIME start = 0, end = 0;
        sample->GetTime(&start, &end);
        const size_t from = static_cast<size_t>(start / UNITS);
        const size_t length = std::min(static_cast<size_t>((end - start) / UNITS), bytes_.size() - from);
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        std::memcpy(data, bytes_.data() + from, length);
        sample->SetActualDataLength(static_cast<LONG>(length));
        return S_OK;
    }
    HRESULT SyncRead(LONGLONG, LONG, BYTE*) override { return E_NOTIMPL; }
    HRESULT Length(LONGLONG* total, LONGLONG* available) override {
        if (total)
            *total = static_cast<LONGLONG>(bytes_.size());
        if (available)
            *available = static_cast<LONGLONG>(bytes_.size());
        return S_OK;
    }
    HRESULT BeginFlush() override { return S_OK; }
    HRESULT EndFlush() override { return S_OK; }

    std::atomic<int> reads{0};
    int failAt = -1;

private:
    std::string bytes_;
};

class Collector final : public CPullPin {
public:
    ~Collector() override { Inactive(); }
    std::string bytes;
    std::atomic<bool> ended{false};
    std::atomic<HRESULT> error{S_OK};
    std::chrono::milliseconds delay{0};
    std::thread::id readerThread;

protected:
    HRESULT Receive(IMediaSample* sample) override {
        readerThread = std::this_thread::get_id();
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        bytes.append(reinterpret_cast<const char*>(data), static_cast<size_t>(sample->GetActualDataLength()));
        std::this_thread::sleep_for(delay);
        return S_OK;
    }
    HRESULT EndOfStream() override {
        ended = true;
        return S_OK;
    }
    void OnError(HRESULT hr) override { error = hr; }
};

struct Reader {
    MemoryReader* r;
    explicit Reader(std::string bytes) : r(new MemoryReader(std::move(bytes))) { r->NonDelegatingAddRef(); }
    ~Reader() { r->NonDelegatingRelease(); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
};

std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(i * 7 + i / 251);
    return s;
}

bool waitFor(const std::atomic<bool>& flag) {
    for (int i = 0; i < 500 && !flag; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return flag;
}

ALLOCATOR_PROPERTIES buffers(LONG count, LONG size) {
    ALLOCATOR_PROPERTIES p;
    p.cBuffers = count;
    p.cbBuffer = size;
    p.cbAlign = 1;
    return p;
}

TEST(PullPin, PullsTheWholeStreamOnItsOwnThread) {
    const std::string data = pattern(10000);
    Reader reader(data);
    Collector puller;
    ASSERT_EQ(puller.Connect(static_cast<IAsyncReader*>(reader.r), nullptr, buffers(2, 333)), S_OK);
    ASSERT_EQ(puller.Active(), S_OK);
    ASSERT_TRUE(waitFor(puller.ended));
    EXPECT_EQ(puller.Inactive(), S_OK);
    EXPECT_EQ(puller.bytes, data);
    EXPECT_NE(puller.readerThread, std::this_thread::get_id());
    EXPECT_EQ(puller.error.load(), S_OK);
    EXPECT_EQ(reader.r->reads.load(), (10000 + 332) / 333);

    // A range, after a restart.
    puller.bytes.clear();
    puller.ended = false;
    ASSERT_EQ(puller.Seek(100, 250), S_OK);
    ASSERT_EQ(puller.Active(), S_OK);
    ASSERT_TRUE(waitFor(puller.ended));
    puller.Inactive();
    EXPECT_EQ(puller.bytes, data.substr(100, 150));
}

TEST(PullPin, InactiveStopsAPullInMidStream) {
    Reader reader(pattern(1 << 20));
    Collector puller;
    puller.delay = std::chrono::milliseconds(5);
    ASSERT_EQ(puller.Connect(static_cast<IAsyncReader*>(reader.r), nullptr, buffers(2, 1024)), S_OK);
    ASSERT_EQ(puller.Active(), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_EQ(puller.Inactive(), S_OK);
    const int readsAtStop = reader.r->reads.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(reader.r->reads.load(), readsAtStop); // nothing reads once Inactive returned
    EXPECT_FALSE(puller.ended);
    EXPECT_EQ(puller.Disconnect(), S_OK);
}

TEST(PullPin, AReadFailureEndsThePullWithAnError) {
    Reader reader(pattern(5000));
    reader.r->failAt = 2;
    Collector puller;
    ASSERT_EQ(puller.Connect(static_cast<IAsyncReader*>(reader.r), nullptr, buffers(1, 1000)), S_OK);
    ASSERT_EQ(puller.Active(), S_OK);
    for (int i = 0; i < 500 && puller.error.load() == S_OK; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    puller.Inactive();
    EXPECT_EQ(puller.error.load(), E_FAIL);
    EXPECT_EQ(puller.bytes.size(), 2000u);
    EXPECT_FALSE(puller.ended);
}

} // namespace
} // namespace platform::dshow
