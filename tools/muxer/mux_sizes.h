#pragma once

// Size estimates for the split: the bytes of an AVI file's video data and of a file's audio stream.

#include <cstdint>
#include <string>

namespace tools::muxer {

// How far into a file the "movi" list is looked for.
inline constexpr int64_t MoviSearchBytes = 35000;

// 0 when the file does not exist. The size of the "movi" list found in the file's first 35,000 bytes
// (a "movi" followed by "e" does not count), or else the file's size; less the audio stream's bytes
// when the file has more than one stream.
int64_t getVideoSize(const std::string& path);

// The first audio stream's length times its sample size (the sum of its chunks when they differ in
// size); 0 when there is none.
int64_t getAudioSize(const std::string& path);

// The audio size of a source chosen for muxing: nothing for an AVI file or a missing file (the result
// is then empty); an ".MP3" file is measured under the name "_tmpsize.wav" in its folder and named back.
bool measureAudioSource(const std::string& path, int64_t& bytes);

} // namespace tools::muxer
