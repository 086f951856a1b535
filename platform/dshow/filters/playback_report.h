#pragma once

// What a host tells the user when an AVI file did not render whole: the file could not be read, or a
// stream found no decoder (named by its FourCC or its audio format tag). Fixed English texts.

#include "platform/dshow/graph_interfaces.h"

#include <string>
#include <vector>

namespace platform::dshow::filters {

// The problems after RenderFile returned hr for path; empty when everything rendered.
std::vector<std::string> renderProblems(IGraphBuilder* graph, HRESULT hr, const std::string& path);

} // namespace platform::dshow::filters
