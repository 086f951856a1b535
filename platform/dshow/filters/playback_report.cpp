#include "platform/dshow/filters/playback_report.h"

#include "platform/com/com_ptr.h"
#include "platform/com/wide_text.h"
#include "platform/dshow/file_interfaces.h"
#include "platform/dshow/filters/avi_splitter.h"
#include "platform/dshow/filters/media_types.h"
#include "platform/dshow/filters/video_types.h"
#include "platform/dshow/graph_topology.h"
#include "platform/dshow/guids.h"
#include "platform/dshow/media_type.h"

#include <cstdio>

namespace platform::dshow::filters {

namespace {

std::string fourccText(uint32_t fourcc) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((fourcc >> (8 * i)) & 0xFF);
        text += c >= ' ' && c < 0x7F ? c : '?';
    }
    return text;
}

std::string tagText(uint16_t tag) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", tag);
    return text;
}

// The problem of one output pin of the source that leads nowhere.
std::string pinProblem(IPin* pin) {
    ComPtr<IEnumMediaTypes> types;
    if (FAILED(pin->EnumMediaTypes(types.put())) || !types)
        return {};
    AM_MEDIA_TYPE* type = nullptr;
    ULONG fetched = 0;
    if (types->Next(1, &type, &fetched) != S_OK || !type)
        return {};
    std::string problem;
    if (type->majortype == MEDIATYPE_Video) {
        const auto format = videoFormatOf(*type);
        problem = "No decoder for the video format " + fourccText(format ? format->compression : 0) + " !";
    } else if (type->majortype == MEDIATYPE_Audio) {
        const auto format = waveFormatOf(*type);
        problem = "No decoder for the audio format " + tagText(format ? format->formatTag : 0) + " !";
    }
    DeleteMediaType(type);
    return problem;
}

} // namespace

std::vector<std::string> renderProblems(IGraphBuilder* graph, HRESULT hr, const std::string& path) {
    std::vector<std::string> problems;
    if (hr == S_OK || !graph)
        return problems;
    if (FAILED(hr) && hr != VFW_E_CANNOT_RENDER) {
        problems.push_back("File : " + path + " can't be played (not a readable AVI file) !");
        return problems;
    }
    ComPtr<IBaseFilter> source;
    if (SUCCEEDED(hr)) {
        ComPtr<IEnumFilters> walker;
        ULONG fetched = 0;
        if (FAILED(graph->EnumFilters(walker.put())) || !walker ||
            walker->Next(1, source.put(), &fetched) != S_OK)
            return problems;
    } else {
        // Nothing rendered, and the graph took everything out again: look at the file's streams alone.
        source = ComPtr<IBaseFilter>(static_cast<IBaseFilter*>(new AviSplitterFilter(nullptr)));
        ComPtr<IFileSourceFilter> loader;
        if (FAILED(source.as(IID_IFileSourceFilter, loader)) ||
            FAILED(loader->Load(platform::com::wideFromBytes(path).c_str(), nullptr)))
            source.reset();
    }
    if (!source) {
        problems.push_back("File : " + path + " can't be played !");
        return problems;
    }
    for (const auto& pin : graph::pinsOf(source.get(), PINDIR_OUTPUT))
        if (!graph::peerOf(pin.get()))
            if (std::string problem = pinProblem(pin.get()); !problem.empty())
                problems.push_back(problem);
    if (problems.empty() && FAILED(hr))
        problems.push_back("File : " + path + " can't be played !");
    return problems;
}

} // namespace platform::dshow::filters
