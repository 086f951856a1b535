#pragma once

// Small filters for the base-class tests: an output pin that offers a list of types and pushes
// samples, and an input pin that accepts one subtype and records what it receives.

#include "platform/dshow/base_filter.h"
#include "platform/dshow/input_pin.h"
#include "platform/dshow/output_pin.h"

#include <memory>
#include <string>
#include <vector>

namespace platform::dshow::test {

class PushOutputPin final : public CBaseOutputPin {
public:
    PushOutputPin(CBaseFilter* filter, CCritSec* lock, std::vector<CMediaType> offered, GUID accepted)
        : CBaseOutputPin("test output", filter, lock, nullptr, u"Out"), offered_(std::move(offered)),
          accepted_(accepted) {}

    HRESULT CheckMediaType(const CMediaType* type) override {
        return accepted_ == GUID_NULL || *type->Subtype() == accepted_ ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int position, CMediaType* type) override {
        if (position < 0)
            return E_INVALIDARG;
        if (position >= static_cast<int>(offered_.size()))
            return VFW_S_NO_MORE_ITEMS;
        *type = offered_[static_cast<size_t>(position)];
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override {
        props->cBuffers = 2;
        props->cbBuffer = 100;
        ALLOCATOR_PROPERTIES actual;
        return allocator->SetProperties(props, &actual);
    }

private:
    std::vector<CMediaType> offered_;
    GUID accepted_;
};

class RecordingInputPin final : public CBaseInputPin {
public:
    RecordingInputPin(CBaseFilter* filter, CCritSec* lock, GUID accepted)
        : CBaseInputPin("test input", filter, lock, nullptr, u"In"), accepted_(accepted) {}

    HRESULT CheckMediaType(const CMediaType* type) override {
        return *type->Subtype() == accepted_ ? S_OK : S_FALSE;
    }
    HRESULT Receive(IMediaSample* sample) override {
        const HRESULT hr = CBaseInputPin::Receive(sample);
        if (hr != S_OK)
            return hr;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        received.append(reinterpret_cast<const char*>(data),
                        static_cast<size_t>(sample->GetActualDataLength()));
        return S_OK;
    }
    HRESULT EndOfStream() override {
        ++endOfStreams;
        return S_OK;
    }

    std::string received;
    int endOfStreams = 0;

private:
    GUID accepted_;
};

// A filter whose pins the test adds; it owns them.
class PinHolder final : public CBaseFilter {
public:
    PinHolder() : CBaseFilter("test filter", nullptr, &lock_, GUID_NULL) {}
    template <typename Pin, typename... Args>
    Pin* add(Args&&... args) {
        pins_.push_back(std::make_unique<Pin>(this, &lock_, std::forward<Args>(args)...));
        IncrementPinVersion();
        return static_cast<Pin*>(pins_.back().get());
    }
    int GetPinCount() override { return static_cast<int>(pins_.size()); }
    CBasePin* GetPin(int n) override {
        return n >= 0 && n < GetPinCount() ? pins_[static_cast<size_t>(n)].get() : nullptr;
    }
    ~PinHolder() override { pins_.clear(); }

private:
    CCritSec lock_;
    std::vector<std::unique_ptr<CBasePin>> pins_;
};

// Stack-held filters: a reference for the test's lifetime, never dropped to 0 by the test.
struct Holder {
    PinHolder* filter = new PinHolder;
    Holder() { filter->NonDelegatingAddRef(); }
    ~Holder() { filter->NonDelegatingRelease(); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    PinHolder* operator->() const { return filter; }
};

} // namespace platform::dshow::test
