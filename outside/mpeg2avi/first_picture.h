#pragma once

// The instant at which the converter's movie begins, for the tools that must start the sound there:
// the time stamp of the first picture the converter writes. That is the first picture the MPEG-2
// decoder gives in display order (the B-pictures that open a GOP without the picture before them
// cannot be decoded and never come out; a damaged picture is dropped), moved on by FIRST source frames
// when the converter's range "-# FIRST LAST" is used.

#include "platform/dshow/filters/byte_source.h"

#include <cstdint>
#include <optional>
#include <string>

namespace mpeg2avi {

// The 90 kHz time stamp (as stamped: 0 .. 2^33 - 1, to be compared modulo 2^33) of output frame 0 of
// the converter on this VOB set; none, with a message, when the set holds no video that decodes or
// its pictures carry no time stamp.
std::optional<int64_t> outputStartPts(platform::dshow::filters::ByteSource& set, std::string& error,
                                      int64_t firstFrame = 0);

} // namespace mpeg2avi
