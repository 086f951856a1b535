#include "graph_test_filters.h"

#include "platform/com/class_factory.h"
#include "platform/com/co_create.h"
#include "platform/dshow/filter_registration.h"
#include "platform/dshow/graph_topology.h"
#include "platform/dshow/guids.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace platform::dshow::graphtest {

// ---- Renderer -----------------------------------------------------------------------------------

class RendererPin final : public CBaseInputPin {
public:
    RendererPin(TestRenderer* filter, CCritSec* lock, GUID accepted)
        : CBaseInputPin("renderer pin", filter, lock, nullptr, u"In"), owner_(filter), accepted_(accepted) {}
    HRESULT CheckMediaType(const CMediaType* type) override {
        return *type->Type() == MEDIATYPE_Audio && *type->Subtype() == accepted_ ? S_OK : S_FALSE;
    }
    HRESULT Receive(IMediaSample* sample) override {
        const HRESULT hr = CBaseInputPin::Receive(sample);
        if (hr != S_OK)
            return hr;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        owner_->firstByteOfLast = data[0];
        ++owner_->samples;
        return S_OK;
    }
    HRESULT EndOfStream() override {
        ++owner_->endOfStreams;
        return owner_->NotifyEvent(EC_COMPLETE, S_OK, 0);
    }
    HRESULT BeginFlush() override {
        ++owner_->flushes;
        return CBaseInputPin::BeginFlush();
    }

private:
    TestRenderer* owner_;
    GUID accepted_;
};

TestRenderer::TestRenderer(std::string name, GUID accepted)
    : LoggedFilter(std::move(name), &lock_, kRendererClass),
      pin_(std::make_unique<RendererPin>(this, &lock_, accepted)) {}

TestRenderer::~TestRenderer() = default;

CBasePin* TestRenderer::GetPin(int n) {
    return n == 0 ? pin_.get() : nullptr;
}

IPin* TestRenderer::pin() {
    return pin_.get();
}

CUnknown* TestRenderer::CreateInstance(IUnknown*, HRESULT*) {
    return new TestRenderer("registered renderer", kSubtypeB);
}

// ---- Transform ----------------------------------------------------------------------------------

class TransformOutputPin final : public CBaseOutputPin {
public:
    TransformOutputPin(CBaseFilter* filter, CCritSec* lock)
        : CBaseOutputPin("transform output", filter, lock, nullptr, u"Out") {}
    HRESULT CheckMediaType(const CMediaType* type) override {
        return *type->Subtype() == kSubtypeB ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int position, CMediaType* type) override {
        if (position < 0)
            return E_INVALIDARG;
        if (position > 0)
            return VFW_S_NO_MORE_ITEMS;
        *type = CMediaType(MEDIATYPE_Audio, kSubtypeB);
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override {
        return sizeTestBuffers(allocator, props);
    }
};

class TransformInputPin final : public CBaseInputPin {
public:
    TransformInputPin(TestTransform* filter, CCritSec* lock)
        : CBaseInputPin("transform input", filter, lock, nullptr, u"In"), owner_(filter) {}
    HRESULT CheckMediaType(const CMediaType* type) override {
        return *type->Subtype() == kSubtypeA ? S_OK : S_FALSE;
    }
    HRESULT Receive(IMediaSample* sample) override {
        HRESULT hr = CBaseInputPin::Receive(sample);
        if (hr != S_OK)
            return hr;
        ComPtr<IMediaSample> copy;
        hr = owner_->out_->GetDeliveryBuffer(copy.put(), nullptr, nullptr, 0);
        if (FAILED(hr))
            return hr;
        BYTE* from = nullptr;
        BYTE* to = nullptr;
        sample->GetPointer(&from);
        copy->GetPointer(&to);
        const LONG length = std::min(sample->GetActualDataLength(), copy->GetSize());
        std::memcpy(to, from, static_cast<size_t>(length));
        copy->SetActualDataLength(length);
        return owner_->out_->Deliver(copy.get());
    }
    HRESULT EndOfStream() override { return owner_->out_->DeliverEndOfStream(); }
    HRESULT BeginFlush() override {
        CBaseInputPin::BeginFlush();
        return owner_->out_->DeliverBeginFlush();
    }
    HRESULT EndFlush() override {
        CBaseInputPin::EndFlush();
        return owner_->out_->DeliverEndFlush();
    }

private:
    TestTransform* owner_;
};

TestTransform::TestTransform(std::string name)
    : LoggedFilter(std::move(name), &lock_, kTransformClass),
      in_(std::make_unique<TransformInputPin>(this, &lock_)),
      out_(std::make_unique<TransformOutputPin>(this, &lock_)) {}

TestTransform::~TestTransform() = default;

CBasePin* TestTransform::GetPin(int n) {
    return n == 0 ? static_cast<CBasePin*>(in_.get()) : n == 1 ? out_.get() : nullptr;
}

IPin* TestTransform::input() {
    return in_.get();
}

IPin* TestTransform::output() {
    return out_.get();
}

CUnknown* TestTransform::CreateInstance(IUnknown*, HRESULT*) {
    return new TestTransform("registered transform");
}

// ---- Pull consumer ------------------------------------------------------------------------------

class PullInputPin final : public CBasePin {
public:
    PullInputPin(PullConsumer* filter, CCritSec* lock, LONG bufferSize)
        : CBasePin("pull input", filter, lock, nullptr, u"Input", PINDIR_INPUT), puller_(*filter),
          bufferSize_(bufferSize) {}
    ~PullInputPin() override {
        puller_.Inactive();
        puller_.Disconnect();
    }
    HRESULT CheckMediaType(const CMediaType* type) override {
        return *type->Type() == MEDIATYPE_Stream ? S_OK : S_FALSE;
    }
    HRESULT CompleteConnect(IPin* receivePin) override {
        ALLOCATOR_PROPERTIES props;
        props.cBuffers = kTestBuffers;
        props.cbBuffer = bufferSize_;
        props.cbAlign = 1;
        return puller_.Connect(receivePin, nullptr, props);
    }
    HRESULT BreakConnect() override { return puller_.Disconnect(); }
    HRESULT Active() override { return puller_.Active(); }
    HRESULT Inactive() override { return puller_.Inactive(); }
    HRESULT BeginFlush() override { return S_OK; }
    HRESULT EndFlush() override { return S_OK; }

private:
    class Puller final : public CPullPin {
    public:
        explicit Puller(PullConsumer& owner) : owner_(owner) {}
        ~Puller() override { Inactive(); }

    protected:
        HRESULT Receive(IMediaSample* sample) override {
            owner_.pullThread = std::this_thread::get_id();
            owner_.pullThreadSeen = true;
            owner_.bytes += sample->GetActualDataLength();
            if (const int delay = owner_.receiveDelayMs; delay > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            return S_OK;
        }
        HRESULT EndOfStream() override {
            owner_.ended = true;
            return owner_.NotifyEvent(EC_COMPLETE, S_OK, 0);
        }
        void OnError(HRESULT hr) override {
            owner_.error = hr;
            owner_.NotifyEvent(EC_ERRORABORT, hr, 0);
        }

    private:
        PullConsumer& owner_;
    };

    Puller puller_;
    LONG bufferSize_;
};

PullConsumer::PullConsumer(std::string name, LONG bufferSize)
    : LoggedFilter(std::move(name), &lock_), pin_(std::make_unique<PullInputPin>(this, &lock_, bufferSize)) {}

PullConsumer::~PullConsumer() = default;

CBasePin* PullConsumer::GetPin(int n) {
    return n == 0 ? pin_.get() : nullptr;
}

IPin* PullConsumer::pin() {
    return pin_.get();
}

HRESULT PullConsumer::Stop() {
    if (IPin* reader = pin_->GetConnected())
        readerPinsAtStop = static_cast<int>(graph::pinsOf(graph::filterOf(reader).get()).size());
    return LoggedFilter::Stop();
}

// ---- Registration -------------------------------------------------------------------------------

namespace {

const AMOVIESETUP_MEDIATYPE kTypeA[] = {{&MEDIATYPE_Audio, &kSubtypeA}};
const AMOVIESETUP_MEDIATYPE kTypeB[] = {{&MEDIATYPE_Audio, &kSubtypeB}};
const AMOVIESETUP_PIN kTransformPins[] = {{"In", FALSE, FALSE, FALSE, FALSE, 1, kTypeA},
                                          {"Out", FALSE, TRUE, FALSE, FALSE, 1, kTypeB}};
const AMOVIESETUP_PIN kRendererPins[] = {{"In", TRUE, FALSE, FALSE, FALSE, 1, kTypeB}};

BuiltinFactoryFn factoryOf(CreateInstanceFn create) {
    return [create] {
        auto* factory = new ClassFactory(create);
        factory->NonDelegatingAddRef();
        return static_cast<IClassFactory*>(factory);
    };
}

} // namespace

RegisteredTestFilters::RegisteredTestFilters(DWORD transformMerit, DWORD rendererMerit) {
    registerBuiltinClass(kTransformClass, factoryOf(&TestTransform::CreateInstance));
    registerBuiltinClass(kRendererClass, factoryOf(&TestRenderer::CreateInstance));
    registerFilter({&kTransformClass, "Test transform", transformMerit, 2, kTransformPins});
    registerFilter({&kRendererClass, "Test renderer", rendererMerit, 1, kRendererPins});
}

RegisteredTestFilters::~RegisteredTestFilters() {
    unregisterFilter(kTransformClass);
    unregisterFilter(kRendererClass);
    unregisterBuiltinClass(kTransformClass);
    unregisterBuiltinClass(kRendererClass);
}

RegisteredWavSource::RegisteredWavSource() {
    registerBuiltinClass(CLSID_WavFileSource, factoryOf(&TestFileSource::CreateInstance));
}

RegisteredWavSource::~RegisteredWavSource() {
    unregisterBuiltinClass(CLSID_WavFileSource);
}

} // namespace platform::dshow::graphtest
