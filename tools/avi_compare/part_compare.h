#pragma once

// Where the second part of a split movie begins inside the first: part 2's first video frame is looked
// for among part 1's key frames, from the end backwards, byte for byte.

#include <cstdint>
#include <string_view>

namespace tools::avi_compare {

// What the search reports while it runs.
class CompareSink {
public:
    virtual ~CompareSink() = default;
    // Both video streams opened; the search begins.
    virtual void streamsOpened() = 0;
    // A key frame of part 1 is about to be compared.
    virtual void trying(int32_t frame) = 0;
    // Lets pending window messages run.
    virtual void processMessages() = 0;
    // True when the search should end now (its window is closing).
    virtual bool stopRequested() = 0;
};

enum class CompareStatus {
    OpenError, // a video stream did not open: foundFrame is unchanged
    Found,     // foundFrame is the key frame of part 1 equal to part 2's first frame
    NotFound,  // foundFrame holds the last frame tried
    Stopped,   // the sink asked to stop: foundFrame holds the last frame tried
};

// Runs the search. foundFrame starts at part 1's frame count and steps to the key frame at or before
// the previous value less one, until a match or until it is 0 or less.
CompareStatus findPartStart(std::string_view part1, std::string_view part2, int32_t& foundFrame,
                            CompareSink& sink);

// Frames larger than this are never compared (no real frame comes near it).
inline constexpr int32_t MaxFrameBytes = 64 * 1024 * 1024;

} // namespace tools::avi_compare
