#pragma once

// The audio decoder's two library files: "AsmAc3.dll" holds the decoding core and "AsmFloatFull.dll"
// the sample conversion. Each exports one creation function with C linkage; the decoder loads both
// from its own folder and keeps them loaded for the life of the process.

#include "platform/dshow/filters/audio_decoder.h"

#include <cstddef>
#include <string>

namespace platform::dshow::filters {

inline constexpr char kCoreLibraryName[] = "AsmAc3.dll";
inline constexpr char kConversionLibraryName[] = "AsmFloatFull.dll";
inline constexpr char kCreateCoreExport[] = "AsmCreateDecodeCore";
inline constexpr char kCreateConverterExport[] = "AsmCreateSampleConverter";

// A new core for the format, or nullptr with the reason in error (cut to errorSize, NUL-terminated).
using CreateCoreFn = DecodeCore* (*)(const StreamFormat* format, char* error, size_t errorSize);
// A new converter to 16-bit stereo at the rate, or nullptr.
using CreateConverterFn = SampleConverter* (*)(int outputRate);

// The parts from the two files in folder (a path ending in "/"), found without regard to case. On
// failure the parts are empty and error says which file could not be used.
DecoderParts loadDecoderParts(const std::string& folder, std::string& error);

} // namespace platform::dshow::filters
