#include "tools/synchronizer/preview_graph.h"

#include "platform/com/co_create.h"
#include "platform/com/wide_text.h"
#include "platform/core/paths.h"
#include "platform/dshow/filters/playback_filters.h"
#include "platform/dshow/filters/playback_report.h"
#include "platform/dshow/guids.h"
#include "platform/dshow/property_frame.h"

namespace tools::synchronizer {

namespace dshow = platform::dshow;
using namespace platform::com;

namespace {
constexpr int ThirdFilter = 2; // counted from 0
}

int64_t PreviewGraphState::currentPosition() const {
    int64_t position = 0;
    if (seeking)
        seeking->GetCurrentPosition(&position);
    return position;
}

int64_t PreviewGraphState::stopPosition() const {
    int64_t position = 0;
    if (seeking)
        seeking->GetStopPosition(&position);
    return position;
}

int64_t PreviewGraphState::duration() const {
    int64_t length = 0;
    if (seeking)
        seeking->GetDuration(&length);
    return length;
}

void PreviewGraphState::setCurrent(int64_t position) const {
    if (seeking)
        seeking->SetPositions(&position, dshow::AM_SEEKING_AbsolutePositioning, nullptr,
                              dshow::AM_SEEKING_NoPositioning);
}

void PreviewGraphState::setPositions(int64_t current, int64_t stop) const {
    if (seeking)
        seeking->SetPositions(&current, dshow::AM_SEEKING_AbsolutePositioning, &stop,
                              dshow::AM_SEEKING_AbsolutePositioning);
}

bool PreviewGraphState::windowVisible() const {
    dshow::OABOOL visible = dshow::OAFALSE;
    return window && SUCCEEDED(window->get_Visible(&visible)) && visible != dshow::OAFALSE;
}

bool PreviewGraphState::fullScreen() const {
    dshow::OABOOL on = dshow::OAFALSE;
    return window && SUCCEEDED(window->get_FullScreenMode(&on)) && on != dshow::OAFALSE;
}

bool CreatePreviewGraph(PreviewGraphState& state, const std::string& programFolder) {
    platform::com::CoInitialize(nullptr);
    dshow::filters::registerPlaybackFilters();
    dshow::filters::registerFilterModule(
        platform::core::joinPath(dshow::filters::systemFolderOf(programFolder), DivXDecoderFile));
    state = PreviewGraphState{};
    if (FAILED(platform::com::CoCreateInstance(dshow::CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                               dshow::IID_IGraphBuilder, state.PreviewGraph.putVoid())) ||
        !state.PreviewGraph)
        return false;
    return SUCCEEDED(state.PreviewGraph.as(dshow::IID_IMediaControl, state.control)) &&
           SUCCEEDED(state.PreviewGraph.as(dshow::IID_IMediaSeeking, state.seeking)) &&
           SUCCEEDED(state.PreviewGraph.as(dshow::IID_IVideoWindow, state.window));
}

bool renderPreviewFile(PreviewGraphState& state, const std::string& path) {
    if (!state.PreviewGraph)
        return false;
    const HRESULT hr = state.PreviewGraph->RenderFile(platform::com::wideFromBytes(path).c_str(), nullptr);
    state.problems = dshow::filters::renderProblems(state.PreviewGraph.get(), hr, path);
    state.rendered = SUCCEEDED(hr);
    return state.rendered;
}

ComPtr<dshow::IBaseFilter> findFilter(dshow::IGraphBuilder* graph, const std::string& name,
                                      const std::string& alternative) {
    ComPtr<dshow::IBaseFilter> found;
    if (!graph)
        return found;
    for (const std::string& wanted : {name, alternative})
        if (!wanted.empty() &&
            SUCCEEDED(graph->FindFilterByName(platform::com::wideFromBytes(wanted).c_str(), found.put())) &&
            found)
            return found;
    ComPtr<dshow::IEnumFilters> walker;
    if (FAILED(graph->EnumFilters(walker.put())) || !walker)
        return {};
    walker->Reset();
    walker->Skip(ThirdFilter);
    ULONG fetched = 0;
    if (walker->Next(1, found.put(), &fetched) != S_OK)
        found.reset();
    return found;
}

void ShowFilterProperties(dshow::IBaseFilter* filter) {
    if (!filter)
        return;
    const std::vector<platform::com::CLSID> pages = dshow::propertyPagesOf(filter);
    dshow::FILTER_INFO info{};
    filter->QueryFilterInfo(&info);
    if (info.pGraph)
        info.pGraph->Release();
    platform::com::IUnknown* object = filter;
    dshow::OleCreatePropertyFrame(nullptr, platform::com::bytesFromWide(std::u16string(info.achName)), 1,
                                  &object, static_cast<platform::com::ULONG>(pages.size()), pages.data());
}

} // namespace tools::synchronizer
