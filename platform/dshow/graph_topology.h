#pragma once

// What the graph manager needs to know about the filters it holds: their pins and connections, the
// order in which they start and stop, which of them render, and which filter answers for positions.

#include "platform/com/com_ptr.h"
#include "platform/dshow/graph_interfaces.h"

#include <vector>

namespace platform::dshow::graph {

using FilterList = std::vector<ComPtr<IBaseFilter>>;

// The object's identity (its IUnknown), to compare interface pointers of the same object.
const void* identityOf(IUnknown* object);
bool sameObject(IUnknown* a, IUnknown* b);

// Every pin of the filter, walked again from the start when the pins change during the walk.
std::vector<ComPtr<IPin>> pinsOf(IBaseFilter* filter);
std::vector<ComPtr<IPin>> pinsOf(IBaseFilter* filter, PIN_DIRECTION direction);
bool hasDirection(IPin* pin, PIN_DIRECTION direction);
// The pin connected to this one, or none.
ComPtr<IPin> peerOf(IPin* pin);
// The filter a pin belongs to, or none.
ComPtr<IBaseFilter> filterOf(IPin* pin);
// A connection where the downstream filter pulls bytes through the output pin's reader.
bool isPullConnection(IPin* out);

// A renderer ends a stream: it has a connected input pin and no output pin, or its misc flags say so.
bool isRenderer(IBaseFilter* filter);

// The order in which filters are paused and run: downstream first along push connections, the reader
// before its puller along pull connections, else in the order of the list. Stopping takes it reversed.
FilterList startOrder(const FilterList& filters);

// True when from is upstream of (or the same as) to, following connections downstream.
bool reaches(IBaseFilter* from, IBaseFilter* to);

// The interface through which the graph seeks: from each renderer upstream, the first filter, or the
// output pin feeding the path, that offers IMediaSeeking.
ComPtr<IMediaSeeking> findSeeker(const FilterList& filters);

} // namespace platform::dshow::graph
