#pragma once

// Command lines with which the audio page counts and plays a title's audio streams, and the count that
// the extractor leaves in "sn.fnd". externDir is the "extern/" folder with its trailing "/". The VOB
// path is quoted, so that a blank in it does not split it into more parameters.

#include <optional>
#include <string>
#include <string_view>

namespace kes {

inline constexpr const char* StreamCountFile = "sn.fnd";
inline constexpr const char* ExtractorProgram = "Tonegrab.exe";

// The extractor in find mode: "<first VOB> X X X X".
std::string streamCountLine(std::string_view externDir, std::string_view vobfile);
// The extractor in find mode with the stream order chosen: "<first VOB> X X X" and "1" or "X".
std::string flippedStreamCountLine(std::string_view externDir, std::string_view vobfile, bool flip);

// The stream digit of a stream text ("0x81" gives '1'): its fourth character, when that is a digit.
std::optional<char> streamDigit(std::string_view streamText);

// Plays a stream through the AC3 decoder: "ac3dec.exe" with the VOB, "-substream 0x8" + digit and
// "-pcm -out".
std::string ac3PlayLine(std::string_view externDir, std::string_view vobfile, char digit);
// Plays a stream through the extractor: no WAV ("X"), the digit, the sample-rate text, "1 " or "X ".
std::string tonegrabPlayLine(std::string_view externDir, std::string_view vobfile, char digit,
                             std::string_view samplerate, bool flip);

// The number of audio streams in the count file of externDir (its first byte); nothing when there is
// no such file or it is empty.
std::optional<int> readStreamCount(std::string_view externDir);

} // namespace kes
