#pragma once

// The audio stream graph builder serves two windows: the stream extractor of the main program and the
// audio extractor program. What differs between them is gathered here; everything else is shared.

#include <string>

namespace tools::stream_graph {

// What a graph is built for. The three searches are the stream extractor's; writing a file and
// rendering to the sound card are the audio extractor's output modes ('3' and 'L').
enum class GraphMode { SearchAc3, SearchMp2, SearchPcm, WriteFile, RenderStream };

struct StreamGraphPolicy {
    // Where the filter files and the decoder's libraries are taken from, with a final '/'.
    std::string filterFolder;
    // The parser's pins are examined from this pin number on (pin 1 is its input).
    int firstAudioPin = 3;
    // Every graph step appends a line to the window's log.
    bool logSteps = false;
    // A pin looked up on a filter that could not be created shows "Filter error".
    bool reportFilterError = false;
    // The parser pin to decode is taken from the previous search, before the pins are searched again.
    bool pinBeforeSearch = false;
    // A stream search wires only the source and the parser.
    bool searchWiresParserOnly = false;
    // CreateFilters goes on to connect the chain.
    bool connectInCreate = false;
    // GO waits for the end of the stream itself (sleeping and pumping); otherwise the window polls.
    bool waitInGo = false;
};

// The stream extractor: programFolder is the main program's folder without a final '/'.
StreamGraphPolicy streamExtractorPolicy(const std::string& programFolder);
// The audio extractor program: ownFolder is the folder of its program file.
StreamGraphPolicy tonegrabPolicy(const std::string& ownFolder);

} // namespace tools::stream_graph
