#pragma once

// Texts of the muxer and the clip appender: the delay edit's number, the timer's "hh:mm:ss", the name
// of a second part and the clip file of a picture size.

#include <cstdint>
#include <string>
#include <string_view>

namespace tools::muxer {

// The message shown after a text that is not a number.
inline constexpr const char* NotNumericalSuffix = " is not a numerical value !";

struct DelayNumber {
    bool valid = true;
    double value = 0;
};

// Digits and dots only: the first "." starts the fraction, later dots are skipped, any other character
// makes the text invalid (value 0). An empty text is a valid 0: an empty delay edit means no delay.
DelayNumber parseDelayText(std::string_view text);

// The delay edit's text with the direction box's text ("earlier" or "later"): seconds, positive when the
// audio plays earlier, negative when later.
DelayNumber signedDelayOf(std::string_view delayText, std::string_view direction);

// The preload track bar's position (hundredths of a second) in seconds, and as its label's caption.
double preloadSecondsOf(int position);
std::string preloadCaption(int position);

// The muxer's timer text: "00:00:00" below 2 seconds and when the hours need three digits, else
// "hh:mm:ss" with two digits each.
std::string muxTimeText(int64_t seconds);

// The estimate of the whole job from the elapsed seconds and the percentage done (0 counts as 0.01):
// rounded down for the muxer, to the nearest second for the clip appender.
int64_t totalSecondsDown(int64_t elapsed, double percent);
int64_t totalSecondsNearest(int64_t elapsed, double percent);

// "Elapsed : " + elapsed + " - Total time : " + total.
std::string elapsedText(int64_t elapsed, int64_t total);

// movie.avi -> movie2.avi: "2" before the file name's extension.
std::string secondPartName(std::string_view target);

// prefix + width + "x" + height + ".avi".
std::string clipPathOf(std::string_view prefix, int32_t width, int32_t height);

// "VEXLOR : UNSUPPORTED RESOLUTION " + width + "x" + height + " !".
std::string unsupportedResolutionText(int32_t width, int32_t height);

// The logo label's notice for a clip file that exists but cannot be read.
std::string unreadableClipText(std::string_view clipPath);

// The logo label's notice for a clip whose video is coded otherwise than the movie's.
std::string otherCodingClipText(std::string_view clipPath);

} // namespace tools::muxer
