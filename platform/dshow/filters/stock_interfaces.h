#pragma once

// The two interfaces of the streaming layer that the stock filters offer and a graph asks for: the
// renderer flag (a filter that ends a stream and so reports EC_COMPLETE) and seeking. They are the
// graph manager's own declarations, named here as well so that code written against this namespace
// keeps compiling.

#include "platform/dshow/graph_interfaces.h"
#include "platform/dshow/types.h"

namespace platform::dshow::filters {

using namespace platform::dshow;

using platform::dshow::IAMFilterMiscFlags;
using platform::dshow::IMediaSeeking;

using platform::dshow::AM_FILTER_MISC_FLAGS_IS_RENDERER;
using platform::dshow::AM_FILTER_MISC_FLAGS_IS_SOURCE;

using platform::dshow::AM_SEEKING_CanGetCurrentPos;
using platform::dshow::AM_SEEKING_CanGetDuration;
using platform::dshow::AM_SEEKING_CanGetStopPos;
using platform::dshow::AM_SEEKING_CanSeekAbsolute;
using platform::dshow::AM_SEEKING_CanSeekBackwards;
using platform::dshow::AM_SEEKING_CanSeekForwards;

using platform::dshow::AM_SEEKING_AbsolutePositioning;
using platform::dshow::AM_SEEKING_NoPositioning;
using platform::dshow::AM_SEEKING_PositioningBitsMask;
using platform::dshow::AM_SEEKING_RelativePositioning;

} // namespace platform::dshow::filters
