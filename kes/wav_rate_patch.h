#pragma once

// Relabels the sample rate of a canonical WAV file in place: the decoder of the built-in path writes
// 44.1 kHz samples under a header that may still say 48 kHz. Window-free.

#include <cstdint>
#include <string_view>

namespace kes {

inline constexpr uint32_t Rate44100 = 44100;

enum class WavPatchResult {
    Patched,
    Missing,      // no such file
    NotCanonical, // not RIFF "WAVE" with "fmt " as its first chunk holding a PCM-sized format
    WriteFailed,
};

// Writes rate at byte offset 24 (the sample rate) and rate x the file's block align at offset 28 (the
// byte rate); nothing else of the file changes. Only a file whose first chunk is "fmt " is touched.
WavPatchResult patchWavRate(std::string_view path, uint32_t rate);

} // namespace kes
