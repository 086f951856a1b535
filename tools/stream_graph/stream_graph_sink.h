#pragma once

// What the builder asks of the window it works for: boxes, the log, the window's own controls that
// the build reads or resets, and the pumping of the window's messages while it waits.

#include <string>

namespace tools::stream_graph {

class StreamGraphSink {
public:
    // A plain box ("Audio Stream does not exist", "Filter error").
    virtual void showMessage(const std::string& text) = 0;
    // An error box ("Cannot find VOB files !").
    virtual void showError(const std::string& text) = 0;
    // One line of the graph log (only with a policy that logs).
    virtual void logLine(const std::string&) {}
    // The wanted stream did not exist: the window resets its stream text.
    virtual void streamReset() {}
    // Whether the order of the streams found is to be reversed.
    virtual bool flipStreams() { return false; }
    // Lets the window's pending events run.
    virtual void processMessages() {}

protected:
    ~StreamGraphSink() = default;
};

} // namespace tools::stream_graph
