#pragma once

// The audio stream graph builder: builds by hand the graph that pulls a VOB set through the
// multiple-file source, splits it with an MPEG-2 parser, picks one audio stream by its position among
// the parser's audio pins, decodes it (or passes LPCM through) and writes a WAV file or plays it.
// One builder lives as long as its window; every step runs on the window's thread.
//
// A build fails as a whole: any failed step clears GraphOk for good, later steps that need a missing
// filter are skipped, and a failed build is never connected or run.

#include "tools/stream_graph/filter_table.h"
#include "tools/stream_graph/stream_graph_policy.h"
#include "tools/stream_graph/stream_graph_sink.h"

#include "platform/com/com_ptr.h"
#include "platform/dshow/graph_interfaces.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tools::stream_graph {

using platform::com::FAILED;
using platform::com::HRESULT;
using platform::com::SUCCEEDED;
using platform::dshow::IGraphBuilder;
using platform::dshow::IMediaControl;
using platform::dshow::IMediaEvent;
using platform::dshow::IMediaPosition;
using platform::dshow::IPin;

inline constexpr int kPinTableSize = 10;
inline constexpr const char* kMissingStreamText = "Audio Stream does not exist";
inline constexpr const char* kFilterErrorText = "Filter error";
inline constexpr const char* kDecoderSettingsText = "Cannot write the AC3 decoder's settings !";

// How a run of GO ended (or that it is still running, when the window polls).
enum class GoResult {
    Failed,    // the graph could not be made, the source is missing, or it would not run
    Running,   // running; the window polls with PollCompletion
    Completed, // the stream ended
    Aborted,   // the graph reported a streaming error or a user abort
    Stopped,   // Stop was asked, or the graph was released while it ran
};

class AudioStreamGraph {
public:
    AudioStreamGraph(StreamGraphPolicy policy, StreamGraphSink& sink);
    ~AudioStreamGraph();
    AudioStreamGraph(const AudioStreamGraph&) = delete;
    AudioStreamGraph& operator=(const AudioStreamGraph&) = delete;

    // What the window sets before a build.
    GraphMode Mode = GraphMode::WriteFile;
    std::string SourcePath;
    std::string DestinationPath;
    std::string SampleRateText;
    // Where the run starts on the graph's clock (seconds; may lie before 0): the output begins there.
    double StartSeconds = 0;
    // When set, gives StartSeconds once the graph is built, just before it runs: a start that takes
    // time to find is found while the graph is being built.
    std::function<double()> FindStartSeconds;
    int StreamIndex = 0; // 0-based among the matching audio pins
    bool StreamSearchOnly = false;
    bool StopRequested = false;

    // What the build leaves.
    bool GraphOk = false;
    int FilterCount = 0;
    int AudioPinCount = 0; // matching pins of the last search (all of them, also beyond the table)
    int FirstMatch = 0;    // pin number of the first matching pin of the last search

    ComPtr<IGraphBuilder> GraphBuilder;
    ComPtr<IMediaControl> MediaControl;
    ComPtr<IMediaEvent> MediaEvent;
    ComPtr<IMediaPosition> MediaPosition;

    const StreamGraphPolicy& policy() const { return policy_; }
    FilterTable& filters() { return table_; }

    // Entry i (1-based) of the table of matching parser pin numbers; 0 when the search left it empty.
    int PinTable(int i) const;
    // The parser pin of a stream index, or 0 when the search found no such stream.
    int pinOfStream(int index) const;
    // "0x8" + k for each stream found ("0xB" for the MPEG audio search, "0xA" for the PCM search).
    std::vector<std::string> streamLabels() const;

    int AssignFilters(GraphMode mode);
    bool InitGraph();
    // Creates, adds and sets up every filter of the mode; with a policy that connects in creation,
    // connects the chain too. True when everything succeeded.
    bool CreateFilters();
    bool RegisterFilter(int slot);
    ComPtr<IBaseFilter> CreateFilterInstance(const CLSID& clsid, const std::string& name);
    bool Add_Filter(IBaseFilter* filter, const std::string& name);
    bool QuerySource(const std::string& path);
    bool QueryDestination(const std::string& path);
    // The n-th pin (from 1) of the filter's pins; the label names it in messages only.
    ComPtr<IPin> GetPin(IBaseFilter* filter, const std::string& label, int n);
    void GetFirstAC3(IBaseFilter* parser);
    bool Connect(IPin* out, IPin* in);
    bool ConnectPins();

    // Builds and runs the graph of Mode; with a policy that waits, waits for its end and releases it.
    GoResult GO();
    // One look at the events of a running graph, waiting up to firstWaitMs for the first: Running
    // while none ended it.
    GoResult PollCompletion(platform::com::LONG firstWaitMs = 1);
    // Waits for events and pumps until the stream ends or Stop is asked, then releases the graph.
    GoResult WaitForEnd();
    // Stops and releases the graph and its filters; harmless when there is none.
    void CloseDSPlayer();

    // Builds the graph of Mode up to the pin search (and, unless the policy wires only the parser in
    // a search, the whole chain) and releases it. True when the build succeeded; AudioPinCount holds
    // the count of the search either way (0 when none ran).
    bool findaudiostreams();

    // Writes "vob.lst" for a chosen VOB file; returns the list's path, or nothing after a box.
    std::optional<std::string> makelist(const std::string& vobPath);

private:
    void log(const std::string& line);
    void fail() { GraphOk = false; }
    platform::com::ComPtr<IBaseFilter> createFromFile(const FilterSlot& slot);
    std::string filterNameOf(IPin* pin);
    void connectChain(IPin* parserPin);
    bool searchNeedsCheck() const;

    StreamGraphPolicy policy_;
    StreamGraphSink& sink_;
    bool counting_ = false; // findaudiostreams is building: the graph is never run
    FilterTable table_;
    std::array<int, kPinTableSize> pinTable_{};
};

} // namespace tools::stream_graph
