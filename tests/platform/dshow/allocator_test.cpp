#include "platform/com/com_ptr.h"
#include "platform/dshow/mem_allocator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>

namespace platform::dshow {
namespace {

struct Allocator {
    CMemAllocator* a = new CMemAllocator("test", nullptr);
    Allocator() { a->NonDelegatingAddRef(); }
    ~Allocator() { a->NonDelegatingRelease(); }
    Allocator(const Allocator&) = delete;
    Allocator& operator=(const Allocator&) = delete;
    CMemAllocator* operator->() const { return a; }
};

ALLOCATOR_PROPERTIES props(LONG buffers, LONG size, LONG align, LONG prefix = 0) {
    ALLOCATOR_PROPERTIES p;
    p.cBuffers = buffers;
    p.cbBuffer = size;
    p.cbAlign = align;
    p.cbPrefix = prefix;
    return p;
}

TEST(MemAllocator, BuffersAreAlignedAndRoundedUp) {
    Allocator alloc;
    ALLOCATOR_PROPERTIES wanted = props(3, 1000, 64, 8);
    ALLOCATOR_PROPERTIES actual;
    ASSERT_EQ(alloc->SetProperties(&wanted, &actual), S_OK);
    EXPECT_EQ((actual.cbBuffer + actual.cbPrefix) % 64, 0);
    EXPECT_GE(actual.cbBuffer, 1000);
    ASSERT_EQ(alloc->Commit(), S_OK);
    std::vector<ComPtr<IMediaSample>> samples(3);
    for (auto& s : samples) {
        ASSERT_EQ(alloc->GetBuffer(s.put(), nullptr, nullptr, 0), S_OK);
        BYTE* data = nullptr;
        s->GetPointer(&data);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % 64, 0u);
        EXPECT_EQ(s->GetSize(), actual.cbBuffer);
        EXPECT_EQ(s->SetActualDataLength(actual.cbBuffer + 1), VFW_E_BUFFER_OVERFLOW);
    }
    ComPtr<IMediaSample> extra;
    EXPECT_EQ(alloc->GetBuffer(extra.put(), nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
    // Properties cannot change while committed or while samples are out.
    EXPECT_EQ(alloc->SetProperties(&wanted, &actual), VFW_E_ALREADY_COMMITTED);
    alloc->Decommit();
    EXPECT_EQ(alloc->SetProperties(&wanted, &actual), VFW_E_BUFFERS_OUTSTANDING);
    samples.clear();
    EXPECT_EQ(alloc->SetProperties(&wanted, &actual), S_OK);
}

TEST(MemAllocator, RefusesBadPropertiesAndUncommittedUse) {
    Allocator alloc;
    ALLOCATOR_PROPERTIES actual;
    for (LONG align : {0, 3, -4}) {
        ALLOCATOR_PROPERTIES wanted = props(1, 10, align);
        EXPECT_EQ(alloc->SetProperties(&wanted, &actual), VFW_E_BADALIGN) << align;
    }
    EXPECT_EQ(alloc->Commit(), VFW_E_SIZENOTSET);
    ComPtr<IMediaSample> sample;
    EXPECT_EQ(alloc->GetBuffer(sample.put(), nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
}

TEST(MemAllocator, AWaitingGetBufferWakesWhenASampleReturnsOrOnDecommit) {
    Allocator alloc;
    ALLOCATOR_PROPERTIES wanted = props(1, 16, 1);
    ALLOCATOR_PROPERTIES actual;
    ASSERT_EQ(alloc->SetProperties(&wanted, &actual), S_OK);
    ASSERT_EQ(alloc->Commit(), S_OK);
    ComPtr<IMediaSample> first;
    ASSERT_EQ(alloc->GetBuffer(first.put(), nullptr, nullptr, 0), S_OK);
    REFERENCE_TIME start = 10, end = 20;
    first->SetTime(&start, &end);

    auto waiter = std::async(std::launch::async, [&] {
        ComPtr<IMediaSample> second;
        const HRESULT hr = alloc->GetBuffer(second.put(), nullptr, nullptr, 0);
        REFERENCE_TIME s = 0, e = 0;
        // A sample handed out again has lost its old times.
        const HRESULT timeResult = second ? second->GetTime(&s, &e) : E_FAIL;
        return std::make_pair(hr, timeResult);
    });
    EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    first.reset();
    const auto [hr, timeResult] = waiter.get();
    EXPECT_EQ(hr, S_OK);
    EXPECT_TRUE(FAILED(timeResult));

    ASSERT_EQ(alloc->GetBuffer(first.put(), nullptr, nullptr, 0), S_OK);
    auto blocked = std::async(std::launch::async, [&] {
        ComPtr<IMediaSample> s;
        return alloc->GetBuffer(s.put(), nullptr, nullptr, 0);
    });
    EXPECT_EQ(blocked.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    alloc->Decommit();
    EXPECT_EQ(blocked.get(), VFW_E_NOT_COMMITTED);
}

} // namespace
} // namespace platform::dshow
