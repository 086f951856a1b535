// Running the graph: GO, the wait for the end of the stream, and the stream count.

#include "tools/stream_graph/audio_stream_graph.h"

#include "platform/core/files.h"

namespace tools::stream_graph {

namespace com = platform::com;
namespace dshow = platform::dshow;

namespace {

// The window is served at least this often while the graph runs; the end of the stream is seen at
// once, since the wait for an event ends when one comes.
constexpr com::LONG kWaitSliceMs = 300;
constexpr com::LONG kEventTimeoutMs = 1;
// Events taken at one look; more wait for the next one, so a flood of events cannot hold the window.
constexpr int kEventsPerPoll = 64;

} // namespace

GoResult AudioStreamGraph::GO() {
    StopRequested = false;
    GraphOk = false;
    if (!InitGraph()) {
        log("DirectShow Initialisation failed !");
        CloseDSPlayer();
        return GoResult::Failed;
    }
    log("DirectShow Initialisation OK");
    bool built = platform::core::fileExists(SourcePath) && CreateFilters();
    if (built && !policy_.connectInCreate)
        built = ConnectPins();
    log(built ? "Filters creation OK" : "Filters creation failed !");
    if (!built) {
        CloseDSPlayer();
        return GoResult::Failed;
    }
    if (FindStartSeconds)
        StartSeconds = FindStartSeconds();
    if (StartSeconds != 0 && MediaPosition)
        MediaPosition->put_CurrentPosition(StartSeconds);
    const HRESULT hr = MediaControl->Run();
    if (hr != com::S_OK && hr != com::S_FALSE) {
        log("Incorrect Graph return value !");
        CloseDSPlayer();
        return GoResult::Failed;
    }
    log("Graph is running OK");
    log("Waiting for completion");
    if (!policy_.waitInGo)
        return GoResult::Running;
    return WaitForEnd();
}

GoResult AudioStreamGraph::PollCompletion(com::LONG firstWaitMs) {
    if (!MediaEvent)
        return GoResult::Stopped;
    for (int i = 0; i < kEventsPerPoll; ++i) {
        com::LONG code = 0;
        dshow::LONG_PTR param1 = 0;
        dshow::LONG_PTR param2 = 0;
        if (MediaEvent->GetEvent(&code, &param1, &param2, i == 0 ? firstWaitMs : kEventTimeoutMs) !=
            com::S_OK)
            break;
        MediaEvent->FreeEventParams(code, param1, param2);
        if (code == dshow::EC_COMPLETE)
            return FAILED(static_cast<HRESULT>(param1)) ? GoResult::Aborted : GoResult::Completed;
        if (code == dshow::EC_ERRORABORT || code == dshow::EC_USERABORT)
            return GoResult::Aborted;
    }
    return GoResult::Running;
}

GoResult AudioStreamGraph::WaitForEnd() {
    GoResult result = GoResult::Running;
    while (result == GoResult::Running) {
        result = PollCompletion(kWaitSliceMs);
        if (result != GoResult::Running)
            break;
        // Stop, Exit and closing the window run in here and may release the graph.
        sink_.processMessages();
        if (StopRequested || !MediaEvent)
            result = GoResult::Stopped;
    }
    CloseDSPlayer();
    return result;
}

bool AudioStreamGraph::findaudiostreams() {
    AudioPinCount = 0;
    FirstMatch = 0;
    GraphOk = false;
    counting_ = true;
    bool built = InitGraph() && platform::core::fileExists(SourcePath) && CreateFilters();
    if (built && !policy_.connectInCreate)
        built = ConnectPins();
    counting_ = false;
    CloseDSPlayer();
    return built;
}

} // namespace tools::stream_graph
