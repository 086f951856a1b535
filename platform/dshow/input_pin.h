#pragma once

// The push-mode input pin: offers a memory allocator, accepts the one the output pin chooses, and
// refuses samples while stopped or flushing. A derived pin's Receive calls this one's first.

#include "platform/dshow/base_pin.h"

#include <atomic>

namespace platform::dshow {

class CBaseInputPin : public CBasePin, public IMemInputPin {
public:
    CBaseInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* hr,
                  std::u16string_view pinName);
    ~CBaseInputPin() override;

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IMemInputPin
    HRESULT GetAllocator(IMemAllocator** allocator) override;
    HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
    // S_OK when the sample may be processed; S_FALSE while flushing; VFW_E_WRONG_STATE when stopped.
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) override;
    HRESULT ReceiveCanBlock() override { return S_OK; }

    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT BreakConnect() override;
    HRESULT Inactive() override;

    bool IsFlushing() const { return flushing_; }
    bool IsReadOnly() const { return readOnly_; }

protected:
    IMemAllocator* allocator_ = nullptr; // holds a reference
    std::atomic<bool> flushing_{false};
    bool readOnly_ = false;
};

} // namespace platform::dshow
