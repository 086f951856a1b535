#include "tools/stream_graph/audio_stream_graph.h"

#include "tools/stream_graph/decoder_settings.h"
#include "tools/stream_graph/vob_list_writer.h"

#include "platform/com/co_create.h"
#include "platform/com/inproc_server.h"
#include "platform/com/wide_text.h"
#include "platform/core/files.h"
#include "platform/dshow/file_interfaces.h"
#include "platform/dshow/filter_graph.h"
#include "platform/dshow/filters/stock_builtins.h"
#include "platform/dshow/guids.h"

#include <map>
#include <memory>

namespace tools::stream_graph {

namespace com = platform::com;
namespace dshow = platform::dshow;

namespace {

// Filter files stay loaded for the life of the process, once each.
std::shared_ptr<com::InprocServer> loadedServer(const std::string& path, std::string& error) {
    static std::map<std::string, std::shared_ptr<com::InprocServer>> servers;
    if (const auto it = servers.find(path); it != servers.end())
        return it->second;
    auto server = com::InprocServer::load(path, &error);
    if (server)
        servers.emplace(path, server);
    return server;
}

const char* pointerText(bool some) {
    return some ? "=> returned a pointer" : "=> returned NIL pointer";
}

} // namespace

AudioStreamGraph::AudioStreamGraph(StreamGraphPolicy policy, StreamGraphSink& sink)
    : policy_(std::move(policy)), sink_(sink) {}

AudioStreamGraph::~AudioStreamGraph() {
    CloseDSPlayer();
}

void AudioStreamGraph::log(const std::string& line) {
    if (policy_.logSteps)
        sink_.logLine(line);
}

int AudioStreamGraph::AssignFilters(GraphMode mode) {
    return table_.assign(mode);
}

bool AudioStreamGraph::InitGraph() {
    com::CoInitialize(nullptr);
    CloseDSPlayer();
    dshow::registerFilterGraph();
    dshow::filters::registerStockBuiltins();
    if (FAILED(com::CoCreateInstance(dshow::CLSID_FilterGraph, nullptr, com::CLSCTX_INPROC_SERVER,
                                     dshow::IID_IGraphBuilder, GraphBuilder.putVoid())) ||
        !GraphBuilder) {
        GraphBuilder.reset();
        return false;
    }
    const bool ok = SUCCEEDED(GraphBuilder.as(dshow::IID_IMediaControl, MediaControl)) && MediaControl &&
                    SUCCEEDED(GraphBuilder.as(dshow::IID_IMediaEvent, MediaEvent)) && MediaEvent &&
                    SUCCEEDED(GraphBuilder.as(dshow::IID_IMediaPosition, MediaPosition)) && MediaPosition;
    if (!ok)
        CloseDSPlayer();
    return ok;
}

bool AudioStreamGraph::CreateFilters() {
    GraphOk = true;
    FilterCount = AssignFilters(Mode);
    for (int n = 1; n <= FilterCount; ++n) {
        FilterSlot& slot = table_.slot(n);
        // A count needs only the decoder's pins; a decode with settings that could not be written
        // would give another rate than the one asked for, so it is not started.
        if (slot.name == kDecoderName && !writeDecoderSettings(policy_.filterFolder, SampleRateText)) {
            log(kDecoderSettingsText);
            if (!counting_) {
                sink_.showError(kDecoderSettingsText);
                fail();
            }
        }
        if (!slot.file.empty())
            RegisterFilter(n);
        slot.filter = CreateFilterInstance(slot.clsid, slot.name);
        if (!slot.filter && !slot.file.empty())
            slot.filter = createFromFile(slot);
        if (!slot.filter)
            fail();
        else if (!Add_Filter(slot.filter.get(), slot.name))
            fail();
    }
    if (table_.slot(1).filter && !QuerySource(SourcePath))
        fail();
    // A search that is never run needs no destination.
    const bool wantsDestination = !(StreamSearchOnly && DestinationPath.empty());
    if (writesFile(Mode) && wantsDestination && table_.slot(FilterCount).filter &&
        !QueryDestination(DestinationPath))
        fail();
    if (policy_.connectInCreate)
        return GraphOk && ConnectPins();
    return GraphOk;
}

bool AudioStreamGraph::RegisterFilter(int slot) {
    const std::string path = policy_.filterFolder + table_.slot(slot).file;
    if (!platform::core::fileExists(path)) {
        log("-> file : " + path + " not found");
        return false;
    }
    std::string error;
    const auto server = loadedServer(path, error);
    if (server && server->registerServer() == com::S_OK) {
        log("-> registration successfull - OK");
        return true;
    }
    log("-> Could not register filter - ERROR");
    return false;
}

ComPtr<IBaseFilter> AudioStreamGraph::CreateFilterInstance(const CLSID& clsid, const std::string& name) {
    ComPtr<IBaseFilter> filter;
    const HRESULT hr = com::CoCreateInstance(clsid, nullptr, com::CLSCTX_INPROC_SERVER,
                                             dshow::IID_IBaseFilter, filter.putVoid());
    if (FAILED(hr)) {
        log(name + " filter creation - ERROR");
        return {};
    }
    log(name + " filter creation OK");
    log(pointerText(static_cast<bool>(filter)));
    return filter;
}

ComPtr<IBaseFilter> AudioStreamGraph::createFromFile(const FilterSlot& slot) {
    // A registration the settings store could not keep still leaves the filter file loaded here: its
    // own class object makes the filter.
    const std::string path = policy_.filterFolder + slot.file;
    std::string error;
    const auto server = platform::core::fileExists(path) ? loadedServer(path, error) : nullptr;
    ComPtr<com::IClassFactory> factory;
    ComPtr<IBaseFilter> filter;
    if (!server || FAILED(server->getClassObject(slot.clsid, com::IID_IClassFactory, factory.putVoid())) ||
        !factory || FAILED(factory->CreateInstance(nullptr, dshow::IID_IBaseFilter, filter.putVoid())))
        return {};
    log(slot.name + " filter creation OK");
    log(pointerText(static_cast<bool>(filter)));
    return filter;
}

bool AudioStreamGraph::Add_Filter(IBaseFilter* filter, const std::string& name) {
    const bool ok = GraphBuilder && filter && SUCCEEDED(GraphBuilder->AddFilter(filter, nullptr));
    log(name + (ok ? " added OK" : " added - ERROR"));
    return ok;
}

bool AudioStreamGraph::QuerySource(const std::string& path) {
    ComPtr<dshow::IFileSourceFilter> source;
    const HRESULT hr = table_.slot(1).filter.as(dshow::IID_IFileSourceFilter, source);
    log(SUCCEEDED(hr) ? "Query File Source Interface OK" : "Query File Source Interface - ERROR");
    log(pointerText(static_cast<bool>(source)));
    if (FAILED(hr) || !source)
        return false;
    const bool loaded = SUCCEEDED(source->Load(com::wideFromBytes(path).c_str(), nullptr));
    log("Load " + path + (loaded ? " OK" : " - ERROR"));
    return loaded;
}

bool AudioStreamGraph::QueryDestination(const std::string& path) {
    ComPtr<dshow::IFileSinkFilter> sink;
    const HRESULT hr = table_.slot(FilterCount).filter.as(dshow::IID_IFileSinkFilter, sink);
    log(SUCCEEDED(hr) && sink ? "Query SinkFilter Interface OK" : "Query SinkFilter Interface - ERROR");
    if (FAILED(hr) || !sink)
        return false;
    // An empty name would leave the writer nowhere to write.
    const bool set = !path.empty() && SUCCEEDED(sink->SetFileName(com::wideFromBytes(path).c_str(), nullptr));
    log("Set " + path + (set ? " as filename OK" : " as filename - ERROR"));
    return set;
}

void AudioStreamGraph::CloseDSPlayer() {
    if (MediaControl)
        MediaControl->Stop();
    table_.releaseFilters();
    MediaEvent.reset();
    MediaControl.reset();
    MediaPosition.reset();
    GraphBuilder.reset();
}

std::optional<std::string> AudioStreamGraph::makelist(const std::string& vobPath) {
    const VobListResult result = writeVobList(vobPath);
    switch (result.status) {
    case VobListResult::Status::Written:
        return result.listPath;
    case VobListResult::Status::Missing:
        sink_.showError(kMissingVobText);
        break;
    case VobListResult::Status::WriteFailed:
        sink_.showError("Cannot write " + result.listPath + " !");
        break;
    }
    return std::nullopt;
}

} // namespace tools::stream_graph
