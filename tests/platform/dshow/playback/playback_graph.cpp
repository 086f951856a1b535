#include "tests/platform/dshow/playback/playback_graph.h"

#include "platform/com/co_create.h"
#include "platform/com/wide_text.h"
#include "platform/dshow/filters/playback_filters.h"
#include "platform/dshow/guids.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdlib>
#include <thread>

namespace kes::test {

using platform::com::CoCreateInstance;

PlaybackGraph::PlaybackGraph() {
    setenv("KESTROVA_SOUND_DEVICE", "none", 1);
    platform::dshow::filters::registerPlaybackFilters();
    CoCreateInstance(CLSID_FilterGraph, nullptr, platform::com::CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                     builder.putVoid());
    if (!builder)
        return;
    builder.as(IID_IMediaControl, control);
    builder.as(IID_IMediaEventEx, events);
    builder.as(IID_IMediaSeeking, seeking);
    builder.as(IID_IVideoWindow, window);
}

HRESULT PlaybackGraph::render(const std::string& path) {
    return builder->RenderFile(platform::com::wideFromBytes(path).c_str(), nullptr);
}

std::vector<std::string> PlaybackGraph::filterNames() {
    std::vector<std::string> names;
    ComPtr<IEnumFilters> walker;
    if (FAILED(builder->EnumFilters(walker.put())))
        return names;
    IBaseFilter* filter = nullptr;
    ULONG fetched = 0;
    while (walker->Next(1, &filter, &fetched) == S_OK && fetched == 1) {
        FILTER_INFO info{};
        filter->QueryFilterInfo(&info);
        if (info.pGraph)
            info.pGraph->Release();
        names.push_back(platform::com::bytesFromWide(std::u16string(info.achName)));
        filter->Release();
    }
    return names;
}

ComPtr<IBaseFilter> PlaybackGraph::filter(const std::string& name) {
    ComPtr<IBaseFilter> found;
    builder->FindFilterByName(platform::com::wideFromBytes(name).c_str(), found.put());
    return found;
}

void PlaybackGraph::pump(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool PlaybackGraph::playToEnd(int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        LONG code = 0;
        if (events->WaitForCompletion(10, &code) == S_OK)
            return code == EC_COMPLETE;
        QCoreApplication::processEvents();
    }
    return false;
}

} // namespace kes::test
