#pragma once

// The index adjuster's preview graph: the movie beside the index played in a video window "Preview",
// with the auto-loading subtitle filter showing the index that stands under the index's name.

#include "platform/com/com_ptr.h"
#include "platform/dshow/filter_graph.h"

#include <string>

namespace tools::vobsub_adjuster {

inline constexpr const char* PreviewDecoderName = "DivX MPEG-4 MPG Video Decompressor ";
inline constexpr const char* SubtitleFilterName = "DirectVobSub (auto-loading version)";

struct TvsubPreview {
    platform::com::ComPtr<platform::dshow::IGraphBuilder> graph;
    platform::com::ComPtr<platform::dshow::IMediaControl> control;
    platform::com::ComPtr<platform::dshow::IMediaPosition> position;
    platform::com::ComPtr<platform::dshow::IMediaEventEx> events;
    platform::com::ComPtr<platform::dshow::IVideoWindow> window;
    platform::com::ComPtr<platform::dshow::IBaseFilter> decoder;
    platform::com::ComPtr<platform::dshow::IBaseFilter> subtitles;
    std::string movie;
    bool rendered = false;
};

} // namespace tools::vobsub_adjuster
