#pragma once

// The length of an AVI's first video stream, and its frame rate.

#include <optional>
#include <string_view>

namespace tools::vobsub_adjuster {

struct VideoTime {
    double seconds = 0;   // frame count / frame rate
    double frameRate = 0; // rate / scale
};

// Nothing when the file has no video stream that can be read (or one whose rate or scale is 0).
std::optional<VideoTime> measureVideo(std::string_view path);

} // namespace tools::vobsub_adjuster
