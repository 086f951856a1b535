#pragma once

// The run of azid.exe: the AC3 file decoded, down-mixed to stereo and written as a 16-bit WAV file.
// With the largest gain that does not clip, the stream is decoded twice: once to find its peak, once
// to write it.

#include "outside/azid/azid_options.h"

namespace outside::azid {

inline constexpr const char* kProgram = "azid";

// The exit status.
int runAzid(const AzidOptions& options);

// The gain that brings the largest magnitude to the top of the 16-bit range (1 for silence).
float gainForPeak(float peak);

} // namespace outside::azid
