#pragma once

// A sink filter written for the tests: one input pin that, once connected to a source's reader,
// pulls the whole stream on its own thread while the filter is active and keeps every byte.

#include "platform/dshow/base_filter.h"
#include "platform/dshow/base_pin.h"
#include "platform/dshow/pull_pin.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace quillon::test {

using namespace platform::dshow;

class PullSinkFilter;

class PullSinkPin final : public CBasePin {
public:
    PullSinkPin(PullSinkFilter* filter, CCritSec* lock, LONG bufferSize);
    ~PullSinkPin() override;

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT BreakConnect() override;
    HRESULT Active() override;
    HRESULT Inactive() override;
    HRESULT BeginFlush() override { return S_OK; }
    HRESULT EndFlush() override { return S_OK; }

private:
    class Puller final : public CPullPin {
    public:
        explicit Puller(PullSinkFilter& sink) : sink_(sink) {}
        ~Puller() override { Inactive(); }

    protected:
        HRESULT Receive(IMediaSample* sample) override;
        HRESULT EndOfStream() override;
        void OnError(HRESULT hr) override;

    private:
        PullSinkFilter& sink_;
    };

    Puller puller_;
    LONG bufferSize_;
};

class PullSinkFilter final : public CBaseFilter {
public:
    explicit PullSinkFilter(LONG bufferSize);
    ~PullSinkFilter() override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &pin_ : nullptr; }
    PullSinkPin* pin() { return &pin_; }

    // Waits (up to seconds) for the end of the stream or an error.
    bool waitForEnd(int seconds);
    std::string bytes();

    std::atomic<bool> ended{false};
    std::atomic<HRESULT> error{S_OK};
    std::atomic<int> receives{0};
    std::thread::id pullThread;

private:
    friend class PullSinkPin;
    void append(const BYTE* data, LONG length);

    CCritSec lock_;
    std::mutex bytesMutex_;
    std::string bytes_;
    PullSinkPin pin_;
};

} // namespace quillon::test
