#pragma once

// The synchronizer's preview graph: the filter graph that plays the file in work with its sound in a
// video window of its own, the interfaces the preview drives it through, and the video decoder whose
// property pages "Properties" opens. Positions are in 100-ns units from the start of the file's
// timeline.

#include "platform/com/com_ptr.h"
#include "platform/dshow/filter_graph.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tools::synchronizer {

using platform::com::ComPtr;

// 100-ns units per second.
inline constexpr int64_t PreviewUnitsPerSecond = 10'000'000;

// The decoder names looked for, in this order, before the third filter is taken.
inline constexpr const char* DivXDecoderName = "DivX MPEG-4 MPG Video Decompressor ";
inline constexpr const char* DivXDecoderAltName = "DivX Decoder Filter";

struct PreviewGraphState {
    ComPtr<platform::dshow::IGraphBuilder> PreviewGraph;
    ComPtr<platform::dshow::IMediaControl> control;
    ComPtr<platform::dshow::IMediaSeeking> seeking;
    ComPtr<platform::dshow::IVideoWindow> window;
    ComPtr<platform::dshow::IBaseFilter> DecoderFilter;
    // Why the file did not render whole (shown once by the window), empty when it did.
    std::vector<std::string> problems;
    bool rendered = false;

    int64_t currentPosition() const;
    int64_t stopPosition() const;
    int64_t duration() const;
    void setCurrent(int64_t position) const;
    void setPositions(int64_t current, int64_t stop) const;
    bool windowVisible() const;
    bool fullScreen() const;
};

// The DivX decoder filter's file in the system folder, registered (when it is there) before each graph.
inline constexpr const char* DivXDecoderFile = "divxdec.ax";

// Creates the graph and takes its media control, seeking and video window interfaces; false at the
// first failure. programFolder: where the system folder with the installed codec files is.
bool CreatePreviewGraph(PreviewGraphState& state, const std::string& programFolder);
// Renders the file; false (nothing playing) when it did not render at all.
bool renderPreviewFile(PreviewGraphState& state, const std::string& path);
// The filter named name, else the one named alternative, else the third filter of the graph.
ComPtr<platform::dshow::IBaseFilter> findFilter(platform::dshow::IGraphBuilder* graph,
                                                const std::string& name, const std::string& alternative);
// Shows the filter's property pages in the platform's property frame (no owner, all its pages).
void ShowFilterProperties(platform::dshow::IBaseFilter* filter);

} // namespace tools::synchronizer
