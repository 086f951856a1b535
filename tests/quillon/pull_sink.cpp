#include "pull_sink.h"

#include "platform/dshow/guids.h"

#include <chrono>

namespace quillon::test {

namespace {
constexpr LONG kBufferCount = 3;
}

PullSinkPin::PullSinkPin(PullSinkFilter* filter, CCritSec* lock, LONG bufferSize)
    : CBasePin("pull sink pin", filter, lock, nullptr, u"Input", PINDIR_INPUT), puller_(*filter),
      bufferSize_(bufferSize) {}

PullSinkPin::~PullSinkPin() {
    puller_.Inactive();
    puller_.Disconnect();
}

HRESULT PullSinkPin::CheckMediaType(const CMediaType* type) {
    return *type->Type() == MEDIATYPE_Stream && *type->Subtype() == MEDIASUBTYPE_MPEG2_PROGRAM ? S_OK
                                                                                               : S_FALSE;
}

HRESULT PullSinkPin::CompleteConnect(IPin* receivePin) {
    ALLOCATOR_PROPERTIES props;
    props.cBuffers = kBufferCount;
    props.cbBuffer = bufferSize_;
    props.cbAlign = 1;
    return puller_.Connect(receivePin, nullptr, props);
}

HRESULT PullSinkPin::BreakConnect() {
    return puller_.Disconnect();
}
HRESULT PullSinkPin::Active() {
    return puller_.Active();
}
HRESULT PullSinkPin::Inactive() {
    return puller_.Inactive();
}

HRESULT PullSinkPin::Puller::Receive(IMediaSample* sample) {
    sink_.pullThread = std::this_thread::get_id();
    ++sink_.receives;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    sink_.append(data, sample->GetActualDataLength());
    return S_OK;
}

HRESULT PullSinkPin::Puller::EndOfStream() {
    sink_.ended = true;
    return S_OK;
}

void PullSinkPin::Puller::OnError(HRESULT hr) {
    sink_.error = hr;
}

PullSinkFilter::PullSinkFilter(LONG bufferSize)
    : CBaseFilter("pull sink", nullptr, &lock_, GUID_NULL), pin_(this, &lock_, bufferSize) {}

PullSinkFilter::~PullSinkFilter() = default;

void PullSinkFilter::append(const BYTE* data, LONG length) {
    std::lock_guard lock(bytesMutex_);
    bytes_.append(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
}

std::string PullSinkFilter::bytes() {
    std::lock_guard lock(bytesMutex_);
    return bytes_;
}

bool PullSinkFilter::waitForEnd(int seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!ended && error.load() == S_OK && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return ended;
}

} // namespace quillon::test
