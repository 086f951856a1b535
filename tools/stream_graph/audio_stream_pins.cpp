// The pin side of the builder: pins by position, the search for the parser's audio pins, and the
// wiring of the chain for each mode.

#include "tools/stream_graph/audio_stream_graph.h"

#include "platform/com/wide_text.h"
#include "platform/core/text.h"
#include "platform/dshow/guids.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

namespace tools::stream_graph {

namespace com = platform::com;
namespace dshow = platform::dshow;

namespace {

// No parser offers this many pins; the search gives up there rather than trust a broken enumeration.
constexpr int kMaxParserPins = 4096;

constexpr std::string_view kAc3PinName = "AC3";
constexpr std::string_view kMpegPinName = "AUDIO";
constexpr std::string_view kLpcmPinName = "LPCM";

bool wantedName(GraphMode mode, const std::string& upperName) {
    switch (mode) {
    case GraphMode::SearchAc3:
        return upperName == kAc3PinName;
    case GraphMode::SearchMp2:
        return upperName == kMpegPinName;
    case GraphMode::SearchPcm:
        return upperName == kLpcmPinName;
    case GraphMode::WriteFile:
    case GraphMode::RenderStream:
        break;
    }
    return upperName == kAc3PinName || upperName == kMpegPinName || upperName == kLpcmPinName;
}

std::string pinName(IPin* pin) {
    dshow::PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info)))
        return {};
    if (info.pFilter)
        info.pFilter->Release();
    return com::bytesFromWide(com::wideView(info.achName, dshow::MAX_PIN_NAME));
}

const char* labelPrefix(GraphMode mode) {
    switch (mode) {
    case GraphMode::SearchMp2:
        return "0xB";
    case GraphMode::SearchPcm:
        return "0xA";
    case GraphMode::SearchAc3:
    case GraphMode::WriteFile:
    case GraphMode::RenderStream:
        break;
    }
    return "0x8";
}

} // namespace

int AudioStreamGraph::PinTable(int i) const {
    if (i < 1 || i > kPinTableSize)
        return 0;
    return pinTable_[static_cast<size_t>(i - 1)];
}

int AudioStreamGraph::pinOfStream(int index) const {
    if (index < 0 || index >= std::min(AudioPinCount, kPinTableSize))
        return 0;
    return PinTable(index + 1);
}

std::vector<std::string> AudioStreamGraph::streamLabels() const {
    std::vector<std::string> labels;
    for (int k = 0; k < AudioPinCount; ++k)
        labels.push_back(labelPrefix(Mode) + std::to_string(k));
    return labels;
}

ComPtr<IPin> AudioStreamGraph::GetPin(IBaseFilter* filter, const std::string&, int n) {
    if (!filter) {
        if (policy_.reportFilterError)
            sink_.showMessage(kFilterErrorText);
        fail();
        return {};
    }
    ComPtr<dshow::IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.put())) || !pins) {
        fail();
        return {};
    }
    if (n < 1 || (n > 1 && pins->Skip(static_cast<com::ULONG>(n - 1)) != com::S_OK))
        return {};
    IPin* pin = nullptr;
    com::ULONG fetched = 0;
    if (pins->Next(1, &pin, &fetched) != com::S_OK || fetched != 1 || !pin)
        return {};
    return ComPtr<IPin>::adopt(pin);
}

void AudioStreamGraph::GetFirstAC3(IBaseFilter* parser) {
    pinTable_.fill(0);
    AudioPinCount = 0;
    FirstMatch = 0;
    if (!parser)
        return;
    ComPtr<dshow::IEnumPins> pins;
    if (FAILED(parser->EnumPins(pins.put())) || !pins) {
        fail();
        return;
    }
    std::vector<int> matches;
    for (int number = 1; number <= kMaxParserPins; ++number) {
        IPin* raw = nullptr;
        com::ULONG fetched = 0;
        if (pins->Next(1, &raw, &fetched) != com::S_OK || fetched != 1 || !raw)
            break;
        const auto pin = ComPtr<IPin>::adopt(raw);
        if (number < policy_.firstAudioPin)
            continue;
        if (wantedName(Mode, platform::core::upperAscii(pinName(pin.get()))))
            matches.push_back(number);
    }
    if (matches.empty())
        return;
    FirstMatch = matches.front();
    AudioPinCount = static_cast<int>(matches.size());
    // The whole list is reversed, so that stream 0 is the last matching pin even past the table's end.
    if (sink_.flipStreams())
        std::reverse(matches.begin(), matches.end());
    std::copy_n(matches.begin(), std::min(matches.size(), pinTable_.size()), pinTable_.begin());
}

std::string AudioStreamGraph::filterNameOf(IPin* pin) {
    if (!pin)
        return {};
    dshow::PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info)) || !info.pFilter)
        return {};
    dshow::FILTER_INFO filterInfo{};
    const HRESULT hr = info.pFilter->QueryFilterInfo(&filterInfo);
    info.pFilter->Release();
    if (FAILED(hr))
        return {};
    if (filterInfo.pGraph)
        filterInfo.pGraph->Release();
    return com::bytesFromWide(com::wideView(filterInfo.achName, dshow::MAX_FILTER_NAME));
}

bool AudioStreamGraph::Connect(IPin* out, IPin* in) {
    const bool ok = GraphBuilder && out && in && SUCCEEDED(GraphBuilder->Connect(out, in));
    if (!ok)
        fail();
    if (policy_.logSteps)
        log("Connect OUT " + filterNameOf(out) + " & " + filterNameOf(in) +
            (ok ? " IN : OK" : " IN : ERROR"));
    return ok;
}

bool AudioStreamGraph::searchNeedsCheck() const {
    // A search lists the streams; only a build that takes one of them checks that it exists.
    return !StreamSearchOnly && Mode != GraphMode::SearchPcm;
}

bool AudioStreamGraph::ConnectPins() {
    // A build that already failed is not wired: its filters may be missing.
    if (!GraphOk)
        return false;
    IBaseFilter* source = table_.slot(1).filter.get();
    IBaseFilter* parser = table_.slot(2).filter.get();
    // A source that could not open its files (it has said so in its own box) has no streams: the
    // check below would report a missing stream instead of the missing file.
    if (!Connect(GetPin(source, "Output", 1).get(), GetPin(parser, "Input", 1).get()))
        return false;

    int parserPin = 0;
    if (policy_.pinBeforeSearch)
        parserPin = pinOfStream(StreamIndex);
    GetFirstAC3(parser);
    // An index equal to the count names no stream either.
    if (searchNeedsCheck() && (StreamIndex < 0 || StreamIndex >= std::min(AudioPinCount, kPinTableSize))) {
        sink_.showMessage(kMissingStreamText);
        StreamIndex = 0;
        sink_.streamReset();
    }
    if (!policy_.pinBeforeSearch)
        parserPin = pinOfStream(StreamIndex);

    if (StreamSearchOnly && policy_.searchWiresParserOnly)
        return GraphOk;
    if (!GraphOk)
        return false;
    connectChain(parserPin > 0 ? GetPin(parser, "Output", parserPin).get() : nullptr);
    return GraphOk;
}

void AudioStreamGraph::connectChain(IPin* parserPin) {
    FilterSlot* decoder = table_.find(kDecoderName);
    FilterSlot* wavDest = table_.find(kWavDestName);
    FilterSlot* writer = table_.find(kFileWriterName);
    const auto filterOf = [](FilterSlot* slot) { return slot ? slot->filter.get() : nullptr; };

    switch (Mode) {
    case GraphMode::SearchAc3:
    case GraphMode::SearchMp2:
    case GraphMode::WriteFile:
        Connect(parserPin, GetPin(filterOf(decoder), "Input", 1).get());
        Connect(GetPin(filterOf(decoder), "Output", 2).get(), GetPin(filterOf(wavDest), "In", 1).get());
        break;
    case GraphMode::SearchPcm:
        Connect(parserPin, GetPin(filterOf(wavDest), "In", 1).get());
        break;
    case GraphMode::RenderStream: {
        Connect(parserPin, GetPin(filterOf(decoder), "Input", 1).get());
        const ComPtr<IPin> decoded = GetPin(filterOf(decoder), "Output", 2);
        if (!GraphBuilder || !decoded || FAILED(GraphBuilder->Render(decoded.get())))
            fail();
        return;
    }
    }
    if (!DestinationPath.empty())
        Connect(GetPin(filterOf(wavDest), "Out", 2).get(), GetPin(filterOf(writer), "in", 1).get());
}

} // namespace tools::stream_graph
