#pragma once

// Where a remux splits: the number of parts, the split frame at the key frame nearest to the middle
// or to the size limit, the frame and audio ranges of each part, and the split wizard's helpers.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tools::synchronizer {

enum class SplitWay {
    None,   // Split not ticked: the whole file
    BySize, // saft: parts of at most splitsize megabytes
    Halves, // sih
    Wizard, // Wizard: the frames chosen in the split wizard
};

// One split megabyte (1000 x 1024 bytes).
inline constexpr int64_t SplitMegabyte = 1024000;

// The number of parts P: 1 without a split; by size the byte count over the part size (at least 1; a
// size text that is not a positive whole number of megabytes does not split); 2 otherwise.
double partCount(SplitWay way, std::string_view splitSizeText, int64_t videoBytes, int64_t audioBytes);

// The split frame K for F frames in P parts: c = round(F / P); the key frame b searched backwards from
// c (frames c down to 1; none found gives 0) and a searched forwards (frames c up to F - 1; none found
// gives F); b when it is strictly nearer to c, else a.
int64_t splitFrame(int64_t frames, double parts, const std::function<bool(int64_t)>& isKeyFrame);

struct FrameRange {
    int64_t begin = 0; // S
    int64_t end = 0;   // E (exclusive)
};

struct AudioRange {
    int64_t begin = 0; // A0; negative: silence first
    int64_t end = 0;   // A1 (exclusive)
};

// The audio of a part for a delay of d seconds (positive: the audio earlier), an audio rate R and the
// video rate fps. The whole file: [round(d R), L); part 1 ends one sample after its frames' time;
// part 2 begins one sample after that.
AudioRange audioRange(bool split, bool firstPart, const FrameRange& frames, double delaySeconds,
                      double audioRate, double fps, int64_t audioLength);

// Split wizard: "+/- " and the size in megabytes of 1,048,576 bytes with one decimal, right-aligned to
// width 5, and " Mb", for a part of `frames` of `frameCount` frames of a file of totalBytes.
std::string wizardPartSizeText(int64_t frames, int64_t frameCount, int64_t totalBytes);
// The wizard's split may be used when part 2 does not begin after part 1 ends (the parts may
// overlap, but no frame may be left out).
bool wizardSplitAllowed(int32_t part1End, int32_t part2Begin);
// "Go to" by time: the frame at hh:mm:ss for the player's frame rate; nothing when the time is not
// above 0 or malformed (the window then resets the edit to "00:00:00" and goes to frame 0).
std::optional<int64_t> gotoTimeFrame(std::string_view hhmmss, double fps);

} // namespace tools::synchronizer
