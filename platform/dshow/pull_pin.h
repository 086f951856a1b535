#pragma once

// The pull side of a connection to a source's reader (IAsyncReader): a parser's input pin owns one.
// Connect asks the reader for an allocator; Active starts the pull thread, which reads the stream in
// buffers of the allocator's size through SyncReadAligned and hands each to Receive, then calls
// EndOfStream; Inactive stops and joins the thread before returning, so that no read is under way
// when the source stops and closes its files.

#include "platform/dshow/am_event.h"
#include "platform/dshow/sample_interfaces.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace platform::dshow {

class CPullPin {
public:
    CPullPin();
    virtual ~CPullPin();
    CPullPin(const CPullPin&) = delete;
    CPullPin& operator=(const CPullPin&) = delete;

    // pin: the source's output pin (asked for IAsyncReader). allocator: the one the puller would
    // like; props: the buffers wanted (alignment is the reader's choice).
    HRESULT Connect(IUnknown* pin, IMemAllocator* allocator, const ALLOCATOR_PROPERTIES& props);
    HRESULT Disconnect();
    HRESULT Active();
    HRESULT Inactive();
    // The byte range to pull (stop = -1: to the end of the stream).
    HRESULT Seek(LONGLONG start, LONGLONG stop);
    HRESULT Length(LONGLONG* total);
    IAsyncReader* GetReader() const { return reader_; }
    IMemAllocator* GetAllocator() const { return allocator_; }

protected:
    // On the pull thread. A failure (or S_FALSE) ends the pulling without EndOfStream.
    virtual HRESULT Receive(IMediaSample* sample) = 0;
    virtual HRESULT EndOfStream() = 0;
    virtual void OnError(HRESULT hr) = 0;

private:
    void Process();

    IAsyncReader* reader_ = nullptr;     // holds a reference
    IMemAllocator* allocator_ = nullptr; // holds a reference
    std::thread thread_;
    std::atomic<bool> stopRequested_{false};
    std::mutex rangeMutex_;
    LONGLONG start_ = 0;
    LONGLONG stop_ = -1;
};

} // namespace platform::dshow
