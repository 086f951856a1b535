#pragma once

// A filter graph that renders an AVI file for the playback tests, with the interfaces the tools use.

#include "platform/com/com_ptr.h"
#include "platform/dshow/filter_graph.h"

#include <string>
#include <vector>

namespace kes::test {

using namespace platform::dshow;

struct PlaybackGraph {
    PlaybackGraph();

    HRESULT render(const std::string& path);
    std::vector<std::string> filterNames();
    ComPtr<IBaseFilter> filter(const std::string& name);
    // Runs the Qt event loop until the run completes or the time is up; true when it completed.
    bool playToEnd(int timeoutMs);
    // Runs the Qt event loop for a while.
    static void pump(int ms);

    ComPtr<IGraphBuilder> builder;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEventEx> events;
    ComPtr<IMediaSeeking> seeking;
    ComPtr<IVideoWindow> window;
};

} // namespace kes::test
