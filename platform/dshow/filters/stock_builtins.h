#pragma once

// The stock filters that are part of the host rather than files of their own: the File Writer, the ACM
// Wrapper, the sound renderer and the WAV file source. A host (or the filter graph manager) calls
// registerStockBuiltins() once before building graphs.

#include "platform/dshow/filter_registration.h"

#include <span>

namespace platform::dshow::filters {

// Makes the four classes creatable by class identifier (CoCreateInstance), and records their
// registration data for graph building where the registry store lacks it or holds something else.
// Repeated calls do no harm. False when the registration data could not be stored (the classes are
// creatable all the same).
bool registerStockBuiltins();

// Their registration data: names, merits, pins and media types.
std::span<const AMOVIESETUP_FILTER> stockBuiltinFilters();

} // namespace platform::dshow::filters
