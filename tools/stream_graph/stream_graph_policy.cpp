#include "tools/stream_graph/stream_graph_policy.h"

#include "platform/core/paths.h"

namespace tools::stream_graph {

namespace {
// The stream extractor takes its filter files from this folder of the main program's folder.
constexpr const char* kExternFolder = "Extern";
constexpr int kExtractorFirstAudioPin = 2;
constexpr int kTonegrabFirstAudioPin = 3;
} // namespace

StreamGraphPolicy streamExtractorPolicy(const std::string& programFolder) {
    StreamGraphPolicy policy;
    policy.filterFolder =
        platform::core::withTrailingDelim(platform::core::joinPath(programFolder, kExternFolder));
    policy.firstAudioPin = kExtractorFirstAudioPin;
    policy.logSteps = true;
    policy.reportFilterError = true;
    policy.pinBeforeSearch = true;
    policy.searchWiresParserOnly = true;
    return policy;
}

StreamGraphPolicy tonegrabPolicy(const std::string& ownFolder) {
    StreamGraphPolicy policy;
    policy.filterFolder = platform::core::withTrailingDelim(ownFolder);
    policy.firstAudioPin = kTonegrabFirstAudioPin;
    policy.connectInCreate = true;
    policy.waitInGo = true;
    return policy;
}

} // namespace tools::stream_graph
